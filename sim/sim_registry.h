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
// Which write of a registry file is there (each save puts a new file in
// place): another process on the bench saved it when it differs from the
// one last seen.
struct RegistryFileStamp {
  unsigned long long inode = 0;
  long long modifiedNs = 0;
  long long size = 0;
  bool operator==(const RegistryFileStamp&) const = default;
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
  // every later change is written through, and what another process on the
  // bench wrote there is taken in at the next access (one computer, one
  // registry; changes at the same moment are not merged).
  bool attachFile(const std::filesystem::path& file);

  // Normalised key path: lower case, single separators, no leading or
  // trailing "\".
  static std::wstring normalise(const std::wstring& subKey);

 private:
  void changed();  // with mutex_ held
  // With mutex_ held: takes in another process's save (also on a read, so
  // the content is a cache of the file).
  void refresh() const;

  mutable std::mutex mutex_;
  mutable std::map<std::wstring, std::map<std::wstring, RegValue>> keys_;
  std::optional<std::filesystem::path> file_;
  mutable std::optional<RegistryFileStamp> seen_;  // the file as last loaded or saved
  std::map<platform::OsHandle, std::pair<std::wstring, std::uint32_t>> open_;
  platform::OsHandle next_ = 0x80000100;
};

// UTF-16LE bytes of a text with its terminating zero, as REG_SZ stores it.
std::vector<std::uint8_t> utf16leWithZero(const std::wstring& text);

}  // namespace hbx::sim
