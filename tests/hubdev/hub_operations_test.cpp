// The hub operations of CZeltHubDev and CHubUtility against the simulated hubs.
#include <filesystem>
#include <fstream>

#include "hubdev_fixture.h"
#include "sim/hub/hub_config.h"

namespace hbx::testing {
namespace {

using HubOps = HubLayerTest;

std::size_t countOpcode(const std::vector<sim::hub::TraceEntry>& t, std::uint32_t opcode) {
  std::size_t n = 0;
  for (const auto& e : t) n += e.words[1] == 2 && e.words[3] == opcode ? 1 : 0;
  return n;
}

// A name of the field's length or longer is cut to leave its terminator in
// the field; the next field keeps its text.
TEST(HubRecords, LongNamesStayInsideTheirFields) {
  for (std::size_t length : {kNameChars - 1, kNameChars, kNameChars + 40}) {
    SCOPED_TRACE(length);
    DriverInfo info;
    vClearDriverInfo(info);
    vSetField(info.HostControllerName, L"host");
    vSetField(info.RootHubName, std::wstring(length, L'r'));
    EXPECT_EQ(strField(info.RootHubName), std::wstring(kNameChars - 1, L'r'));
    EXPECT_EQ(strField(info.HostControllerName), L"host");
  }
}

TEST_F(HubOps, SignatureMarkingAndReading) {
  const platform::OsHandle h = open(1);
  EXPECT_EQ(utility.bIsSignatureMarked(h), 0);
  ASSERT_EQ(utility.MarkSignatureforIdentify(h, 0x32), 0);
  EXPECT_EQ(chip(1).readRegister(0x07FB, 0), 0x5A);
  EXPECT_EQ(chip(1).readRegister(0x07FC, 0), 0x32);
  EXPECT_EQ(utility.bIsSignatureMarked(h), 1);
  EXPECT_EQ(utility.ucGetSignatureMarked(h), 0x32);
  ASSERT_EQ(utility.WriteSignatureWORD(h, 0xFFFF), 0);
  EXPECT_EQ(utility.bIsSignatureMarked(h), 0);

  EXPECT_EQ(utility.MarkSignatureforIdentify(platform::kInvalidHandle, 1), -10);
  EXPECT_EQ(utility.WriteSignatureWORD(platform::kInvalidHandle, 1), -10);
  EXPECT_EQ(utility.bIsSignatureMarked(platform::kInvalidHandle), 0xF6);
  EXPECT_EQ(utility.ucGetSignatureMarked(platform::kInvalidHandle), 0xF6);
  chip(1).faults() = {0, 1117, 1, 0xFFFFFFFF};
  EXPECT_EQ(utility.bIsSignatureMarked(h), 0xFF);
  EXPECT_EQ(utility.ucGetSignatureMarked(h), 0xFF);
  EXPECT_EQ(utility.MarkSignatureforIdentify(h, 1), -1);
}

// The mark pairs a hub's two connections: one failed write of it, or a hub
// that answers only the older register requests, must not leave it unwritten.
TEST_F(HubOps, MarkSurvivesAFailedWriteAndAHubOfTheOlderRegisterRequests) {
  const platform::OsHandle h = open(1);
  chip(1).faults().completionError = 31;
  chip(1).faults().failFromRequest = chip(1).requestCount() + 3;  // the mark byte, after 0xFFFF
  chip(1).faults().failCount = 1;
  ASSERT_EQ(utility.MarkSignatureforIdentify(h, 0x31), 0);
  EXPECT_EQ(utility.ucGetSignatureMarked(h), 0x31);
  chip(1).faults() = {};
  chip(1).faults().legacyRegistersOnly = true;
  ASSERT_EQ(utility.WriteSignatureWORD(h, 0xFFFF), 0);
  EXPECT_EQ(utility.bIsSignatureMarked(h), 0);
  ASSERT_EQ(utility.MarkSignatureforIdentify(h, 0x32), 0);
  EXPECT_EQ(utility.bIsSignatureMarked(h), 1);
  EXPECT_EQ(utility.ucGetSignatureMarked(h), 0x32);
}

TEST_F(HubOps, VersionBlockAndFamilyCheck) {
  struct Case {
    std::array<std::uint8_t, 3> family;
    bool accepted;
  };
  const Case cases[] = {{{7, 7, 3}, true}, {{9, 6, 3}, true}, {{8, 7, 3}, false}, {{7, 6, 4}, false}};
  for (const Case& c : cases) {
    sim::hub::HubBenchConfig config = sim::hub::oneHubPerFamilyBench();
    config.hubs.resize(1);
    config.hubs[0].familyCode = c.family;
    std::string error;
    auto bench = sim::hub::HubBench::create(config, std::nullopt, error);
    sim::SimDeviceIo io(host.clock(), *bench);
    platform::Ports own{io, ports.hubIo, ports.setupApi, ports.registry, ports.processes,
                        ports.system, ports.files, ports.payloads, ports.clock, ports.windows, ports.digest};
    CHubUtility other(own);
    DriverInfo info{};
    vSetField(info.DeviceObjectName, usb3Object(0));
    EXPECT_EQ(other.bGet763xFWVersion(info), c.accepted) << int(c.family[0]) << int(c.family[1]);
    EXPECT_EQ(info.FWVersion[0], c.accepted ? bench->hubs()[0]->runningVersion()[0] : 0);
    EXPECT_EQ(info.FWVersion[9], c.accepted ? c.family[1] : 0);
  }
  DriverInfo missing{};
  vSetField(missing.DeviceObjectName, L"\\\\.\\NOPE0001");
  EXPECT_FALSE(utility.bGet763xFWVersion(missing));
}

TEST_F(HubOps, RegisterAccessNeedsAScanAndAnOpenHub) {
  CZeltHubDev& dev = hubDev();
  std::uint8_t value = 0;
  ASSERT_EQ(dev.HBX763xAccessRegister(2, &value, 1, 0x5820, 0), 0);
  EXPECT_EQ(value, 0x21);
  chip(2).faults().openError = 5;
  EXPECT_EQ(dev.HBX763xAccessRegister(2, &value, 1, 0x5820, 0), -1);
  EXPECT_EQ(dev.HBX763xReset(2, 1), -4);
  dev.m_DriverNum = 0;
  bench().clearTrace();
  EXPECT_EQ(dev.HBX763xAccessRegister(0, &value, 1, 0x5820, 0), -4);
  EXPECT_EQ(dev.HBX763xReset(0, 0), -4);
  EXPECT_TRUE(trace().empty());
}

TEST_F(HubOps, BlockEraseErasesBothPartsAndPollsEach) {
  CZeltHubDev& dev = hubDev();
  ASSERT_EQ(dev.HBX763xBlockErase(2, 1), 0);
  const auto t = trace();
  std::vector<std::uint32_t> erases;
  bool polledAfterEach = true;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].words[3] != 'W') continue;
    erases.push_back(t[i].words[4]);
    polledAfterEach = polledAfterEach && i + 1 < t.size() && t[i + 1].words[3] == 'R' && t[i + 1].words[5] == 0x07FF;
  }
  EXPECT_EQ(erases, (std::vector<std::uint32_t>{0x001, 0x101}));
  EXPECT_TRUE(polledAfterEach);
  const std::uint8_t* image1 = chip(2).flash().image(1);
  EXPECT_TRUE(std::all_of(image1, image1 + 0x10000, [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_NE(chip(2).flash().image(0)[4], 0xFF) << "image 0 untouched";

  dev.m_DriverInfo[3].DeviceObjectName[0] = 0;
  EXPECT_EQ(dev.HBX763xBlockErase(3, 0), -10);
}

class TimedHubOps : public HubLayerTest {
 protected:
  TimedHubOps() : HubLayerTest(0) {}
};

TEST_F(TimedHubOps, ErasePollTimesOutByTheWholeSecondClock) {
  CZeltHubDev& dev = hubDev();
  chip(0).flash().setImage(0, std::vector<std::uint8_t>(0x10000, 0x00));
  chip(0).faults().eraseNeverFinishes = true;
  const auto before = virtualMs();
  EXPECT_EQ(dev.HBX763xBlockErase(0, 0), -1) << "an erase that never finishes is a failure";
  const auto elapsed = virtualMs() - before;
  EXPECT_GE(elapsed, 3000);
  EXPECT_LE(elapsed, 5500);
  const auto t = trace();
  EXPECT_EQ(countOpcode(t, 'W'), 1u) << "part 1 is not erased after a time-out";
  // Polled every 100 ms; at a small time scale each sleep overshoots a little.
  EXPECT_GE(countOpcode(t, 'R'), 10u);
  EXPECT_EQ(chip(0).flash().image(0)[0x7FFF], 0xFF);
  EXPECT_EQ(chip(0).flash().image(0)[0x8000], 0x00) << "part 1 kept its content";
}

TEST_F(TimedHubOps, ConfigurationIsNotWrittenOverAnImageThatWasNotErased) {
  hubDev();
  chip(0).flash().setImage(0, std::vector<std::uint8_t>(0x10000, 0x00));
  chip(0).faults().eraseNeverFinishes = true;
  std::array<std::uint8_t, 256> table{};
  table.fill(0x5A);
  EXPECT_FALSE(utility.vWrRdConfiguration(0, 1, table.data(), 0, 1));
  EXPECT_EQ(countOpcode(trace(), 'Q'), 0u) << "no download after a failed erase";
}

TEST_F(HubOps, ConfigurationRoundTripThroughFlash) {
  hubDev();
  std::array<std::uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(0xA5 ^ i);
  for (std::uint8_t image : {0, 1}) {
    ASSERT_TRUE(utility.vWrRdConfiguration(1, 1, table.data(), image, 1));
    std::array<std::uint8_t, 256> back{};
    ASSERT_TRUE(utility.vWrRdConfiguration(1, 0, back.data(), image, 1));
    EXPECT_EQ(back, table) << int(image);
  }
  // A read answered with one byte fewer than asked is a failed read.
  std::array<std::uint8_t, 256> shortBack{};
  chip(1).faults().shortReplyAtRequest.request = chip(1).requestCount() + 1;
  EXPECT_FALSE(utility.vWrRdConfiguration(1, 0, shortBack.data(), 0, 1));
  chip(1).faults() = {};
  // Without the variant flag image 1 is used whatever is asked.
  bench().clearTrace();
  std::array<std::uint8_t, 256> back{};
  ASSERT_TRUE(utility.vWrRdConfiguration(1, 0, back.data(), 0, 0));
  const auto t = trace();
  ASSERT_EQ(t.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(t[i].words, (std::array<std::uint32_t, 6>{2500, 2, 0, 'e', 1, 32 * static_cast<std::uint32_t>(i)}));
  }
}

TEST_F(HubOps, WritingWithoutEraseCorruptsTheTable) {
  CZeltHubDev& dev = hubDev();
  std::array<std::uint8_t, 256> table{};
  table.fill(0x5A);
  ASSERT_EQ(dev.HBX763xConfigWrite(0, table.data(), 0, 1), 0);
  std::array<std::uint8_t, 256> back{};
  ASSERT_EQ(dev.HBX763xConfigRead(0, back.data(), 256, 0, 1), 0);
  EXPECT_NE(back, table);
  EXPECT_GT(chip(0).notErasedWrites(), 0u);
  EXPECT_EQ(dev.HBX763xConfigRead(0, back.data(), 20, 0, 1), -10);
}

class FirmwareTest : public HubLayerTest {
 protected:
  std::wstring writeFile(const std::wstring& name, const std::vector<std::uint8_t>& bytes) {
    const std::wstring path = L"C:\\HBX\\" + name;
    std::ofstream out(host.hostPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
};

TEST_F(FirmwareTest, FirmwareRoundTripAndBoot) {
  CZeltHubDev& dev = hubDev();
  const std::array<std::uint8_t, 6> version{0x25, 0x06, 0x30, 0x25, 0x02, 0x01};
  const auto area = sim::hub::makeFirmwareArea(version, 0x6000);
  const std::wstring path = writeFile(L"fw.bin", area);
  ASSERT_EQ(dev.HBX763xBlockErase(2, 0), 0);
  bench().clearTrace();
  ASSERT_EQ(dev.HBX763xFirmwareWrite(2, path, 0, 1), 0);
  EXPECT_EQ(countOpcode(trace(), 'P'), (area.size() + 31) / 32);

  std::vector<std::uint8_t> back(65536, 0xEE);
  ASSERT_EQ(dev.HBX763xFirmwareRead(2, back.data(), 65536, 0, 1), 0);
  EXPECT_TRUE(std::equal(area.begin(), area.end(), back.begin()));
  const std::size_t readBytes = (0x6000 + 32 + 31) / 32 * 32;
  EXPECT_NE(back[readBytes - 1], 0xEE);
  EXPECT_EQ(back[readBytes], 0xEE) << "nothing past the firmware area is written";

  // The firmware area needs more room than offered: refused, nothing written.
  std::vector<std::uint8_t> small(readBytes - 1, 0xEE);
  EXPECT_EQ(dev.HBX763xFirmwareRead(2, small.data(), static_cast<std::uint32_t>(small.size()), 0, 1), -1);
  EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](std::uint8_t b) { return b == 0xEE; }));

  bench().powerCycle(host.clock().performanceCounter());
  EXPECT_EQ(chip(2).running(), sim::hub::Running::Image0);
  EXPECT_EQ(chip(2).runningVersion(), version);
}

TEST_F(FirmwareTest, FirmwareLengthLimits) {
  CZeltHubDev& dev = hubDev();
  std::vector<std::uint8_t> back(65536);
  struct Case {
    std::uint16_t length;
    int want;
  };
  for (const Case c : {Case{0x4FFF, -1}, Case{0x5000, 0}, Case{0xFFFF, -1}}) {
    std::vector<std::uint8_t> image(0x10000, 0xFF);
    image[256] = static_cast<std::uint8_t>(c.length);
    image[257] = static_cast<std::uint8_t>(c.length >> 8);
    chip(3).flash().setImage(1, image);
    EXPECT_EQ(dev.HBX763xFirmwareRead(3, back.data(), 65536, 1, 1), c.want) << std::hex << c.length;
  }
  // 0xFFFE is valid but its area runs past the image: the hub reads 0xFF there.
  std::vector<std::uint8_t> image(0x10000, 0xFF);
  image[256] = 0xFE;
  chip(3).flash().setImage(1, image);
  // The read stops at the end of the image: 0xFF00 bytes from byte 256.
  EXPECT_EQ(dev.HBX763xFirmwareRead(3, back.data(), 65536, 1, 1), 0) << "reads stop at the image's end";

  struct FileCase {
    std::size_t size;
    int want;
    std::size_t packets;
  };
  for (const FileCase c : {FileCase{65536, 0, 2048}, FileCase{65537, -1, 0}}) {
    const std::wstring path = writeFile(L"big.bin", std::vector<std::uint8_t>(c.size, 0x00));
    bench().clearTrace();
    EXPECT_EQ(dev.HBX763xFirmwareWrite(3, path, 0, 1), c.want) << c.size;
    EXPECT_EQ(countOpcode(trace(), 'P'), c.packets) << c.size;
  }
  EXPECT_EQ(dev.HBX763xFirmwareWrite(3, L"C:\\HBX\\missing.bin", 0, 1), -1);
}

TEST_F(HubOps, CpuResetDispatch) {
  hubDev();
  bench().clearTrace();
  EXPECT_EQ(utility.vCPURST(1, 0), 0);
  ASSERT_EQ(trace().size(), 1u);
  EXPECT_EQ(trace()[0].words[3], static_cast<std::uint32_t>('T'));
  EXPECT_FALSE(chip(1).present(host.clock().performanceCounter())) << "off the bus while it restarts";
}

}  // namespace
}  // namespace hbx::testing
