#pragma once
// A message box that a hidden mode does not show, as one line of text for
// standard error.
#include <string>
#include <string_view>

namespace hbx {

// "[Caption] text" and a line feed, in UTF-8. Each run of line breaks inside
// the text becomes one blank and those at its end go, so every message is
// one line.
std::string strSuppressedMessageLine(std::wstring_view caption, std::wstring_view text);

}  // namespace hbx
