// Version strings and the gates decided on them.
#include "image/version_rules.h"

#include <gtest/gtest.h>

#include <array>

namespace hbx::version {
namespace {

TEST(VersionRules, EqualityIgnoresCaseOnly) {
  EXPECT_TRUE(bVersionEquals(L"25031825010c", L"25031825010C"));
  EXPECT_TRUE(bVersionEquals(L"", L""));
  EXPECT_FALSE(bVersionEquals(L"25031825010c", L"25031825010d"));
  EXPECT_FALSE(bVersionEquals(L"25031825010c", L"25031825010c "));
  EXPECT_FALSE(bVersionEquals(L"25031825010c", L"025031825010c"));
}

TEST(VersionRules, NumericFormReadsFirstFourAndLastEightCharacters) {
  struct Case {
    const wchar_t* text;
    std::uint32_t msb, lsb;
  };
  for (const Case& c : {Case{L"120621000000", 0x1206, 0x21000000}, Case{L"abcdef012345", 0xABCD, 0xEF012345},
                        Case{L"FFFFFFFFFFFF", 0xFFFF, 0xFFFFFFFF}, Case{L"12", 0x12, 0x12},
                        Case{L"", 0, 0}, Case{L"25031825010C", 0x2503, 0x1825010C}}) {
    const VersionValue v = versionValue(c.text);
    EXPECT_EQ(v.msb, c.msb) << c.text;
    EXPECT_EQ(v.lsb, c.lsb) << c.text;
    EXPECT_EQ(v.value(), (std::int64_t{c.msb} << 32) + c.lsb) << c.text;
  }
}

TEST(VersionRules, OrderingComparesMsbThenLsb) {
  EXPECT_LT(compareVersions(L"1206FFFFFFFF", L"120700000000"), 0);
  EXPECT_GT(compareVersions(L"120621000001", L"120621000000"), 0);
  EXPECT_EQ(compareVersions(L"25031825010c", L"25031825010C"), 0);
}

TEST(VersionRules, DisplayAndLogForms) {
  EXPECT_EQ(strDisplayVersion(L"25031825010C"), L"250318_25_01_0C");
  EXPECT_EQ(strDisplayVersion(L"1234567"), L"123456_7__");
  EXPECT_EQ(strDisplayVersion(L""), L"___");
  const std::array<std::uint8_t, 6> bytes{0x25, 0x03, 0x18, 0xAB, 0x01, 0x0C};
  EXPECT_EQ(strVersionFromBytes(bytes), L"250318ab010c");
  EXPECT_EQ(strLogVersion(bytes), L"250318_AB_01_0C");
}

TEST(VersionRules, VersionListTakesSixteenTrimmedFields) {
  EXPECT_EQ(versionListFields(L" a ; b;;c "), (std::vector<std::wstring>{L"a", L"b", L"", L"c"}));
  EXPECT_TRUE(bVersionListed(L"25031825010C", L"25031825010c"));  // the carried settings' form
  EXPECT_TRUE(bVersionListed(L"111111111111; 25031825010C ;", L"25031825010c"));
  EXPECT_FALSE(bVersionListed(L"111111111111;", L""));  // empty fields never match
  EXPECT_FALSE(bVersionListed(L"", L""));

  std::wstring seventeen;
  for (int i = 0; i < 16; ++i) seventeen += L"x;";
  EXPECT_TRUE(bVersionListed(seventeen.substr(0, 30) + L"v", L"v"));  // 16th field
  EXPECT_FALSE(bVersionListed(seventeen + L"v", L"v"));               // 17th field
}

TEST(VersionRules, PartialVersionComparesTheChosenCharacters) {
  struct Case {
    std::size_t start, length;
    const wchar_t* list;
    bool listed;
  };
  for (const Case& c : {Case{6, 2, L"24;25", true}, Case{0, 4, L"2503", true}, Case{10, 2, L"0c", true},
                        Case{10, 4, L"0C", true}, Case{6, 2, L"24", false}, Case{12, 2, L"0C", false},
                        Case{40, 2, L";", false}}) {
    EXPECT_EQ(bPartialVersionListed(L"25031825010C", c.start, c.length, c.list), c.listed)
        << c.start << "," << c.length << " " << c.list;
  }
}

TEST(VersionRules, ChipRevisionGatesAtTheirBoundaries) {
  struct Case {
    const wchar_t* chip;
    const wchar_t* file;
    RevisionGate gate;
  };
  for (const Case& c : {
           Case{L"HBX763xA1", L"120621000000", RevisionGate::Allowed},
           Case{L"HBX763xA1", L"120621000001", RevisionGate::TooNew},
           Case{L"HBX763xA1", L"1205FFFFFFFF", RevisionGate::Allowed},
           Case{L"HBX763xA1", L"120700000000", RevisionGate::TooNew},
           Case{L"hbx763xa1", L"120621000001", RevisionGate::TooNew},
           Case{L"HBX763xA2", L"120720000000", RevisionGate::TooOld},
           Case{L"HBX763xA2", L"120720000001", RevisionGate::Allowed},
           Case{L"HBX763xA2", L"1206FFFFFFFF", RevisionGate::TooOld},
           Case{L"HBX763xA2", L"120800000000", RevisionGate::Allowed},
           Case{L"HBX763XA2", L"120720000000", RevisionGate::TooOld},
           Case{L"HBX763xA3", L"000000000000", RevisionGate::Allowed},
           Case{L"HBX763xB1", L"FFFFFFFFFFFF", RevisionGate::Allowed},
       }) {
    EXPECT_EQ(chipRevisionGate(c.chip, c.file), c.gate) << c.chip << " " << c.file;
  }
}

TEST(VersionRules, LongResetWaitForTwoVersionsOnly) {
  EXPECT_TRUE(bNeedsLongResetWait(L"121030000000"));
  EXPECT_TRUE(bNeedsLongResetWait(L"111117000000"));
  EXPECT_FALSE(bNeedsLongResetWait(L"121030000001"));
  EXPECT_FALSE(bNeedsLongResetWait(L"111217000000"));
  EXPECT_FALSE(bNeedsLongResetWait(L""));
}

}  // namespace
}  // namespace hbx::version
