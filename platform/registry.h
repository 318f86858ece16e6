#pragma once
// The registry under HKEY_LOCAL_MACHINE: open an existing key (never create),
// query a value's bytes, set a value, flush, close.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os_types.h"

namespace hbx::platform {

// Registry value types (REG_*), also returned with device properties.
namespace regtype {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kMultiSz = 7;
}  // namespace regtype

namespace keyaccess {
inline constexpr std::uint32_t kRead = 0x20019;   // KEY_READ
inline constexpr std::uint32_t kWrite = 0x20006;  // KEY_WRITE
}  // namespace keyaccess

struct RegOpenResult {
  OsHandle key = kNullHandle;
  std::int32_t status = 0;  // LSTATUS: 0 success, else a system error (2 missing)
};

struct RegQueryResult {
  std::int32_t status = 0;  // 0 success, 2 missing, 234 (ERROR_MORE_DATA) too long
  std::uint32_t type = 0;   // REG_* type of the stored value
  std::uint32_t size = 0;   // stored size in bytes (also when too long)
};

class RegistryPort {
 public:
  virtual ~RegistryPort() = default;

  // RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, access). Never creates.
  virtual RegOpenResult openKey(const std::wstring& subKey, std::uint32_t access) = 0;
  // RegQueryValueExW into `buffer`: at most buffer.size() bytes are written;
  // a longer value answers ERROR_MORE_DATA and writes nothing.
  virtual RegQueryResult queryValue(OsHandle key, const std::wstring& name,
                                    std::vector<std::uint8_t>& buffer) = 0;
  // RegSetValueExW.
  virtual std::int32_t setValue(OsHandle key, const std::wstring& name, std::uint32_t type,
                                const std::vector<std::uint8_t>& data) = 0;
  // RegDeleteValueW: 0, or 2 when the value is not there.
  virtual std::int32_t deleteValue(OsHandle key, const std::wstring& name) = 0;
  virtual std::int32_t flushKey(OsHandle key) = 0;
  virtual void closeKey(OsHandle key) = 0;
};

}  // namespace hbx::platform
