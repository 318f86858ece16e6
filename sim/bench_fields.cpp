#include "sim/bench_fields.h"

#include "base/log/format.h"

namespace hbx::sim {

using nlohmann::json;

void checkKeys(const json& object, const std::string& where, std::initializer_list<const char*> known) {
  if (!object.is_object()) throw BenchFieldError{where, "expected an object"};
  for (const auto& item : object.items()) {
    bool found = false;
    for (const char* k : known) found = found || item.key() == k;
    if (!found) throw BenchFieldError{where + "/" + item.key(), "unknown key"};
  }
}

std::uint32_t hexValue(const json& v, const std::string& where, std::size_t maxDigits) {
  if (!v.is_string()) throw BenchFieldError{where, "expected a hexadecimal text"};
  const std::string text = v.get<std::string>();
  if (text.empty() || text.size() > maxDigits) {
    throw BenchFieldError{where, "expected 1 to " + std::to_string(maxDigits) + " hex digits"};
  }
  std::uint32_t value = 0;
  for (char c : text) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) throw BenchFieldError{where, "not a hexadecimal digit"};
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return value;
}

std::uint32_t numberValue(const json& v, const std::string& where, std::uint32_t min, std::uint32_t max) {
  const bool inRange = v.is_number_unsigned()
                           ? v.get<std::uint64_t>() >= min && v.get<std::uint64_t>() <= max
                           : v.is_number_integer() && v.get<std::int64_t>() >= static_cast<std::int64_t>(min) &&
                                 v.get<std::int64_t>() <= static_cast<std::int64_t>(max);
  if (!inRange) {
    throw BenchFieldError{where, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max)};
  }
  return static_cast<std::uint32_t>(v.get<std::int64_t>());
}

bool boolValue(const json& v, const std::string& where) {
  if (!v.is_boolean()) throw BenchFieldError{where, "expected true or false"};
  return v.get<bool>();
}

std::wstring textValue(const json& v, const std::string& where, std::size_t maxChars) {
  if (!v.is_string()) throw BenchFieldError{where, "expected a text"};
  std::wstring text = fromUtf8(v.get<std::string>());
  if (text.size() > maxChars) throw BenchFieldError{where, "longer than " + std::to_string(maxChars) + " characters"};
  return text;
}

}  // namespace hbx::sim
