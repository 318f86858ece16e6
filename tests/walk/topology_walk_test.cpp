// The walk of the USB tree: which hubs are listed, in which order, with which
// positions, and that every filter leaves a hub out but still walks through it.
#include <gtest/gtest.h>

#include "tests/walk/walk_fixture.h"

namespace hbx::testing {
namespace {

std::string lineWith(const std::string& text, const std::string& part) {
  const std::size_t at = text.find(part);
  if (at == std::string::npos) return "";
  const std::size_t begin = text.rfind('\n', at);
  return text.substr(begin == std::string::npos ? 0 : begin + 1, text.find('\n', at) - (begin + 1));
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(WalkTest, ListsOurHubsInDepthFirstOrderWithTheirPlaceInTheTree) {
  start(topologyBench());
  utility->m_strVID_Indetify = L"8087";  // lets the 8087 chip reach its own test
  const std::vector<DriverInfo> records = walk();
  ASSERT_EQ(positions(records), (std::vector<int>{9, 10, 11, 13, 10, 14}));
  const std::vector<int> depths = {1, 2, 2, 1, 2, 1};
  const std::vector<int> portIndices = {1, 2, 3, 5, 2, 6};
  const std::vector<std::wstring> pids = {L"0622", L"0621", L"0633", L"0632", L"0631", L"0624"};
  // Position indices repeat (10 twice); the chain of ports from the root hub does not.
  const std::vector<std::vector<std::uint8_t>> chains = {{1}, {1, 2}, {2, 3}, {5}, {5, 2}, {6}};
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    const DriverInfo& r = records[i];
    EXPECT_EQ(r.ucDepth, depths[i]);
    EXPECT_EQ(r.ucPortIndex, portIndices[i]);
    EXPECT_EQ(text(r.PID), pids[i]);
    EXPECT_EQ(portChainOf(r), chains[i]);
    EXPECT_EQ(text(r.VID), L"2e8b");
    EXPECT_EQ(text(r.RootHubName), utility->m_strRootHubName) << "the root hub's name, also behind other hubs";
    EXPECT_EQ(text(r.HostControllerName), L"Corvane Host");
    EXPECT_EQ(text(r.DeviceObjectName).rfind(L"\\\\.\\", 0), 0u);
  }
  EXPECT_EQ(text(records[0].Speed), L"0210");
  EXPECT_EQ(text(records[3].Speed), L"0300");
  EXPECT_EQ(records[1].FWVersion[3], 0x15);
  const std::string log = debugLog();
  EXPECT_NE(log.find("VID compare Error, this->strVID=05e3"), std::string::npos);
  EXPECT_NE(log.find("Version3:[25], 773 ??"), std::string::npos);
  EXPECT_NE(log.find("Version3:[15], 863 ??"), std::string::npos);
  EXPECT_NE(log.find("Find HBX763x Hub, VID[2e8b], PID[0622], Speed[0210], ucPositionIndex[9]"), std::string::npos);
}

TEST_F(WalkTest, EachFilterLeavesHubsOutButWalksThroughThem) {
  struct Case {
    const char* name;
    std::uint8_t usbMode = 0;
    const wchar_t* vid = L"";
    const wchar_t* manufacturer = nullptr;
    const wchar_t* pid30 = L"";
    const wchar_t* pid20 = L"";
    const wchar_t* versions = L"";
    std::vector<int> listed;
    const char* logged;
  };
  const std::vector<Case> cases = {
      {"USB 3.0 only", 2, L"2E8B", nullptr, L"", L"", L"", {11, 13, 10}, "Check USB 3.0 Only!!!strBCDUSB[0210]"},
      {"USB 2.0 only", 1, L"2E8B", nullptr, L"", L"", L"", {9, 10, 14}, "Check USB 2.0 Only!!!strBCDUSB[0300]"},
      // Our vendor id passes whatever the filter names; 05e3 and 8087 do not.
      {"vendor", 0, L"abcd", nullptr, L"", L"", L"", {9, 10, 11, 13, 10, 14}, "this->strVID=8087"},
      // The value arrives upper-cased from the command line; the hubs' texts
      // compare without regard to case.
      {"manufacturer", 0, L"2E8B", L"CORVANE", L"", L"", L"", {9, 10, 13, 10, 14},
       "Manufactory compare Error, this->strIManufacture=Other Maker"},
      {"other manufacturer", 0, L"2E8B", L"OTHER MAKER", L"", L"", L"", {11},
       "Manufactory compare Error, this->strIManufacture=Corvane"},
      {"USB 3.0 product", 0, L"2E8B", nullptr, L"0632", L"", L"", {13}, "USB3.0 PID compare Error, this->strPID=0631"},
      {"USB 2.0 product", 0, L"2E8B", nullptr, L"", L"0621", L"", {10}, "Current connection is not USB2.0"},
      // Version texts compare without regard to case, like every version.
      {"versions", 0, L"2E8B", nullptr, L"", L"", L"250318150d02 250318150C04", {10, 10, 14},
       "Filter Out FW version this->m_strFW_Indetify = [250318150d02 250318150C04], Get FW Version=250318250C01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start(topologyBench());
    utility->m_ucUsbMode = c.usbMode;
    utility->m_strVID_Indetify = c.vid;
    if (c.manufacturer != nullptr) {
      utility->m_bCheckManuString = 1;
      utility->m_strManuString_Indetify = c.manufacturer;
    }
    utility->m_strPID30_Indetify = c.pid30;
    utility->m_strPID20_Indetify = c.pid20;
    utility->m_strFW_Indetify = c.versions;
    EXPECT_EQ(positions(walk()), c.listed);
    EXPECT_NE(debugLog().find(c.logged), std::string::npos) << c.logged;
    // Every step of a port's examination logs as the port scan.
    EXPECT_NE(lineWith(debugLog(), c.logged).find("CHubUtility::GetHubPort:"), std::string::npos);
  }
}

TEST_F(WalkTest, HubsBelowAHubOfTheOtherSpeedAreStillVisited) {
  // "behind" (USB 3.0) hangs below a foreign USB 2.0 hub; "slow" (USB 2.0)
  // below a foreign USB 3.0 hub.
  const std::string bench = R"({"hubs": {"devices": [
    {"name": "behind", "family": "HBX773x", "firmwareVersion": "250318250c03",
     "usb3": {"pid": "0633", "pdo": "\\Device\\USBPDO-24"}},
    {"name": "slow", "family": "HBX863x", "firmwareVersion": "250318150c04",
     "usb2": {"pid": "0624", "bcdUSB": "0210", "pdo": "\\Device\\USBPDO-25"}}]},
   "usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_8086&DEV_A36D#3&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
     "description": "Host", "ports": 4, "devices": [
       {"port": 1, "hub": true, "vid": "05e3", "pid": "0610", "bcdUSB": "0210",
        "devices": [{"port": 3, "chip": "behind", "side": "usb3"}]},
       {"port": 2, "hub": true, "vid": "05e3", "pid": "0620", "bcdUSB": "0310",
        "devices": [{"port": 2, "chip": "slow", "side": "usb2"}]}]}]}})";
  struct Case {
    std::uint8_t usbMode;
    std::vector<int> listed;
  };
  for (const Case& c : {Case{2, {11}}, Case{1, {10}}}) {
    SCOPED_TRACE(int(c.usbMode));
    start(bench);
    utility->m_ucUsbMode = c.usbMode;
    EXPECT_EQ(positions(walk()), c.listed);
  }
}

