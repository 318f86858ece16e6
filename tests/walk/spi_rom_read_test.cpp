// Reading a hub's image back, and finding the hub's device object again by
// its position when the table cannot be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <vector>

#include "tests/walk/walk_fixture.h"

namespace hbx::testing {
namespace {

constexpr std::size_t kRomBytes = 0xFF00;

class RomReadTest : public WalkTest {
 protected:
  void SetUp() override {
    start(topologyBench());
    utility->m_strVID_Indetify = L"2E8B";
    ASSERT_EQ(scan(), 0);
  }
  // The image as the hub layer reads it directly.
  std::vector<std::uint8_t> direct(std::uint8_t index) {
    std::vector<std::uint8_t> rom(kRomBytes, 0);
    EXPECT_EQ(hubDev().HBX763xConfigRead(index, rom.data(), 256, 0, 1), 0);
    EXPECT_EQ(hubDev().HBX763xFirmwareRead(index, rom.data() + 256, kRomBytes - 256, 0, 1), 0);
    return rom;
  }
};

TEST_F(RomReadTest, ReadsTheTableAndTheFirmwareArea) {
  std::vector<std::uint8_t> rom(kRomBytes, 0);
  ASSERT_TRUE(utility->bReadSPIROM(0, rom.data(), 0, 1));
  EXPECT_EQ(rom, direct(0));
}

TEST_F(RomReadTest, StaleDeviceObjectIsFoundAgainByPosition) {
  // Entry 0 sits on a root-hub port, entry 1 behind another hub.
  for (std::uint8_t index : {0, 1}) {
    SCOPED_TRACE(index);
    const std::wstring object = list.Devs[index].m_strObjectName;
    list.Devs[index].m_strObjectName = L"\\\\.\\USBPDO_GONE0001";
    clock->takeSleeps();
    std::vector<std::uint8_t> rom(kRomBytes, 0);
    ASSERT_TRUE(utility->bReadSPIROM(index, rom.data(), 0, 1));
    EXPECT_EQ(list.Devs[index].m_strObjectName, object);
    EXPECT_EQ(rom, direct(index));
    EXPECT_EQ(clock->takeSleeps(), (std::vector<std::uint32_t>{5000, 500, 500}));
    EXPECT_NE(debugLog().find(nformat("HBX763xConfigRead Failed[%d] , Retry[0]", index)), std::string::npos);
  }
}

// The walk that finds the hub again runs under the walk lock, so that hubs
// read back at once (or a re-enumeration) never walk the list together:
// while another walk holds the lock, the read-back waits for it.
TEST_F(RomReadTest, FindingTheHubAgainWaitsForTheWalkLock) {
  list.Devs[0].m_strObjectName = L"\\\\.\\USBPDO_GONE0001";
  std::unique_lock<std::mutex> walking(utility->m_EnumCriticalSection);
  std::vector<std::uint8_t> rom(kRomBytes, 0);
  std::future<bool> read = std::async(std::launch::async, [&] { return utility->bReadSPIROM(0, rom.data(), 0, 1); });
  EXPECT_EQ(read.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
      << "the hub list was walked while another walk held the lock";
  walking.unlock();
  EXPECT_TRUE(read.get());
}

TEST_F(RomReadTest, HubNotFoundAgainFailsAfterThreeAttempts) {
  list.Devs[0].m_strObjectName = L"\\\\.\\USBPDO_GONE0001";
  list.Devs[0].m_ucOldPositionIndex = 77;
  clock->takeSleeps();
  std::vector<std::uint8_t> rom(kRomBytes, 0);
  EXPECT_FALSE(utility->bReadSPIROM(0, rom.data(), 0, 1));
  const std::vector<std::uint32_t> sleeps = clock->takeSleeps();
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 5000u), 3);
  EXPECT_EQ(sleeps.back(), 500u);
}

TEST_F(RomReadTest, FirmwareLengthBeyondTheBufferIsRefusedNotWrittenPast) {
  // A blank image 0: the length bytes read 0xFFFF.
  withChip("top", [](sim::hub::HubChip& hub) { hub.flash().setImage(0, std::vector<std::uint8_t>(0x8000, 0xFF)); });
  std::vector<std::uint8_t> rom(kRomBytes, 0);
  clock->takeSleeps();
  EXPECT_FALSE(utility->bReadSPIROM(0, rom.data(), 0, 1));
  EXPECT_EQ(clock->takeSleeps(), (std::vector<std::uint32_t>{5000, 500}));
  EXPECT_NE(debugLog().find("HBX763xFirmwareRead Failed[0] , Retry[0]"), std::string::npos);
}

}  // namespace
}  // namespace hbx::testing
