#pragma once
// Small text operations the option parser and the settings loader share,
// with the semantics of the string class the program was written against.
#include <cstdint>
#include <string>
#include <string_view>

namespace hbx::text {

// White space as Trim() removes it: space, tab, CR, LF, VT, FF.
bool isSpace(wchar_t c);
std::wstring trim(std::wstring_view text);
// ASCII upper and lower case; other characters stay.
std::wstring upper(std::wstring_view text);
bool equalsNoCase(std::wstring_view a, std::wstring_view b);
bool containsNoCase(std::wstring_view text, std::wstring_view part);
// Deletes every occurrence of `part`; returns how many were deleted.
int removeAll(std::wstring& text, std::wstring_view part);
// Replaces every occurrence of `from` by `to`.
void replaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to);
// atoi: leading white space and one sign, then decimal digits up to the first
// other character; no digits give 0; overflow saturates at the int limits.
int decimalValue(std::wstring_view text);

// The hexadecimal reader: each of 0-9 and A-F (and a-f) adds a digit as
// value * 16 + digit; every other character is passed over.
std::uint32_t hexTextValue(std::wstring_view text);

}  // namespace hbx::text
