// String descriptors as unkind as a real device's, and trees the platform
// reports wrongly: what the walk and the device list make of each.
#include <gtest/gtest.h>

#include "base/text/utf.h"
#include "tests/walk/walk_fixture.h"

namespace hbx::testing {
namespace {

// One hub of ours ("odd", USB 3.0 only) on port 1 of the root hub, with
// `keys` added to its entry.
std::string oneHubBench(const std::string& keys) {
  return R"({"hubs": {"devices": [{"name": "odd", "family": "HBX773x", "firmwareVersion": "250318250c01", )" + keys +
         R"(, "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-20"}}]},
   "usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_3A7F&DEV_7630#4&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
     "description": "Corvane Host", "ports": 4, "devices": [{"port": 1, "chip": "odd", "side": "usb3"}]}]}})";
}

std::string rawStrings(const std::string& hex) {
  return R"("stringDescriptors": {"manufacturer": ")" + hex + R"(", "product": ")" + hex + R"(", "serial": ")" + hex +
         R"("})";
}

std::wstring digits(std::size_t n) {
  std::wstring text;
  for (std::size_t i = 0; i < n; ++i) text += static_cast<wchar_t>(L'0' + i % 10);
  return text;
}

// The text of the last "iManufacturer" log line of the walk.
std::string manufacturerLine(const std::string& log) {
  const std::string mark = "iManufacturer ";
  const std::size_t at = log.rfind(mark);
  if (at == std::string::npos) return "(none)";
  const std::size_t end = log.find_first_of("\r\n", at);
  return log.substr(at + mark.size(), end - at - mark.size());
}

// The same descriptor as manufacturer, product and serial number. The walk
// reads UTF-16 units (the manufacturer text at index 2) as far as the reply
// goes, keeping lone surrogates; the filter driver reads the low byte of each
// unit of the bytes that came back (at most 43, 47 and 19 characters: the
// reply holds twice the characters asked, its first two bytes are the
// header), ending at a low byte 0.
TEST_F(WalkTest, EachDescriptorFaultReadsAsFarAsItIsValid) {
  struct Case {
    const char* what;
    std::string keys;
    std::wstring walk;
    std::wstring filterManufacturer;
    std::wstring filterProduct;
    std::wstring filterSerial;
  };
  const std::string longText = toUtf8(digits(200));
  const std::vector<Case> cases = {
      // 402 bytes whose bLength says 146 (the low byte): the walk asks for
      // 255 and gets 126 units and half of the 127th.
      {"200 characters",
       R"("manufacturer": ")" + longText + R"(", "product": ")" + longText + R"(", "serial": ")" + longText + "\"",
       digits(126), digits(43), digits(47), digits(19)},
      {"255 characters of another script", R"("manufacturer": ")" + toUtf8(std::wstring(255, L'\x0416')) + "\"",
       std::wstring(126, L'\x0416'), std::wstring(43, L'\x16'), L"USB3.1 Hub", L"----"},
      {"odd length: half a unit at the end", rawStrings("07034100420043"), L"AB", L"ABC", L"ABC", L"ABC"},
      {"lone high surrogate", rawStrings("0803410000d84200"), L"A\xD800" L"B", L"A", L"A", L"A"},
      {"lone low surrogate", rawStrings("060341dc4200"), L"\xDC41" L"B", L"AB", L"AB", L"AB"},
      {"reversed pair", rawStrings("060300dc00d8"), L"\xDC00\xD800", L"", L"", L""},
      {"nothing sent", rawStrings(""), L"", L"", L"", L""},
      {"bLength 0", rawStrings("0003"), L"", L"", L"", L""},
      {"bLength 2", rawStrings("0203"), L"", L"", L"", L""},
      {"bLength 1, one byte", rawStrings("01"), L"", L"", L"", L""},
      {"bLength claims more than was sent", rawStrings("ff0343006f00"), L"Co", L"Co", L"Co", L"Co"},
      {"bLength claims less than was sent", rawStrings("040341004200430044"), L"ABC", L"ABCD", L"ABCD", L"ABCD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start(oneHubBench(c.keys));
    std::uint16_t language = 0;
    const platform::OsHandle root = openRootHub();
    EXPECT_EQ(utility->GetStringDescriptor(root, 1, language, 2), c.walk);
    ports->hubIo.closeHub(root);

    ASSERT_EQ(scan(), 0);
    ASSERT_EQ(list.DevNums, 1) << "the hub is listed whatever its texts";
    const DeviceListEntry& entry = list.Devs[0];
    EXPECT_EQ(entry.m_strManufacturer, c.filterManufacturer);
    EXPECT_EQ(entry.m_strProduct, c.filterProduct);
    EXPECT_EQ(entry.m_strSN, c.filterSerial);
    // The log line of the walk's text is UTF-8, a lone surrogate replaced.
    EXPECT_EQ(manufacturerLine(debugLog()), toUtf8(c.walk));
  }
}

