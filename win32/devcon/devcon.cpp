// The device-console restart tool the program carries for 64-bit Windows:
//   devcon Restart <hardware id>
// restarts every present device with that hardware id (compared without
// regard to case) through the class installer's property change, prints a
// line per device and ends 0 when it restarted at least one.
#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// The device's hardware ids (a multi-string); empty when it has none.
std::vector<std::wstring> hardwareIds(HDEVINFO list, SP_DEVINFO_DATA& device) {
  std::vector<std::wstring> ids;
  DWORD type = 0;
  DWORD size = 0;
  SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, &type, nullptr, 0, &size);
  if (size == 0) return ids;
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  if (!SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()), size, nullptr) ||
      type != REG_MULTI_SZ) {
    return ids;
  }
  for (const wchar_t* p = buffer.data(); *p; p += std::wcslen(p) + 1) ids.emplace_back(p);
  return ids;
}

std::wstring instanceId(HDEVINFO list, SP_DEVINFO_DATA& device) {
  wchar_t buffer[MAX_DEVICE_ID_LEN] = {};
  if (!SetupDiGetDeviceInstanceIdW(list, &device, buffer, MAX_DEVICE_ID_LEN, nullptr)) return L"?";
  return buffer;
}

bool restart(HDEVINFO list, SP_DEVINFO_DATA& device) {
  SP_PROPCHANGE_PARAMS params{};
  params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
  params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
  params.StateChange = DICS_PROPCHANGE;
  params.Scope = DICS_FLAG_CONFIGSPECIFIC;
  params.HwProfile = 0;
  return SetupDiSetClassInstallParamsW(list, &device, &params.ClassInstallHeader, sizeof(params)) &&
         SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, list, &device);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 || _wcsicmp(argv[1], L"Restart") != 0) {
    std::fwprintf(stderr, L"usage: devcon Restart <hardware id>\n");
    return 2;
  }
  const wchar_t* wanted = argv[2];
  HDEVINFO list = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (list == INVALID_HANDLE_VALUE) {
    std::fwprintf(stderr, L"devcon: cannot list the devices (error %lu)\n", GetLastError());
    return 1;
  }
  int restarted = 0;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  for (DWORD i = 0; SetupDiEnumDeviceInfo(list, i, &device); ++i) {
    bool matches = false;
    for (const std::wstring& id : hardwareIds(list, device)) matches = matches || _wcsicmp(id.c_str(), wanted) == 0;
    if (!matches) continue;
    const std::wstring name = instanceId(list, device);
    if (restart(list, device)) {
      std::wprintf(L"%ls: Restarted\n", name.c_str());
      ++restarted;
    } else {
      std::wprintf(L"%ls: Restart failed (error %lu)\n", name.c_str(), GetLastError());
    }
  }
  SetupDiDestroyDeviceInfoList(list);
  std::wprintf(L"%d device(s) restarted.\n", restarted);
  return restarted > 0 ? 0 : 1;
}
