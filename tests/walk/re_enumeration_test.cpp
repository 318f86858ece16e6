// Finding a hub again after its processor reset: by its position, with the
// target's entry brought up to date and every other entry left alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/walk/walk_fixture.h"

namespace hbx::testing {
namespace {

bool sameEntry(const DeviceListEntry& a, const DeviceListEntry& b) {
  return a.m_strObjectName == b.m_strObjectName && a.m_strFWVersion == b.m_strFWVersion && a.m_strVID == b.m_strVID &&
         a.m_strPID30 == b.m_strPID30 && a.m_strPID20 == b.m_strPID20 && a.m_strSN == b.m_strSN &&
         a.m_ucTargetNumber == b.m_ucTargetNumber && a.m_strBcdUSB == b.m_strBcdUSB;
}

TEST_F(WalkTest, ResetHubIsFoundAgainByItsPositionAndOnlyItsEntryChanges) {
  start(topologyBench());
  utility->m_strVID_Indetify = L"2E8B";
  ASSERT_EQ(scan(), 0);
  ASSERT_EQ(list.DevNums, 4);
  const DeviceList before = list;
  ASSERT_EQ(hubDev().HBX763xReset(1, 1), 0);  // inner, depth 2, position 10
  utility->m_MaxHubDepth.store(1);            // the main task is on tier 1 by now

  ASSERT_TRUE(utility->ReEnumrationTargetHub(1));
  const DeviceListEntry& inner = list.Devs[1];
  EXPECT_NE(inner.m_strObjectName, before.Devs[1].m_strObjectName) << "new device objects after the reset";
  EXPECT_EQ(inner.m_strFWVersion, L"250318150D02");
  EXPECT_EQ(inner.m_strVID, L"2E8B");
  EXPECT_EQ(inner.m_strBcdUSB, L"0210");
  EXPECT_EQ(inner.m_strPID20, L"0621");
  EXPECT_EQ(inner.m_strPID30, L"0631");
  EXPECT_EQ(inner.m_strSN, L"IN2");
  for (int i : {0, 2, 3}) EXPECT_TRUE(sameEntry(list.Devs[i], before.Devs[i])) << i;
  EXPECT_EQ(list.DevNums, 4);
  EXPECT_EQ(utility->m_MaxHubDepth.load(), 1) << "the reset tier is the main task's";
  EXPECT_EQ(utility->m_bAllHubCheck4ReEnum.load(), 0);
  EXPECT_EQ(utility->m_ulOldPositionIndex[1], 10u);
  // The records are those of the new walk, with the new device object.
  CZeltHubDev& dev = hubDev();
  EXPECT_EQ(dev.m_pDevList, &list);
  EXPECT_EQ(std::wstring(dev.m_DriverInfo[1].DeviceObjectName), inner.m_strObjectName);
  // The new object answers the hub operations of the worker.
  std::uint8_t value = 0;
  EXPECT_EQ(dev.HBX763xAccessRegister(1, &value, 1, 0x5820, 0), 0);
  const std::string log = debugLog();
  EXPECT_NE(log.find("m_bAllHubCheck4ReEnum == TRUE, ulHubPortIndex=10"), std::string::npos);
  EXPECT_NE(log.find("ucTargetNumber[1], Find the target hub["), std::string::npos);
}

TEST_F(WalkTest, HubThatDoesNotComeBackFailsAfterThreeAttempts) {
  struct Case {
    const char* name;
    bool otherHubs;
    std::uint32_t pauseMs;  // the pause after each attempt
    const char* logged;
  };
  const std::vector<Case> cases = {
      {"other hubs still there", true, 750, nullptr},
      {"no hub at all", false, 2000, "ucTargetNumber[0], get Hubs Number is 0, Retry[2]!!!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string gone = R"(, "offBusMs": 600000)";
    if (c.otherHubs) {
      start(topologyBench(gone));
    } else {
      start(R"({"hubs": {"devices": [{"name": "lone", "family": "HBX773x", "firmwareVersion": "250318250c01",
                 "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-20"})" + gone + "}]}}");
    }
    utility->m_strVID_Indetify = L"2E8B";
    ASSERT_EQ(scan(), 0);
    const DeviceListEntry before = list.Devs[0];
    ASSERT_EQ(hubDev().HBX763xReset(0, 1), 0);
    clock->takeSleeps();
    EXPECT_FALSE(utility->ReEnumrationTargetHub(0));
    const std::vector<std::uint32_t> sleeps = clock->takeSleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), c.pauseMs), 3);
    EXPECT_TRUE(sameEntry(list.Devs[0], before));
    EXPECT_EQ(utility->m_bAllHubCheck4ReEnum.load(), 0);
    if (c.logged != nullptr) {
      EXPECT_NE(debugLog().find(c.logged), std::string::npos);
    }
  }
}

TEST_F(WalkTest, ReEnumerationOutsideTheListIsRefused) {
  start(topologyBench());
  ASSERT_EQ(scan(), 0);
  EXPECT_FALSE(utility->ReEnumrationTargetHub(8));
}

}  // namespace
}  // namespace hbx::testing