TEST_F(WalkTest, ManufacturerTextIsReadAtTheIndexTheDescriptorGives) {
  // "top" numbers its manufacturer text 1 (product 2): it passes the filter
  // as the others with their text at 2 do.
  start(topologyBench(R"(, "manufacturerIndex": 1)"));
  utility->m_bCheckManuString = 1;
  utility->m_strManuString_Indetify = L"CORVANE";
  EXPECT_EQ(positions(walk()), (std::vector<int>{9, 10, 13, 10, 14}));
}

// A hub without a manufacturer text (index 0) fails the manufacturer filter,
// also right after a hub whose text passed it.
TEST_F(WalkTest, HubWithoutManufacturerTextFailsTheManufacturerFilter) {
  start(topologyBench("", R"(, "manufacturer": "")"));
  utility->m_bCheckManuString = 1;
  utility->m_strManuString_Indetify = L"CORVANE";
  EXPECT_EQ(positions(walk()), (std::vector<int>{9, 13, 14}));
}

TEST_F(WalkTest, VendorIdEightyEightySevenIsNeverListedNotEvenWhenFindingAHubAgain) {
  for (std::uint8_t reEnumeration : {0, 1}) {
    start(topologyBench());
    utility->m_strVID_Indetify = L"8087";
    utility->m_bAllHubCheck4ReEnum = reEnumeration;
    const std::vector<DriverInfo> records = walk();
    for (const DriverInfo& r : records) EXPECT_NE(text(r.PID), L"0635");
    EXPECT_EQ(records.size(), 6u);
  }
}

