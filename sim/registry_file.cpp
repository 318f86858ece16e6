#include "sim/registry_file.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "base/log/format.h"

namespace hbx::sim {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> bytesOf(const std::string& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const std::string pair = text.substr(i, 2);
    if (pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
  }
  return bytes;
}

}  // namespace

bool saveRegistryFile(const fs::path& file, const RegistryKeys& keys) {
  json document = json::object();
  for (const auto& [key, values] : keys) {
    json entry = json::object();
    for (const auto& [name, value] : values) entry[toUtf8(name)] = {{"type", value.type}, {"data", hexOf(value.bytes)}};
    document[toUtf8(key)] = entry;
  }
  const fs::path temporary = file.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << document.dump(1) << "\n";
    if (!out) return false;
  }
  std::error_code ec;
  fs::rename(temporary, file, ec);
  return !ec;
}

std::optional<RegistryKeys> loadRegistryFile(const fs::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  const json document = json::parse(text.str(), nullptr, false);
  if (document.is_discarded() || !document.is_object()) return std::nullopt;
  RegistryKeys keys;
  for (const auto& [key, values] : document.items()) {
    if (!values.is_object()) return std::nullopt;
    auto& target = keys[fromUtf8(key)];
    for (const auto& [name, value] : values.items()) {
      if (!value.is_object() || !value.contains("type") || !value["type"].is_number_unsigned() ||
          !value.contains("data") || !value["data"].is_string()) {
        return std::nullopt;
      }
      const auto bytes = bytesOf(value["data"].get<std::string>());
      if (!bytes) return std::nullopt;
      target[fromUtf8(name)] = RegValue{value["type"].get<std::uint32_t>(), *bytes};
    }
  }
  return keys;
}

std::optional<RegistryFileStamp> registryFileStamp(const fs::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  return RegistryFileStamp{static_cast<unsigned long long>(st.st_ino),
                           static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000LL + st.st_mtim.tv_nsec,
                           static_cast<long long>(st.st_size)};
}

}  // namespace hbx::sim
