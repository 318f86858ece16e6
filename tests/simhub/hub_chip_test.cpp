// The simulated hub chip on its own: request decoding, registers, flash and boot.
#include "sim/hub/hub_chip.h"

#include <gtest/gtest.h>

#include <vector>

#include "hub/device/filter_protocol.h"

namespace hbx::sim::hub {
namespace {

constexpr Ticks kMs = 10'000;

class HubChipTest : public ::testing::Test {
 protected:
  HubChip chip{defaultHubBench().hubs[2]};  // HBX773x, chip type 2

  Reply send(std::uint32_t code, const filter::Header& h, std::vector<std::uint8_t> payload = {},
             std::uint8_t* out = nullptr, std::uint32_t outLength = 0, Ticks now = 0) {
    std::vector<std::uint8_t> in(filter::kHeaderSize);
    filter::encodeHeader(h, in.data());
    in.insert(in.end(), payload.begin(), payload.end());
    return chip.request(Connection::Usb3, code, in.data(), static_cast<std::uint32_t>(in.size()), out, outLength, now);
  }
  Reply writeReg(std::uint16_t address, std::uint8_t value, Ticks now = 0) {
    return send(filter::kIoctlVendorOut, filter::Header::vendor(filter::op::kRegisterWrite, value, address), {value},
                nullptr, 0, now);
  }
  Reply packet(std::uint32_t opcode, std::uint32_t image, std::uint32_t total, std::uint8_t fill) {
    return send(filter::kIoctlVendorOut, filter::Header::vendor(opcode, image, total),
                std::vector<std::uint8_t>(filter::kPacketData, fill));
  }
};

TEST_F(HubChipTest, BootsTheFirstValidImageElseRom) {
  const std::array<std::uint8_t, 6> v0{1, 2, 3, 0x25, 5, 6}, v1{9, 8, 7, 0x25, 5, 4};
  struct Case {
    const char* name;
    int breakImage0;  // 0 none, 1 checksum, 2 marker, 3 length too small, 4 length 0xFFFF
    bool image1Valid;
    Running want;
  };
  const Case cases[] = {
      {"image 0 valid", 0, true, Running::Image0},     {"bad checksum", 1, true, Running::Image1},
      {"marker of another chip", 2, true, Running::Image1}, {"length 0x4FFF", 3, true, Running::Image1},
      {"erased length", 4, false, Running::Rom},
  };
  for (const Case& c : cases) {
    auto image0 = makeImage(v0);
    if (c.breakImage0 == 1) image0[258 + 0x5000 + 1] ^= 1;
    if (c.breakImage0 == 2) image0[258 + 0x5000] = 0xAA;
    if (c.breakImage0 == 3) image0[256] = 0xFF, image0[257] = 0x4F;
    if (c.breakImage0 == 4) image0[256] = image0[257] = 0xFF;
    chip.flash().setImage(0, image0);
    chip.flash().setImage(1, c.image1Valid ? makeImage(v1) : std::vector<std::uint8_t>{});
    chip.powerOff();
    chip.powerOn(0);
    EXPECT_EQ(chip.running(), c.want) << c.name;
    const auto& want = c.want == Running::Image0 ? v0 : c.want == Running::Image1 ? v1 : chip.config().romVersion;
    for (std::uint16_t i = 0; i < 6; ++i) EXPECT_EQ(chip.readRegister(0x07F0 + i, 0), want[i]) << c.name;
    EXPECT_EQ(chip.readRegister(0x07F8, 0), 7) << c.name;  // family code 7, 7, 3
    EXPECT_EQ(chip.readRegister(0x07F9, 0), 7) << c.name;
    EXPECT_EQ(chip.readRegister(0x07FA, 0), 3) << c.name;
  }
}

TEST_F(HubChipTest, FlashHasNorSemantics) {
  // Erase image 1 part 0, program a configuration table, then program over it.
  ASSERT_EQ(send(filter::kIoctlVendorOut, filter::Header::vendor(filter::op::kErase, 0x0001, 0)).error, 0u);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(packet(filter::op::kConfigWrite, 1, 256, 0xF0).error, 0u);
  EXPECT_EQ(chip.flash().image(1)[0], 0xF0);
  EXPECT_EQ(chip.flash().image(1)[256], 0xFF) << "a configuration download stops at 256 bytes";
  EXPECT_EQ(chip.notErasedWrites(), 0u);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(packet(filter::op::kConfigWrite, 1, 256, 0x0F).error, 0u);
  EXPECT_EQ(chip.flash().image(1)[0], 0x00) << "programming only clears bits";
  EXPECT_EQ(chip.notErasedWrites(), 256u);
  EXPECT_EQ(chip.flash().image(1)[0x8000], chip.flash().image(0)[0x8000]) << "part 1 was not erased";
}

TEST_F(HubChipTest, FirmwareDownloadProgramsFromOffset256AndKeepsWhatWasSentWhenStopped) {
  send(filter::kIoctlVendorOut, filter::Header::vendor(filter::op::kErase, 0x0000, 0));
  send(filter::kIoctlVendorOut, filter::Header::vendor(filter::op::kErase, 0x0100, 0));
  for (int i = 0; i < 3; ++i) ASSERT_EQ(packet(filter::op::kFirmwareWrite, 0, 0x5004, 0x11).error, 0u);
  EXPECT_EQ(chip.flash().image(0)[255], 0xFF);
  EXPECT_EQ(chip.flash().image(0)[256], 0x11);
  EXPECT_EQ(chip.flash().image(0)[256 + 95], 0x11);
  EXPECT_EQ(chip.flash().image(0)[256 + 96], 0xFF);
  // A packet whose total length differs mid-download is refused.
  const Reply changed = packet(filter::op::kFirmwareWrite, 0, 0x6000, 0x22);
  EXPECT_TRUE(changed.immediate);
  EXPECT_NE(changed.error, 0u);
}

TEST_F(HubChipTest, RefusesMalformedRequests) {
  std::uint8_t out[64] = {};
  struct Case {
    const char* name;
    std::uint32_t code;
    filter::Header header;
    std::size_t payload;
    std::uint32_t outLength;
  };
  const Case cases[] = {
      {"register write without data", filter::kIoctlVendorOut, filter::Header::vendor('S', 1, 0x3000), 0, 0},
      {"register write of 33 bytes", filter::kIoctlVendorOut, filter::Header::vendor('S', 1, 0x3000), 33, 0},
      {"register read of 33 bytes", filter::kIoctlVendorIn, filter::Header::vendor('R', 0, 0x3000), 0, 33},
      {"register read with reply 0", filter::kIoctlVendorIn, filter::Header::vendor('R', 0, 0x3000), 0, 0},
      {"unknown opcode", filter::kIoctlVendorOut, filter::Header::vendor('Z', 0, 0), 0, 0},
      {"request kind 3 on a vendor code", filter::kIoctlVendorOut, filter::Header{2500, 3, 0, 'T', 0, 0}, 0, 0},
      {"download packet of 55 bytes", filter::kIoctlVendorOut, filter::Header::vendor('Q', 0, 256), 31, 0},
      {"configuration of 512 bytes", filter::kIoctlVendorOut, filter::Header::vendor('Q', 0, 512), 32, 0},
      {"image 2", filter::kIoctlVendorIn, filter::Header::vendor('U', 2, 0), 0, 32},
      {"erase of part 2", filter::kIoctlVendorOut, filter::Header::vendor('W', 0x200, 0), 0, 0},
      {"word opcode on another register", filter::kIoctlVendorIn, filter::Header::vendor('@', 0, 0x6401), 0, 2},
      {"generic request with payload", filter::kIoctlGeneric, filter::Header::generic(1, 0, 0), 4, 18},
      {"unknown control code", 0x00222018, filter::Header::vendor('R', 0, 0), 0, 1},
  };
  for (const Case& c : cases) {
    const Reply r = send(c.code, c.header, std::vector<std::uint8_t>(c.payload, 0x5A), out, c.outLength);
    EXPECT_NE(r.error, 0u) << c.name;
    EXPECT_TRUE(r.immediate) << c.name;
  }
}

TEST_F(HubChipTest, EraseStatusReadsZeroWhileTheEraseRuns) {
  const Ticks erase = static_cast<Ticks>(chip.config().eraseMs) * kMs;
  EXPECT_EQ(chip.readRegister(0x07FF, 0), 1);
  send(filter::kIoctlVendorOut, filter::Header::vendor(filter::op::kErase, 0, 0), {}, nullptr, 0, 100 * kMs);
  EXPECT_EQ(chip.readRegister(0x07FF, 100 * kMs), 0);
  EXPECT_EQ(chip.readRegister(0x07FF, 100 * kMs + erase - 1), 0);
  EXPECT_EQ(chip.readRegister(0x07FF, 100 * kMs + erase), 1);

  chip.faults().eraseNeverFinishes = true;
  send(filter::kIoctlVendorOut, filter::Header::vendor(filter::op::kErase, 1, 0), {}, nullptr, 0, 0);
  EXPECT_EQ(chip.readRegister(0x07FF, 3'600'000 * kMs), 0);
}

TEST_F(HubChipTest, CpuResetNeedsStartPositionZeroAndTakesTheHubOffTheBus) {
  EXPECT_EQ(writeReg(0x5810, 1).error, 0u) << "start position not 0: no reset";
  EXPECT_TRUE(chip.present(0));
  writeReg(0x07FB, 0x5A);
  ASSERT_EQ(writeReg(0x5846, 0).error, 0u);
  EXPECT_NE(writeReg(0x5810, 1, 10 * kMs).error, 0u) << "the hub restarts before the write completes";
  EXPECT_FALSE(chip.present(10 * kMs));
  EXPECT_TRUE(chip.present(10 * kMs + static_cast<Ticks>(chip.config().offBusMs) * kMs));
  EXPECT_EQ(chip.readRegister(0x07FB, 0), 0xFF) << "registers start over";
  EXPECT_EQ(chip.readRegister(0x5846, 0), 0x80);
}

TEST_F(HubChipTest, RegistersOfTheTable) {
  std::uint8_t out[4] = {};
  // 0x6400 is a word: '@' writes both bytes.
  ASSERT_EQ(send(filter::kIoctlVendorOut, filter::Header::vendor('@', 0x1234, 0x6400), {0x34, 0x12}).error, 0u);
  ASSERT_EQ(send(filter::kIoctlVendorIn, filter::Header::vendor('@', 0, 0x6400), {}, out, 2).bytes, 2u);
  EXPECT_EQ(out[0], 0x34);
  EXPECT_EQ(out[1], 0x12);
  // Writes to read-only and unknown registers are ignored; unknown ones read 0.
  writeReg(0x5820, 0x00);
  writeReg(0x1234, 0x55);
  EXPECT_EQ(chip.readRegister(0x5820, 0), 0x21);
  EXPECT_EQ(chip.readRegister(0x1234, 0), 0x00);
  writeReg(0x3601, 0x85);
  EXPECT_EQ(chip.readRegister(0x3601, 0), 0x85);
}

TEST_F(HubChipTest, DescriptorsPerConnection) {
  std::uint8_t d[18] = {};
  std::vector<std::uint8_t> in(filter::kHeaderSize);
  filter::encodeHeader(filter::Header::generic(1, 0, 0), in.data());
  ASSERT_EQ(chip.request(Connection::Usb2, filter::kIoctlGeneric, in.data(), 24, d, 18, 0).bytes, 18u);
  EXPECT_EQ(d[2] | (d[3] << 8), 0x0210);
  EXPECT_EQ(d[10] | (d[11] << 8), chip.config().usb2->pid);
  EXPECT_EQ(d[16], 3) << "the hub has a serial number";

  std::uint8_t s[64] = {};
  filter::encodeHeader(filter::Header::generic(3, 0, 0), in.data());
  ASSERT_EQ(chip.request(Connection::Usb3, filter::kIoctlGeneric, in.data(), 24, s, 4, 0).bytes, 4u);
  EXPECT_EQ(s[2] | (s[3] << 8), 0x0409);
  filter::encodeHeader(filter::Header::generic(3, 2, 0x0409), in.data());
  const Reply r = chip.request(Connection::Usb3, filter::kIoctlGeneric, in.data(), 24, s, 64, 0);
  ASSERT_EQ(r.bytes, 2u + 2 * 7);
  EXPECT_EQ(s[1], 3);
  EXPECT_EQ(s[2], 'C');
  EXPECT_EQ(s[3], 0);
  filter::encodeHeader(filter::Header::generic(3, 9, 0x0409), in.data());
  EXPECT_NE(chip.request(Connection::Usb3, filter::kIoctlGeneric, in.data(), 24, s, 64, 0).error, 0u)
      << "no string 9";
}

TEST(DeviceObjectName, FollowsThePhysicalDeviceObject) {
  EXPECT_EQ(deviceObjectNameFor(L"\\Device\\PDO-12"), L"\\\\.\\PDO_120001");
  EXPECT_EQ(deviceObjectNameFor(L"\\Device\\USB-PDO-7"), L"\\\\.\\USB_PDO_70001");
}

}  // namespace
}  // namespace hbx::sim::hub
