#include "base/log/format.h"

#include <gtest/gtest.h>

namespace hbx {
namespace {

TEST(WideFormat, ProgramFormats) {
  struct Case {
    std::wstring got;
    std::wstring want;
  };
  const std::wstring name = L"Ini::vLoadINIFile";
  const Case cases[] = {
      {wformat(L"%s:%d: vLoadINIFile Failed[%s]", name, 42, L"C:\\x.ini"),
       L"Ini::vLoadINIFile:42: vLoadINIFile Failed[C:\\x.ini]"},
      {wformat(L"%d:%012S\r\n", 1, std::string("25031825")), L"1:000025031825\r\n"},
      {wformat(L"%02X%02X%02X", 0x25, 0x3, 0xAB), L"2503AB"},
      {wformat(L"%02x%02x", 0x2E, 0x8B), L"2e8b"},
      {wformat(L"code = %x, dwError = %d", 0x0022200Cu, 31), L"code = 22200c, dwError = 31"},
      {wformat(L"%x", -1), L"ffffffff"},
      {wformat(L"%lld", -1234567890123LL), L"-1234567890123"},
      {wformat(L"%u", -1), L"4294967295"},
      {wformat(L"%f", 1.5), L"1.500000"},
      {wformat(L"%ls and %ws and %S", L"wide", L"wide2", "narrow"), L"wide and wide2 and narrow"},
      {wformat(L"[%-5d|%5s|%05d|%-4s]", 7, L"ab", -42, L"x"), L"[7    |   ab|-0042|x   ]"},
      {wformat(L"100%% %c", L'Z'), L"100% Z"},
      {wformat(L"(%d)", -10), L"(-10)"},
      {wformat(L"%01x", 5), L"5"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(NarrowFormat, ConsoleLinesTakeWideStringsWithCapitalS) {
  EXPECT_EQ(nformat("=====ZELT Hub FWUpg Tool(%S)======\r\n", std::wstring(L"Tool Ver 3")),
            "=====ZELT Hub FWUpg Tool(Tool Ver 3)======\r\n");
  EXPECT_EQ(nformat("Target Hub[%02d] >FW Update.....\t", 3), "Target Hub[03] >FW Update.....\t");
  EXPECT_EQ(nformat("%s-%S", "n", L"w"), "n-w");
}

TEST(Format, MissingArgumentsAndOddConversionsDoNotCrash) {
  EXPECT_EQ(wformat(L"a %d b %s c"), L"a  b  c");
  EXPECT_EQ(wformat(L"%s", 5), L"(null)");
  EXPECT_EQ(wformat(L"end %"), L"end %");
  EXPECT_EQ(wformat(L"%y"), L"%y");
}

TEST(Format, OutputIsCutAtTheLimit) {
  const std::array<FormatArg, 1> args{FormatArg(std::wstring(10000, L'x'))};
  EXPECT_EQ(formatWideArgs(L"%s tail", args, 4095).size(), 4095u);
  EXPECT_EQ(formatWideArgs(L"%99999d", std::array<FormatArg, 1>{FormatArg(1)}, 100).size(), 100u);
}

}  // namespace
}  // namespace hbx
