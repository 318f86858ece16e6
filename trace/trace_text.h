#pragma once
// How values are written into a trace line: bytes as lower-case hex, texts in
// UTF-8, GUIDs in their registry form.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/setup_api.h"

namespace hbx::trace {

// The first line of every trace names the format and its version.
inline constexpr char kFormatName[] = "hbx-port-trace";
inline constexpr int kFormatVersion = 1;

std::string hexOf(const std::uint8_t* bytes, std::size_t size);
inline std::string hexOf(const std::vector<std::uint8_t>& bytes) { return hexOf(bytes.data(), bytes.size()); }
// Nothing for an odd length or a character that is no hex digit.
std::optional<std::vector<std::uint8_t>> bytesOfHex(std::string_view hex);
std::string guidText(const platform::Guid& guid);

}  // namespace hbx::trace