TEST_F(WalkTest, ChipFamilyIsTheHighNibbleOfVersionByteThree) {
  struct Case {
    std::string family;
    std::string byte3;
    bool listed;
  };
  // Each chip boots only firmware built for its own family.
  const std::vector<Case> cases = {
      {"HBX863x", "1a", true}, {"HBX773x", "2b", true}, {"HBX763x", "0c", false}, {"HBX963x", "3f", false}};
  for (const auto& [family, byte3, listed] : cases) {
    SCOPED_TRACE(byte3);
    // A hub of its own per case: the bench folder keeps each hub's flash.
    start(R"({"hubs": {"devices": [{"name": "h)" + byte3 + R"(", "family": ")" + family + R"(", "firmwareVersion": "250318)" + byte3 +
          R"(0c01", "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-20"}}]}})");
    EXPECT_EQ(walk().size(), listed ? 1u : 0u);
    // The whole byte in plain %x: 0x0c shows as "c".
    const std::string shown = byte3[0] == '0' ? byte3.substr(1) : byte3;
    EXPECT_NE(debugLog().find("Version3:[" + shown + "], " + (listed ? "" : "763")), std::string::npos);
  }
}

TEST_F(WalkTest, PositionIndexKeepsOnlyItsLowByte) {
  // Port 3 of a 200-port hub on level 1: (1 + 1) * 200 + 3 = 403, kept as 147.
  start(R"({"hubs": {"devices": [{"name": "one", "family": "HBX773x", "firmwareVersion": "250318250c01",
             "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-20"}}]},
           "usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_8086&DEV_A36D#3&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
             "description": "Host", "ports": 2, "devices": [
               {"port": 2, "hub": true, "vid": "05e3", "pid": "0626", "bcdUSB": "0310", "ports": 200,
                "devices": [{"port": 3, "chip": "one", "side": "usb3"}]}]}]}})");
  EXPECT_EQ(positions(walk()), std::vector<int>{147});
}

TEST_F(WalkTest, BuiltInTreeAcrossTwoControllers) {
  start();
  // hub2 on root port 3 (20 ports): 23; hub1 behind the Intel hub: 9; hub0
  // (HBX763x) and hub3 (HBX963x) are not targets.
  const std::vector<DriverInfo> records = walk();
  EXPECT_EQ(positions(records), (std::vector<int>{23, 9, 33, 9}));
  EXPECT_NE(debugLog().find("Found USB Host , strDeviceName=Standard Enhanced PCI to USB Host Controller"),
            std::string::npos);
}

