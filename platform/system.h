#pragma once
// System services: module path, folders, OS version, WOW64, restart,
// file version resources, ANSI code page, debug output and the console.
#include <cstdint>
#include <string>

#include "platform/os_types.h"

namespace hbx::platform {

// What GetVersionExW fills into OSVERSIONINFOW (276 bytes).
struct OsVersionInfo {
  bool ok = true;
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;
  std::uint32_t platformId = 2;  // VER_PLATFORM_WIN32_NT
};

inline constexpr std::uint32_t kVerPlatformWin32Nt = 2;

// Machine types as Windows names them (IMAGE_FILE_MACHINE_*).
namespace machine {
inline constexpr std::uint16_t kUnknown = 0;
inline constexpr std::uint16_t kI386 = 0x014C;
inline constexpr std::uint16_t kAmd64 = 0x8664;
inline constexpr std::uint16_t kArm64 = 0xAA64;
}  // namespace machine

class SystemPort {
 public:
  virtual ~SystemPort() = default;

  // GetModuleFileNameW(NULL) cut to `capacity` characters.
  virtual std::wstring moduleFileName(std::uint32_t capacity) = 0;
  // SetCurrentDirectoryW; GetCurrentDirectoryW.
  virtual bool setCurrentDirectory(const std::wstring& path) = 0;
  virtual std::wstring currentDirectory() = 0;
  // GetTempPathW (ends with "\"); GetSystemDirectoryW (no trailing "\").
  virtual std::wstring tempPath() = 0;
  virtual std::wstring systemDirectory() = 0;
  // GetVersionExW.
  virtual OsVersionInfo versionEx() = 0;
  // IsWow64Process is exported by kernel32 / its answer for this process.
  virtual bool hasIsWow64Process() = 0;
  virtual bool isWow64Process() = 0;
  // IsWow64Process2 for this process: the machine it is emulated as under
  // WOW64 (kUnknown when it is no WOW64 process) and the machine Windows
  // runs on. False when kernel32 does not export it (Windows before 10
  // version 1511) or the call fails.
  virtual bool isWow64Process2(std::uint16_t& processMachine, std::uint16_t& nativeMachine) = 0;
  // The machine this program was built for.
  virtual std::uint16_t programMachine() = 0;
  // Wow64DisableWow64FsRedirection / Wow64RevertWow64FsRedirection.
  // `token` is the value the disable call hands back.
  virtual bool disableFsRedirection(std::uintptr_t& token, std::uint32_t& error) = 0;
  virtual bool revertFsRedirection(std::uintptr_t token, std::uint32_t& error) = 0;
  // OpenProcessToken + LookupPrivilegeValueW + AdjustTokenPrivileges for
  // SeShutdownPrivilege. Returns false when the token cannot be opened;
  // `lastError` is GetLastError() after the adjustment.
  virtual bool enableShutdownPrivilege(std::uint32_t& lastError) = 0;
  // ExitWindowsEx(flags, reason).
  virtual bool exitWindows(std::uint32_t flags, std::uint32_t reason) = 0;
  // GetFileVersionInfoW + VerQueryValueW("\\"): the fixed file version as
  // (MS, LS) double words. False when the file has no version resource.
  virtual bool fileVersion(const std::wstring& path, std::uint32_t& versionMs,
                           std::uint32_t& versionLs) = 0;
  // WideCharToMultiByte(CP_ACP) and back: characters the ANSI code page
  // cannot hold come back replaced.
  virtual std::wstring ansiRoundTrip(const std::wstring& text) = 0;
  // OutputDebugStringW.
  virtual void outputDebugString(const std::wstring& text) = 0;
  // AllocConsole + binding standard output to it / FreeConsole.
  virtual bool allocConsole() = 0;
  virtual void freeConsole() = 0;
  // Narrow text to the process's standard output (the console when one is
  // bound; nowhere otherwise).
  virtual void consoleWrite(const std::string& text) = 0;
  // Narrow text to the process's standard error, as the program was started
  // with it (nowhere when it has none); never the console's standard output.
  virtual void errorWrite(const std::string& text) = 0;
  // Gives the console window the focus.
  virtual void focusConsole() = 0;
  // How many times the user or the system has asked the program to stop
  // since it started: Ctrl-C or Ctrl-Break, the console window closed, the
  // session ending (console control events, WM_ENDSESSION) or the program's
  // hidden window closed (WM_CLOSE). The program polls it; it never changes
  // anything by itself.
  virtual int interruptRequests() = 0;
  // GetLastError of the calling thread for a failure the port did not return.
  virtual std::uint32_t lastError() = 0;
};

}  // namespace hbx::platform
