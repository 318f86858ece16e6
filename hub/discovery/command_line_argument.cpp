#include "hub/discovery/command_line_argument.h"

namespace hbx {

std::wstring quoteCommandLineArgument(const std::wstring& argument) {
  // Backslashes count only before a quote: there (and before the closing
  // quote) they are doubled, and the quote itself is escaped.
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(2 * backslashes + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    // A zero would end the command line early.
    if (c != L'\0') quoted += c;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, L'\\');
  quoted += L'"';
  return quoted;
}

}  // namespace hbx
