#include "base/log/message_line.h"

#include "base/log/format.h"

namespace hbx {

namespace {
bool isBreak(wchar_t c) { return c == L'\r' || c == L'\n'; }
}  // namespace

std::string strSuppressedMessageLine(std::wstring_view caption, std::wstring_view text) {
  while (!text.empty() && isBreak(text.back())) text.remove_suffix(1);
  std::wstring line = L"[" + std::wstring(caption) + L"] ";
  bool inBreak = false;
  for (wchar_t c : text) {
    if (isBreak(c)) {
      if (!inBreak) line += L' ';
      inBreak = true;
    } else {
      line += c;
      inBreak = false;
    }
  }
  return toUtf8(line) + "\n";
}

}  // namespace hbx
