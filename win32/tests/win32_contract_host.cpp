// The port contract on the Win32 ports: scratch folders under the temporary
// folder, test keys under HKEY_LOCAL_MACHINE\SOFTWARE.
#include <windows.h>

#include <string>

#include "tests/contract/contract_host.h"
#include "win32/win32_host.h"

namespace hbx::contract {
namespace {

class Win32ContractHost final : public ContractHost {
 public:
  platform::Ports ports() override { return win32::ports(); }

  std::wstring scratchFolder() override {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring base = std::wstring(temp) + L"HbxPortContract" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(base.c_str(), nullptr);
    const std::wstring folder = base + L"\\" + std::to_wstring(++count_);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
  }

  void createRegistryKey(const std::wstring& subKey) override {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
      RegCloseKey(key);
    }
  }
  void deleteRegistryKey(const std::wstring& subKey) override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, subKey.c_str()); }

  std::wstring moduleFileName() override {
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    return path;
  }

  bool expectWow64() override {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
  }

 private:
  int count_ = 0;
};

}  // namespace

ContractHost& contractHost() {
  static Win32ContractHost host;
  return host;
}

}  // namespace hbx::contract