// The manufacturer filter compares what the walk read: a text cut by an odd
// length is another text.
TEST_F(WalkTest, ManufacturerFilterComparesTheTextAsFarAsItCameBack) {
  for (const auto& [hex, listed] : {std::pair{"1003430061006e00760061006e006500", true},      // "Canvane" whole
                                    std::pair{"0f03430061006e00760061006e0065", false}}) {  // its last unit cut
    SCOPED_TRACE(hex);
    start(oneHubBench(R"("stringDescriptors": {"manufacturer": ")" + std::string(hex) + R"("})"));
    utility->m_bCheckManuString = 1;
    utility->m_strManuString_Indetify = L"CANVANE";
    EXPECT_EQ(walk().size(), listed ? 1u : 0u);
  }
}

// A tree that loops: the hub driver names, for a hub's port, a hub above it.
// Without the loop guard the walk searches that hub again below itself.
// That hub is neither listed nor searched, and the rest of the tree is.
TEST_F(WalkTest, HubNamedAsAHubAboveItIsNeitherListedNorSearched) {
  struct Case {
    const char* what;
    std::string innerKeys;
    std::vector<int> listed;
  };
  const std::vector<Case> cases = {
      {"no loop", "", {9, 10, 11, 13, 10, 14}},
      {"inner named as top, the hub it is on", R"(, "faults": {"nameOfAncestor": 1})", {9, 11, 13, 14}},
      {"inner named as the root hub", R"(, "faults": {"nameOfAncestor": 2})", {9, 11, 13, 14}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The fault sits on the tree's device entries of "inner" (both functions).
    std::string bench = topologyBench();
    for (const char* place : {R"("chip": "inner", "side": "usb2")", R"("chip": "inner", "side": "usb3")"}) {
      const std::size_t at = bench.find(place);
      ASSERT_NE(at, std::string::npos);
      bench.insert(at + std::string(place).size(), c.innerKeys);
    }
    start(bench);
    utility->m_strVID_Indetify = L"8087";
    EXPECT_EQ(positions(walk()), c.listed);
    EXPECT_EQ(debugLog().find("a hub above it: not searched") != std::string::npos, !c.innerKeys.empty());
  }
}

// USB allows five tiers of hubs: a hub the platform reports on a sixth tier
// is neither listed nor searched, one on the fifth is.
TEST_F(WalkTest, HubsDeeperThanFiveTiersAreNotSearched) {
  const auto ours = [](const char* name, const char* pid, int pdo) {
    return nformat(R"({"name": "%s", "family": "HBX773x", "firmwareVersion": "250318250c01",
                       "usb3": {"pid": "%s", "pdo": "\\Device\\USBPDO-%d"}})",
                   name, pid, pdo);
  };
  // Foreign hubs on tiers 1 to 5; "five" on port 1 of the tier-4 hub, "six"
  // and "seven" below the tier-5 hub.
  std::string chain = R"({"port": 2, "hub": true, "vid": "05e3", "pid": "0626", "bcdUSB": "0310", "devices": [
      {"port": 1, "chip": "six", "side": "usb3", "devices": [{"port": 1, "chip": "seven", "side": "usb3"}]}]})";
  chain = R"({"port": 2, "hub": true, "vid": "05e3", "pid": "0626", "bcdUSB": "0310", "devices": [
      {"port": 1, "chip": "five", "side": "usb3"}, )" + chain + "]}";
  for (int tier = 3; tier >= 1; --tier) {
    chain = R"({"port": 2, "hub": true, "vid": "05e3", "pid": "0626", "bcdUSB": "0310", "devices": [)" + chain + "]}";
  }
  start(R"({"hubs": {"devices": [)" + ours("five", "0705", 30) + "," + ours("six", "0706", 31) + "," +
        ours("seven", "0707", 32) + R"(]},
     "usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_3A7F&DEV_7630#4&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
       "description": "Corvane Host", "ports": 4, "devices": [)" +
        chain + "]}]}}");
  const std::vector<DriverInfo> records = walk();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(text(records[0].PID), L"0705");
  EXPECT_EQ(records[0].ucDepth, 5);
  EXPECT_NE(debugLog().find("would be on tier 6, deeper than USB allows: not searched"), std::string::npos);
}

}  // namespace
}  // namespace hbx::testing
