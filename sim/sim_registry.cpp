#include "sim/sim_registry.h"

#include "sim/registry_file.h"
#include "sim/win_paths.h"

namespace hbx::sim {

using platform::OsHandle;

std::vector<std::uint8_t> utf16leWithZero(const std::wstring& text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() * 2 + 2);
  for (wchar_t c : text) {
    const auto v = static_cast<std::uint32_t>(c) > 0xFFFF ? 0xFFFDu : static_cast<std::uint32_t>(c);
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::wstring SimRegistry::normalise(const std::wstring& subKey) {
  std::wstring out;
  for (wchar_t c : subKey) {
    if (c == L'\\' && (out.empty() || out.back() == L'\\')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  return foldCase(out);
}

platform::RegOpenResult SimRegistry::openKey(const std::wstring& subKey, std::uint32_t access) {
  std::lock_guard<std::mutex> lock(mutex_);
  refresh();
  const std::wstring key = normalise(subKey);
  if (!keys_.count(key)) return {platform::kNullHandle, static_cast<std::int32_t>(platform::err::kFileNotFound)};
  const OsHandle handle = next_;
  next_ += 4;
  open_[handle] = {key, access};
  return {handle, 0};
}

platform::RegQueryResult SimRegistry::queryValue(OsHandle key, const std::wstring& name,
                                                 std::vector<std::uint8_t>& buffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  refresh();
  const auto handle = open_.find(key);
  if (handle == open_.end()) return {static_cast<std::int32_t>(platform::err::kInvalidHandle), 0, 0};
  const auto& values = keys_[handle->second.first];
  const auto it = values.find(foldCase(name));
  if (it == values.end()) return {static_cast<std::int32_t>(platform::err::kFileNotFound), 0, 0};
  const RegValue& v = it->second;
  const auto size = static_cast<std::uint32_t>(v.bytes.size());
  if (v.bytes.size() > buffer.size()) return {static_cast<std::int32_t>(platform::err::kMoreData), v.type, size};
  std::copy(v.bytes.begin(), v.bytes.end(), buffer.begin());
  return {0, v.type, size};
}

std::int32_t SimRegistry::setValue(OsHandle key, const std::wstring& name, std::uint32_t type,
                                   const std::vector<std::uint8_t>& data) {
  std::lock_guard<std::mutex> lock(mutex_);
  refresh();
  const auto handle = open_.find(key);
  if (handle == open_.end()) return static_cast<std::int32_t>(platform::err::kInvalidHandle);
  if (!(handle->second.second & 0x2)) return static_cast<std::int32_t>(platform::err::kAccessDenied);  // KEY_SET_VALUE
  keys_[handle->second.first][foldCase(name)] = RegValue{type, data};
  changed();
  return 0;
}

std::int32_t SimRegistry::deleteValue(OsHandle key, const std::wstring& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  refresh();
  const auto handle = open_.find(key);
  if (handle == open_.end()) return static_cast<std::int32_t>(platform::err::kInvalidHandle);
  if (!(handle->second.second & 0x2)) return static_cast<std::int32_t>(platform::err::kAccessDenied);  // KEY_SET_VALUE
  if (keys_[handle->second.first].erase(foldCase(name)) != 1) return static_cast<std::int32_t>(platform::err::kFileNotFound);
  changed();
  return 0;
}

std::int32_t SimRegistry::flushKey(OsHandle key) {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.count(key) ? 0 : static_cast<std::int32_t>(platform::err::kInvalidHandle);
}

void SimRegistry::closeKey(OsHandle key) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.erase(key);
}

void SimRegistry::createKey(const std::wstring& subKey) {
  std::lock_guard<std::mutex> lock(mutex_);
  refresh();
  // Parents exist too, as in a real hive.
  const std::wstring key = normalise(subKey);
  for (std::size_t pos = key.find(L'\\'); pos != std::wstring::npos; pos = key.find(L'\\', pos + 1))
    keys_[key.substr(0, pos)];
  keys_[key];
  changed();
}

void SimRegistry::setRaw(const std::wstring& subKey, const std::wstring& name, RegValue value) {
  createKey(subKey);
  std::lock_guard<std::mutex> lock(mutex_);
  keys_[normalise(subKey)][foldCase(name)] = std::move(value);
  changed();
}

void SimRegistry::setString(const std::wstring& subKey, const std::wstring& name, const std::wstring& text) {
  setRaw(subKey, name, RegValue{platform::regtype::kSz, utf16leWithZero(text)});
}

void SimRegistry::setMultiString(const std::wstring& subKey, const std::wstring& name,
                                 const std::vector<std::wstring>& texts) {
  std::vector<std::uint8_t> bytes;
  for (const std::wstring& t : texts) {
    const auto piece = utf16leWithZero(t);
    bytes.insert(bytes.end(), piece.begin(), piece.end());
  }
  bytes.push_back(0);
  bytes.push_back(0);
  setRaw(subKey, name, RegValue{platform::regtype::kMultiSz, bytes});
}

void SimRegistry::setDword(const std::wstring& subKey, const std::wstring& name, std::uint32_t value) {
  setRaw(subKey, name,
         RegValue{platform::regtype::kDword,
                  {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}});
}

std::optional<RegValue> SimRegistry::value(const std::wstring& subKey, const std::wstring& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  refresh();
  const auto key = keys_.find(normalise(subKey));
  if (key == keys_.end()) return std::nullopt;
  const auto it = key->second.find(foldCase(name));
  if (it == key->second.end()) return std::nullopt;
  return it->second;
}

std::size_t SimRegistry::openKeyCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.size();
}

void SimRegistry::deleteKey(const std::wstring& subKey) {
  std::lock_guard<std::mutex> lock(mutex_);
  refresh();
  const std::wstring key = normalise(subKey);
  for (auto it = keys_.begin(); it != keys_.end();) {
    const bool inside = it->first == key || it->first.starts_with(key + L"\\");
    it = inside ? keys_.erase(it) : std::next(it);
  }
  changed();
}

bool SimRegistry::attachFile(const std::filesystem::path& file) {
  std::lock_guard<std::mutex> lock(mutex_);
  file_ = file;
  auto loaded = loadRegistryFile(file);
  if (!loaded) {
    changed();
    return false;
  }
  keys_ = std::move(*loaded);
  seen_ = registryFileStamp(file);
  return true;
}

void SimRegistry::changed() {
  if (!file_) return;
  saveRegistryFile(*file_, keys_);
  seen_ = registryFileStamp(*file_);
}

void SimRegistry::refresh() const {
  if (!file_) return;
  const std::optional<RegistryFileStamp> now = registryFileStamp(*file_);
  if (!now || now == seen_) return;
  if (auto loaded = loadRegistryFile(*file_)) keys_ = std::move(*loaded);
  seen_ = now;
}

}  // namespace hbx::sim
