#pragma once
// Names of the filter-driver package and the device-console tool: the files
// the program writes, where it writes them, and the carried files they come
// from.
#include <cstdint>

namespace hbx::driver {

inline constexpr wchar_t kWorkFolder[] = L"HBX763xFW";          // in the temporary-files path
inline constexpr wchar_t kDriverSubfolder[] = L"\\FilterDriver";  // in the work folder
inline constexpr wchar_t kInfFile[] = L"\\zeltufdriver.inf";
inline constexpr wchar_t kCatFile[] = L"\\zeltufdriver.cat";
inline constexpr wchar_t kSysFile[] = L"\\zeltufdriver.sys";
inline constexpr wchar_t kI386Folder[] = L"\\i386";
inline constexpr wchar_t kAmd64Folder[] = L"\\amd64";
inline constexpr wchar_t kSupportLibrary[] = L"\\k9371937.DLL";
inline constexpr wchar_t kDebugRuntime[] = L"\\msvcrtd.dll";
inline constexpr wchar_t kUninstallScript[] = L"\\DeleteZeltufdriver.bat";
inline constexpr wchar_t kDevcon64[] = L"\\devconAMD64.exe";
inline constexpr wchar_t kDevcon32[] = L"\\devcon.exe";

inline constexpr wchar_t kInstallCommand[] = L"rundll32.exe setupapi,InstallHinfSection DefaultInstall 132 .\\zeltufdriver.inf";
inline constexpr wchar_t kUninstallCommand[] = L"DeleteZeltufdriver.bat";
// The longest wait for the install or the uninstall command. A setup library
// that cannot find a file asks for it in a window nobody sees (the command
// runs hidden): such a command is ended and counts as failed.
inline constexpr std::uint32_t kSetupCommandWaitMs = 180000;

// The USB device class key and the filter's mark in its "UpperFilters".
inline constexpr wchar_t kUsbClassKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
inline constexpr wchar_t kUpperFilters[] = L"UpperFilters";
inline constexpr wchar_t kFilterMark[] = L"ZELTFILTER";
// The filter's service, as the setup information file adds it.
inline constexpr wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";
inline constexpr wchar_t kServiceName[] = L"ZeltFilter";

// The installed driver file and the version the program needs.
inline constexpr wchar_t kDriversFolder[] = L"drivers";
inline constexpr wchar_t kWow64SystemFolder[] = L"C:\\Windows\\SysWOW64";
inline constexpr wchar_t kDriverVersion[] = L"1.0.7.0";

// Carried files: (type, id).
struct PayloadId {
  const wchar_t* type;
  std::uint32_t id;
};
inline constexpr PayloadId kInfPayload{L"INF", 157};
inline constexpr PayloadId kCatPayload{L"CAT", 156};
inline constexpr PayloadId kSys32Payload{L"SYS", 154};
inline constexpr PayloadId kSys64Payload{L"SYS", 155};
inline constexpr PayloadId kSys64KmdfPayload{L"SYS", 165};  // Windows 10 and later
inline constexpr PayloadId kSupportLibraryPayload{L"DLL", 148};
inline constexpr PayloadId kDebugRuntimePayload{L"DLL", 147};
inline constexpr PayloadId kUninstallScriptPayload{L"BAT", 164};
inline constexpr PayloadId kDevcon64Payload{L"EXE", 152};
inline constexpr PayloadId kDevcon32Payload{L"EXE", 158};

}  // namespace hbx::driver
