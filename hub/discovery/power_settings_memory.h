#pragma once
// The selective-suspend values discovery found before it switched them off,
// per registry key and value name, so the end of the run can put back what
// the user had. The first value seen for a key wins: a later walk of the same
// run finds the value discovery itself wrote.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hbx {

class PowerSettingsMemory {
 public:
  // `found` is empty when the value could not be read.
  void remember(const std::wstring& key, const std::wstring& name, std::optional<std::uint32_t> found);
  // The value found for a key; empty when none was found or the key was
  // never seen.
  std::optional<std::uint32_t> found(const std::wstring& key, const std::wstring& name) const;
  // True when discovery looked for the value and it was not there.
  bool absentBefore(const std::wstring& key, const std::wstring& name) const;
  // The driver key of a hub's interface path as discovery listed it, so the
  // restore finds the class key of that very hub; empty when never listed.
  void rememberDriverKey(const std::wstring& interfacePath, const std::wstring& driverKey);
  std::wstring driverKeyOf(const std::wstring& interfacePath) const;
  // What discovery left of one value: the value found before the run, the
  // one it left in the registry, the value beside it that keeps the first
  // until the end of the run, and the hub connection it belongs to. One
  // entry per value; a later walk only updates what is left.
  struct Left {
    std::wstring key;
    std::wstring name;
    std::wstring keptName;
    std::wstring hub;
    std::optional<std::uint32_t> before;
    std::optional<std::uint32_t> left;
    bool changed() const { return before != left; }
  };
  void noteLeft(const Left& entry);
  std::vector<Left> leftByDiscovery() const;
  void clear();

 private:
  static std::pair<std::wstring, std::wstring> slot(const std::wstring& key, const std::wstring& name);

  mutable std::mutex mutex_;
  std::map<std::pair<std::wstring, std::wstring>, std::optional<std::uint32_t>> values_;
  std::map<std::wstring, std::wstring> driverKeys_;
  std::vector<Left> left_;
};

}  // namespace hbx
