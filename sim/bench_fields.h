#pragma once
// Readers of bench.json fields shared by the bench's sections. Each refuses a
// value of the wrong kind or range with a BenchFieldError naming its place.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

#include <nlohmann/json.hpp>

namespace hbx::sim {

struct BenchFieldError {
  std::string where;  // the path of the refused value, e.g. "usb/controllers/0/port"
  std::string what;
};

// An object whose keys are all among `known`.
void checkKeys(const nlohmann::json& object, const std::string& where, std::initializer_list<const char*> known);
// A text of 1 to `maxDigits` hexadecimal digits.
std::uint32_t hexValue(const nlohmann::json& v, const std::string& where, std::size_t maxDigits);
// An integer from `min` to `max`.
std::uint32_t numberValue(const nlohmann::json& v, const std::string& where, std::uint32_t min, std::uint32_t max);
bool boolValue(const nlohmann::json& v, const std::string& where);
// A text of at most `maxChars` characters.
std::wstring textValue(const nlohmann::json& v, const std::string& where, std::size_t maxChars);

}  // namespace hbx::sim
