#pragma once
// The simulated registry under HKEY_LOCAL_MACHINE, in memory. Key paths and
// value names compare without regard to letter case.
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace hbx::sim {

struct RegValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
};

class SimRegistry : public platform::RegistryPort {
 public:
  platform::RegOpenResult openKey(const std::wstring& subKey, std::uint32_t access) override;
  platform::RegQueryResult queryValue(platform::OsHandle key, const std::wstring& name,
                                      std::vector<std::uint8_t>& buffer) override;
  std::int32_t setValue(platform::OsHandle key, const std::wstring& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) override;
  std::int32_t deleteValue(platform::OsHandle key, const std::wstring& name) override;
  std::int32_t flushKey(platform::OsHandle key) override;
  void closeKey(platform::OsHandle key) override;

  // Bench set-up and inspection.
  void createKey(const std::wstring& subKey);
  void setRaw(const std::wstring& subKey, const std::wstring& name, RegValue value);
  void setString(const std::wstring& subKey, const std::wstring& name, const std::wstring& text);
  void setMultiString(const std::wstring& subKey, const std::wstring& name,
                      const std::vector<std::wstring>& texts);
  void setDword(const std::wstring& subKey, const std::wstring& name, std::uint32_t value);
  std::optional<RegValue> value(const std::wstring& subKey, const std::wstring& name) const;
  // Removes a key with its values and subkeys (the setup library's DelService).
  void deleteKey(const std::wstring& subKey);
  std::size_t openKeyCount() const;

  // Keeps the registry in a file (a bench folder's registry.json): loads it
  // when it holds a registry (true), else writes the current content to it;
  // every later change is written through.
  bool attachFile(const std::filesystem::path& file);

  // Normalised key path: lower case, single separators, no leading or
  // trailing "\".
  static std::wstring normalise(const std::wstring& subKey);

 private:
  void changed();  // with mutex_ held

  mutable std::mutex mutex_;
  std::map<std::wstring, std::map<std::wstring, RegValue>> keys_;
  std::optional<std::filesystem::path> file_;
  std::map<platform::OsHandle, std::pair<std::wstring, std::uint32_t>> open_;
  platform::OsHandle next_ = 0x80000100;
};

// UTF-16LE bytes of a text with its terminating zero, as REG_SZ stores it.
std::vector<std::uint8_t> utf16leWithZero(const std::wstring& text);

}  // namespace hbx::sim
