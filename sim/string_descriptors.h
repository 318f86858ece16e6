#pragma once
// The string descriptors a simulated device sends: built from a text as a
// device's firmware builds them, or given byte for byte in bench.json to be
// as unkind as a real device's can be (odd lengths, lone surrogates, a
// bLength that does not match what is sent, nothing at all).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace hbx::sim {

// The longest text a bench gives a string: a device keeps it whole, but its
// one-byte bLength can only hold 2 + 2 * 126.
inline constexpr std::size_t kMaxStringChars = 255;

// bLength, type 3, the text's UTF-16LE units. A text over 126 characters
// keeps every unit and takes the low byte of its true length as bLength (a
// 200-character text says 146), as firmware that computes the length into a
// byte does; whoever asks gets as many of the bytes as asked.
std::vector<std::uint8_t> textDescriptor(const std::wstring& text);

// Descriptors given byte for byte, which replace those of the texts.
struct RawStrings {
  std::optional<std::vector<std::uint8_t>> manufacturer;
  std::optional<std::vector<std::uint8_t>> product;
  std::optional<std::vector<std::uint8_t>> serial;
};

// The "stringDescriptors" field: {"manufacturer": "<hex>", ...}, each 0 to
// 255 bytes as hexadecimal digit pairs. Refuses anything else with a
// BenchFieldError.
RawStrings parseRawStrings(const nlohmann::json& v, const std::string& where);
nlohmann::json toJson(const RawStrings& raw);

// The bytes a device sends for one string: the raw descriptor when given,
// else the text's.
std::vector<std::uint8_t> stringBytes(const std::optional<std::vector<std::uint8_t>>& raw, const std::wstring& text);

}  // namespace hbx::sim
