#include "sim/string_descriptors.h"

#include "base/log/format.h"
#include "sim/bench_fields.h"

namespace hbx::sim {

using nlohmann::json;

namespace {

constexpr std::size_t kMaxDescriptorBytes = 255;

std::vector<std::uint8_t> hexBytes(const json& v, const std::string& where) {
  if (!v.is_string()) throw BenchFieldError{where, "expected hexadecimal digit pairs"};
  const std::string text = v.get<std::string>();
  if (text.size() % 2 != 0 || text.size() > 2 * kMaxDescriptorBytes) {
    throw BenchFieldError{where, "expected 0 to 255 bytes as hexadecimal digit pairs"};
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(hexValue(json(text.substr(i, 2)), where, 2)));
  }
  return bytes;
}

std::string hexText(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (std::uint8_t b : bytes) text += nformat("%02x", b);
  return text;
}

}  // namespace

std::vector<std::uint8_t> textDescriptor(const std::wstring& text) {
  std::vector<std::uint8_t> d{static_cast<std::uint8_t>(2 + 2 * text.size()), 3};
  for (wchar_t ch : text) {
    const auto unit = static_cast<std::uint32_t>(ch) & 0xFFFF;  // texts of the bench are in the BMP
    d.push_back(static_cast<std::uint8_t>(unit));
    d.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return d;
}

RawStrings parseRawStrings(const json& v, const std::string& where) {
  checkKeys(v, where, {"manufacturer", "product", "serial"});
  RawStrings raw;
  if (v.contains("manufacturer")) raw.manufacturer = hexBytes(v["manufacturer"], where + "/manufacturer");
  if (v.contains("product")) raw.product = hexBytes(v["product"], where + "/product");
  if (v.contains("serial")) raw.serial = hexBytes(v["serial"], where + "/serial");
  return raw;
}

json toJson(const RawStrings& raw) {
  json out = json::object();
  if (raw.manufacturer) out["manufacturer"] = hexText(*raw.manufacturer);
  if (raw.product) out["product"] = hexText(*raw.product);
  if (raw.serial) out["serial"] = hexText(*raw.serial);
  return out;
}

std::vector<std::uint8_t> stringBytes(const std::optional<std::vector<std::uint8_t>>& raw, const std::wstring& text) {
  return raw ? *raw : textDescriptor(text);
}

}  // namespace hbx::sim
