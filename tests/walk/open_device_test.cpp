// Building the device list from the walk: one entry per hub chip, the two
// connections paired through the identification mark, version filters,
// depths and the log lines of the scan.
#include <gtest/gtest.h>

#include "hub/device/filter_protocol.h"
#include "tests/walk/walk_fixture.h"

namespace hbx::testing {
namespace {

TEST_F(WalkTest, OneEntryPerHubWithThePairingFieldsOfItsSecondConnection) {
  start(topologyBench());
  utility->m_strVID_Indetify = L"8087";
  ASSERT_EQ(scan(), 0);
  ASSERT_EQ(list.DevNums, 4);
  struct Expected {
    const wchar_t* speed;
    const wchar_t* pid30;
    const wchar_t* pid20;
    const wchar_t* pairBcdUSB;
    int pairPort;
    int depth;
    int position;
    const wchar_t* version;
    const wchar_t* serial;
  };
  // top and inner are met first over USB 2.0; behind has only USB 3.0, slow
  // only USB 2.0.
  const Expected expected[] = {
      {L"USB 2.0", L"0632", L"0622", L"0300", 5, 1, 9, L"250318250c01", L"top1"},
      {L"USB 2.0", L"0631", L"0621", L"0300", 2, 2, 10, L"250318150d02", L"IN2"},
      {L"USB 3.0", L"0633", L"----", L"", 0, 2, 11, L"2503182a0c03", L"----"},
      {L"USB 2.0", L"----", L"0624", L"", 0, 1, 14, L"250318150c04", L"----"},
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const DeviceListEntry& e = list.Devs[i];
    const Expected& x = expected[i];
    EXPECT_EQ(e.m_ucTargetNumber, i);
    EXPECT_EQ(e.m_strSpeed, x.speed);
    EXPECT_EQ(e.m_strPID30, x.pid30);
    EXPECT_EQ(e.m_strPID20, x.pid20);
    EXPECT_EQ(e.m_strPairBcdUSB, x.pairBcdUSB);
    EXPECT_EQ(e.m_ucPairPortIndex, x.pairPort);
    EXPECT_EQ(e.m_ucHubDepth, x.depth);
    EXPECT_EQ(e.m_ucOldPositionIndex, x.position);
    EXPECT_EQ(e.m_strFWVersion, x.version);
    EXPECT_EQ(e.m_strSN, x.serial);
    EXPECT_EQ(e.m_strVID, L"2e8b");
    EXPECT_EQ(e.m_strManufacturer, i == 2 ? L"Other Maker" : L"Corvane");
    EXPECT_EQ(e.m_strRootHubName, utility->m_strRootHubName);
    if (*x.pairBcdUSB != L'\0') {
      EXPECT_EQ(e.m_strPairRootHubName, utility->m_strRootHubName);
    }
  }
  EXPECT_EQ(list.Devs[0].m_ucChipType, 2);  // HBX773x
  EXPECT_EQ(list.Devs[1].m_ucChipType, 1);  // HBX863x
  EXPECT_EQ(list.Devs[0].m_ucPackage, 1);
  EXPECT_EQ(utility->m_MaxHubDepth.load(), 2);
  // Each hub carries the mark of its entry.
  for (const auto& [chip, mark] : {std::pair{"top", '0'}, {"inner", '1'}, {"behind", '2'}, {"slow", '3'}}) {
    withChip(chip, [&](sim::hub::HubChip& hub) {
      const sim::hub::Ticks now = host->clock().performanceCounter();
      EXPECT_EQ(hub.readRegister(filter::reg::kSignature, now), 0x5A) << chip;
      EXPECT_EQ(hub.readRegister(filter::reg::kSignatureNumber, now), mark) << chip;
    });
  }
  // Every record has the interface path of its hub.
  CZeltHubDev& dev = hubDev();
  for (std::uint8_t r = 0; r < dev.m_DriverNum; ++r) {
    EXPECT_EQ(std::string(dev.m_DriverInfo[r].InterfacePath).rfind("USB#VID_2E8B&PID_", 0), 0u) << int(r);
  }
  const std::string log = debugLog();
  EXPECT_NE(log.find("CZeltHubDev::OpenDevice:"), std::string::npos);
  EXPECT_NE(log.find("Found 6 Hubs"), std::string::npos);
  EXPECT_NE(log.find("Found Hubs[2], USB[USB 3.0], VID[2e8b], PID 3.0[0633], PID2.0[----], SN[----], "
                     "M String[Other Maker], P String[USB3.1 Hub], Index[11], Version[2503182a0c03]"),
            std::string::npos);
  EXPECT_NE(log.find("Dev[0] Package: 0x01"), std::string::npos);
}

TEST_F(WalkTest, ScanWithoutHubsGivesMinusFourAndAClearedList) {
  start(R"({"usb": {"controllers": []}})");
  list.DevNums = 3;
  list.Devs[0].m_strFWVersion = L"old";
  EXPECT_EQ(scan(), -4);
  EXPECT_EQ(list.DevNums, 0);
  EXPECT_EQ(list.Devs[0].m_strFWVersion, L"");
  EXPECT_EQ(list.Devs[0].m_strPID30, L"----");
}

TEST_F(WalkTest, VersionFiltersOfTheScan) {
  struct Case {
    const char* name;
    const wchar_t* versions;
    const wchar_t* partial;
    std::uint8_t start;
    std::uint8_t length;
    std::vector<std::wstring> listed;
    const char* logged;
  };
  const std::vector<Case> cases = {
      // The list holds the versions as the walk shows them (upper case).
      {"version list", L"250318250C01;250318150C04", L"", 0, 0, {L"250318250c01", L"250318150c04"}, nullptr},
      // Characters 9 and 10: "0c" for top and slow, "0d" for inner.
      {"partial", L"", L"x;0C;", 8, 2, {L"250318250c01", L"2503182a0c03", L"250318150c04"},
       "Dev[1]: Customer ID is not correct, Target[0d]"},
      {"partial past the end", L"", L"0c", 12, 2, {}, "Dev[0]: Customer ID is not correct, Target[]"},
      // Only the first sixteen fields count.
      {"seventeenth field", L"", L"a;b;c;d;e;f;g;h;i;j;k;l;m;n;o;p;0d", 8, 2, {}, "Target[0d]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start(topologyBench());
    utility->m_strVID_Indetify = L"2E8B";
    utility->m_strFW_Indetify = c.versions;
    utility->m_strPartOfFWVersion = c.partial;
    utility->m_ucPartOfFWVersionStart = c.start;
    utility->m_ucPartOfFWVersionLength = c.length;
    const std::size_t logStart = debugLog().size();
    scan();
    std::vector<std::wstring> listed;
    for (int i = 0; i < list.DevNums; ++i) listed.push_back(list.Devs[i].m_strFWVersion);
    EXPECT_EQ(listed, c.listed);
    if (c.logged != nullptr) {
      const std::string log = debugLog().substr(logStart);
      const std::size_t at = log.find(c.logged);
      ASSERT_NE(at, std::string::npos) << c.logged;
      EXPECT_EQ(log.rfind("ERR::CZeltHubDev::OpenDevice:", at), log.rfind('\n', at) + 1);
    }
  }
}

TEST_F(WalkTest, ARejectedHubsMarkSendsItsOtherConnectionToTheNextEntry) {
  // inner is rejected over USB 2.0 after being marked '1'; slow takes entry 1
  // and inner's USB 3.0 connection, found marked, writes its pair fields there.
  start(topologyBench());
  utility->m_strVID_Indetify = L"2E8B";
  utility->m_strPartOfFWVersion = L"0c";
  utility->m_ucPartOfFWVersionStart = 8;
  utility->m_ucPartOfFWVersionLength = 2;
  scan();
  ASSERT_EQ(list.DevNums, 3);
  EXPECT_EQ(list.Devs[1].m_strFWVersion, L"2503182a0c03");
  EXPECT_EQ(list.Devs[1].m_strPID30, L"0631") << "inner's USB 3.0 product id";
}

TEST_F(WalkTest, AMarkNumberThatCannotBeReadIsNoHubOfItsOwn) {
  // One hub, met over USB 2.0 first. The last request of a scan reads the
  // mark (signature and number) over USB 3.0; the same scan again fails that
  // read: once, and the older register request answers; twice, and the
  // number answers 0xFF: the connection is reported, not listed as a hub.
  start(R"({"hubs": {"devices": [{"name": "one", "family": "HBX773x", "firmwareVersion": "250318250c01",
      "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-20"},
      "usb2": {"pid": "0622", "bcdUSB": "0210", "pdo": "\\Device\\USBPDO-21"}}]}})");
  ASSERT_EQ(scan(), 0);  // settles the power settings, so the scans below match
  std::uint32_t first = 0;
  withChip("one", [&](sim::hub::HubChip& hub) { first = hub.requestCount(); });
  host->hubBench().clearTrace();
  ASSERT_EQ(scan(), 0);
  ASSERT_EQ(list.DevNums, 1);
  std::uint32_t markRead = first;
  sim::hub::TraceEntry last;
  for (const sim::hub::TraceEntry& t : host->hubBench().trace()) {
    // Requests to a hub that is away are refused before it counts them.
    if (t.hub != "one" || t.error == sim::hub::simerr::kDeviceNotConnected) continue;
    ++markRead;
    last = t;
  }
  ASSERT_TRUE(last.connection == sim::hub::Connection::Usb3 && last.words[5] == filter::reg::kSignature);

  for (std::uint32_t failing : {1u, 2u}) {
    SCOPED_TRACE(failing);
    withChip("one", [&](sim::hub::HubChip& hub) {
      hub.faults().immediateError = 31;
      hub.faults().failFromRequest = hub.requestCount() + (markRead - first);
      hub.faults().failCount = failing;
    });
    const std::size_t logStart = debugLog().size();
    ASSERT_EQ(scan(), 0);
    ASSERT_EQ(list.DevNums, 1) << "one chip is one hub";
    EXPECT_EQ(list.Devs[0].m_strSpeed, L"USB 2.0");
    EXPECT_EQ(list.Devs[0].m_strPID30, failing == 1 ? L"0632" : L"----");
    EXPECT_EQ(hubDev().m_strUnreadHubs.size(), failing == 1 ? 0u : 1u);
    EXPECT_EQ(debugLog().find("mark number 0xFF names no entry, not listed", logStart) != std::string::npos,
              failing == 2);
  }
}

}  // namespace
}  // namespace hbx::testing
