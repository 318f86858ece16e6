#pragma once
// The one conversion between the program's wide text (UTF-16 on Windows,
// UTF-32 on Linux) and UTF-8. Surrogate pairs become one character; a lone
// surrogate, a code point past U+10FFFF or a malformed UTF-8 sequence
// becomes U+FFFD.
#include <cstddef>
#include <string>
#include <string_view>

namespace hbx {

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);
// toUtf8 cut to at most `maxBytes` bytes, never inside a character.
std::string toUtf8Within(std::wstring_view text, std::size_t maxBytes);

}  // namespace hbx
