#include "hub/discovery/power_settings_memory.h"

#include <cwctype>

namespace hbx {

std::pair<std::wstring, std::wstring> PowerSettingsMemory::slot(const std::wstring& key, const std::wstring& name) {
  // Registry names compare without regard to case; a trailing "\" names the same key.
  auto fold = [](std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    while (!text.empty() && text.back() == L'\\') text.pop_back();
    return text;
  };
  return {fold(key), fold(name)};
}

void PowerSettingsMemory::remember(const std::wstring& key, const std::wstring& name,
                                   std::optional<std::uint32_t> found) {
  std::lock_guard<std::mutex> lock(mutex_);
  values_.emplace(slot(key, name), found);
}

std::optional<std::uint32_t> PowerSettingsMemory::found(const std::wstring& key, const std::wstring& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = values_.find(slot(key, name));
  return it == values_.end() ? std::nullopt : it->second;
}

bool PowerSettingsMemory::absentBefore(const std::wstring& key, const std::wstring& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = values_.find(slot(key, name));
  return it != values_.end() && !it->second;
}

void PowerSettingsMemory::rememberDriverKey(const std::wstring& interfacePath, const std::wstring& driverKey) {
  std::lock_guard<std::mutex> lock(mutex_);
  driverKeys_[slot(interfacePath, L"").first] = driverKey;
}

std::wstring PowerSettingsMemory::driverKeyOf(const std::wstring& interfacePath) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = driverKeys_.find(slot(interfacePath, L"").first);
  return it == driverKeys_.end() ? std::wstring() : it->second;
}

void PowerSettingsMemory::noteLeft(const Left& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto at = slot(entry.key, entry.name);
  for (Left& known : left_) {
    if (slot(known.key, known.name) != at) continue;
    known.left = entry.left;
    return;
  }
  left_.push_back(entry);
}

std::vector<PowerSettingsMemory::Left> PowerSettingsMemory::leftByDiscovery() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return left_;
}

void PowerSettingsMemory::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  left_.clear();
  values_.clear();
  driverKeys_.clear();
}

}  // namespace hbx
