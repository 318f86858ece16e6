// The registry under HKEY_LOCAL_MACHINE.
#include <windows.h>

#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

HKEY toKey(platform::OsHandle key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry final : public platform::RegistryPort {
 public:
  platform::RegOpenResult openKey(const std::wstring& subKey, std::uint32_t access) override {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, access, &key);
    if (status != ERROR_SUCCESS) return {platform::kNullHandle, status};
    return {reinterpret_cast<platform::OsHandle>(key), 0};
  }

  platform::RegQueryResult queryValue(platform::OsHandle key, const std::wstring& name,
                                      std::vector<std::uint8_t>& buffer) override {
    // A null data pointer would turn the call into a size query that
    // succeeds; an empty buffer must answer ERROR_MORE_DATA like a short one.
    std::uint8_t none = 0;
    BYTE* data = buffer.empty() ? &none : buffer.data();
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(buffer.size());
    const LSTATUS status = RegQueryValueExW(toKey(key), name.c_str(), nullptr, &type, data, &size);
    return {status, type, size};
  }

  std::int32_t setValue(platform::OsHandle key, const std::wstring& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) override {
    return RegSetValueExW(toKey(key), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
  }

  std::int32_t deleteValue(platform::OsHandle key, const std::wstring& name) override {
    return RegDeleteValueW(toKey(key), name.c_str());
  }

  std::int32_t flushKey(platform::OsHandle key) override { return RegFlushKey(toKey(key)); }

  void closeKey(platform::OsHandle key) override {
    if (key != platform::kNullHandle) RegCloseKey(toKey(key));
  }
};

}  // namespace

platform::RegistryPort& registryPort() {
  static Win32Registry port;
  return port;
}

}  // namespace hbx::win32
