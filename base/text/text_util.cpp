#include "base/text/text_util.h"

#include <climits>
#include <cstdint>

namespace hbx::text {

bool isSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

std::wstring trim(std::wstring_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isSpace(text[begin])) ++begin;
  while (end > begin && isSpace(text[end - 1])) --end;
  return std::wstring(text.substr(begin, end - begin));
}

namespace {
wchar_t upperChar(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }
}  // namespace

std::wstring upper(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = upperChar(c);
  return out;
}

bool equalsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upperChar(a[i]) != upperChar(b[i])) return false;
  }
  return true;
}

bool containsNoCase(std::wstring_view text, std::wstring_view part) {
  return upper(text).find(upper(part)) != std::wstring::npos;
}

int removeAll(std::wstring& text, std::wstring_view part) {
  if (part.empty()) return 0;
  int count = 0;
  std::size_t at = 0;
  while ((at = text.find(part, at)) != std::wstring::npos) {
    text.erase(at, part.size());
    ++count;
  }
  return count;
}

void replaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to) {
  if (from.empty()) return;
  std::size_t at = 0;
  while ((at = text.find(from, at)) != std::wstring::npos) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

int decimalValue(std::wstring_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<std::int64_t>(INT_MAX) + 1) value = static_cast<std::int64_t>(INT_MAX) + 1;
  }
  if (negative) return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::uint32_t hexTextValue(std::wstring_view text) {
  std::uint32_t value = 0;
  for (wchar_t c : text) {
    std::uint32_t digit = 0;
    if (c >= L'0' && c <= L'9') digit = static_cast<std::uint32_t>(c - L'0');
    else if (c >= L'A' && c <= L'F') digit = static_cast<std::uint32_t>(c - L'A' + 10);
    else if (c >= L'a' && c <= L'f') digit = static_cast<std::uint32_t>(c - L'a' + 10);
    else continue;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace hbx::text
