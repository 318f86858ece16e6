#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text/utf.h"

namespace hbx {
namespace {

// Wide text from UTF-16 units, as Windows APIs hand it over (also where
// wchar_t is wider).
std::wstring units(std::initializer_list<unsigned> list) {
  std::wstring text;
  for (unsigned u : list) text += static_cast<wchar_t>(u);
  return text;
}

TEST(Utf, WideToUtf8JoinsPairsAndReplacesLoneSurrogates) {
  struct Case {
    const char* what;
    std::wstring wide;
    std::string utf8;
  };
  const std::vector<Case> cases{
      {"ascii and BMP", L"A\u00fc\u4e2d", "A\xc3\xbc\xe4\xb8\xad"},
      {"surrogate pair", units({'a', 0xD83D, 0xDE00, 'b'}), "a\xf0\x9f\x98\x80" "b"},
      {"lone high surrogate", units({'a', 0xD83D, 'b'}), "a\xef\xbf\xbd" "b"},
      {"lone high surrogate at the end", units({'a', 0xD83D}), "a\xef\xbf\xbd"},
      {"lone low surrogate", units({0xDE00, 'b'}), "\xef\xbf\xbd" "b"},
      {"pair in the wrong order", units({0xDE00, 0xD83D}), "\xef\xbf\xbd\xef\xbf\xbd"},
  };
  for (const Case& c : cases) EXPECT_EQ(toUtf8(c.wide), c.utf8) << c.what;
}

TEST(Utf, Utf8ToWideRoundTripsAndReplacesWhatIsNoCharacter) {
  const std::wstring text = L"Gr\u00fc\u00dfe \u4e2d \U0001F600";
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(toUtf8(fromUtf8("\xf0\x9f\x98\x80")), "\xf0\x9f\x98\x80");
  EXPECT_EQ(fromUtf8("\xff\x41"), L"\xFFFD" L"A");
  EXPECT_EQ(fromUtf8("\xe4\xb8"), L"\xFFFD\xFFFD");          // cut-off character
  EXPECT_EQ(fromUtf8("\xed\xa0\xbd" "A"), L"\xFFFD" L"A");  // an encoded surrogate
}

TEST(Utf, CutNeverSplitsACharacter) {
  const std::wstring text = units({'a', 0xD83D, 0xDE00, 0x4e2d});  // 1 + 4 + 3 bytes
  EXPECT_EQ(toUtf8Within(text, 8), "a\xf0\x9f\x98\x80\xe4\xb8\xad");
  EXPECT_EQ(toUtf8Within(text, 7), "a\xf0\x9f\x98\x80");
  EXPECT_EQ(toUtf8Within(text, 4), "a");
  EXPECT_EQ(toUtf8Within(text, 0), "");
}

}  // namespace
}  // namespace hbx