TEST_F(WalkTest, NoHostControllerGivesAnEmptyListAndFalse) {
  start(R"({"usb": {"controllers": []}})");
  CZeltHubDev& dev = hubDev();
  dev.m_DriverNum = 0;
  EXPECT_FALSE(utility->GetDeviceList());
  EXPECT_EQ(dev.m_DriverNum, 0);
}

TEST_F(WalkTest, UnreadableVersionRestartsTheHubTwiceThenSkipsTheVersionFilter) {
  struct Case {
    const char* faults;
    std::size_t restarts;
    bool listed;
  };
  // Listed after a restart although the version filter names another version:
  // a version read only after restarts is not filtered.
  const std::vector<Case> cases = {
      {R"({"immediateError": 31, "failCount": 2})", 1, true},
      {R"({"immediateError": 31, "failCount": 4294967295})", 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.faults);
    start(std::string(R"({"hubs": {"devices": [{"name": "one", "family": "HBX773x", "firmwareVersion": "250318250c01",
             "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-20"}, "faults": )") + c.faults + "}]}}");
    const std::size_t logStart = debugLog().size();
    utility->m_strFW_Indetify = L"000000000000";
    EXPECT_EQ(walk().size(), c.listed ? 1u : 0u);
    const std::string log = debugLog().substr(logStart);
    EXPECT_EQ(count(log, "Trigger Device!!!!!"), c.restarts);
    EXPECT_EQ(count(log, "bGet763xFWVersion Failed, ucPositionIndex[31]"), 1u);
    EXPECT_EQ(lineWith(log, "Filter Out FW version").rfind("ERR::", 0), 0u) << "logged as an error, not applied";
  }
}

TEST_F(WalkTest, CountLimitStartsAgainFromRecordOneAndLogsTheHubsItDrops) {
  // Eighteen of our hubs: seventeen behind a foreign 17-port hub, one more on
  // the root hub. Sixteen records (eight hubs with both connections) fit.
  std::string hubs;
  std::string placed;
  for (int i = 1; i <= 18; ++i) {
    hubs += (i > 1 ? "," : "") + nformat(R"({"name": "c%d", "family": "HBX773x", "firmwareVersion": "250318250c01",
              "usb3": {"pid": "%04x", "pdo": "\\Device\\USBPDO-%d"}})", i, 0x700 + i, 100 + i);
    if (i <= 17) placed += (i > 1 ? "," : "") + nformat(R"({"port": %d, "chip": "c%d", "side": "usb3"})", i, i);
  }
  start(R"({"hubs": {"devices": [)" + hubs + R"(]},
           "usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_8086&DEV_A36D#3&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
             "description": "Host", "ports": 2, "devices": [
               {"port": 1, "hub": true, "vid": "05e3", "pid": "0626", "bcdUSB": "0310", "ports": 17, "devices": [)" +
        placed + R"(]}, {"port": 2, "chip": "c18", "side": "usb3"}]}]}})");
  utility->m_strVID_Indetify = L"2E8B";
  const std::vector<DriverInfo> records = walk();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(text(records[0].PID), L"0701");
  EXPECT_EQ(text(records[1].PID), L"0712");
  EXPECT_EQ(hubDev().m_bRecordsOverflow, 1) << "the run must learn that hubs were dropped";
  const std::string log = debugLog();
  EXPECT_NE(log.find("there are some exactly the same Hubs cascade, m_DriverNum=16"), std::string::npos);
  EXPECT_NE(log.find("Record[1] of hub [USB#VID_2E8B&PID_0702"), std::string::npos) << "the dropped hub is named";
  // A walk that fits clears the mark.
  start(topologyBench());
  hubDev().m_bRecordsOverflow = 1;
  walk();
  EXPECT_EQ(hubDev().m_bRecordsOverflow, 0);
}

}  // namespace
}  // namespace hbx::testing
