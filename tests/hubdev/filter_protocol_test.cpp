// CZELTFILTER0 against the simulated filter driver: the bytes of each request
// and the result codes.
#include <cstring>
#include <thread>

#include "hub/device/in_flight_requests.h"
#include "hubdev_fixture.h"

namespace hbx::testing {
namespace {

using Protocol = HubLayerTest;

TEST_F(Protocol, DownloadsAreSentAsPacketsThatCarryTheWholeLength) {
  struct Case {
    std::uint32_t length;
    std::uint8_t opcode;
    std::uint8_t image;
    std::size_t packets;
  };
  const Case cases[] = {{256, 'Q', 1, 8}, {32768, 'P', 0, 1024}, {40, 'P', 0, 2}};
  const platform::OsHandle h = open(2);
  for (const Case& c : cases) {
    bench().clearTrace();
    std::vector<std::uint8_t> data(c.length);
    for (std::uint32_t i = 0; i < c.length; ++i) data[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(filter.DownLoadCMD(h, data.data(), c.length, c.opcode, c.image), 0) << c.length;
    const auto t = trace();
    ASSERT_EQ(t.size(), c.packets) << c.length;
    for (std::size_t i = 0; i < t.size(); ++i) {
      EXPECT_EQ(t[i].code, filter::kIoctlVendorOut);
      EXPECT_EQ(t[i].inLength, 56u);
      EXPECT_EQ(t[i].words, (std::array<std::uint32_t, 6>{2500, 2, 0, c.opcode, c.image, c.length})) << i;
      EXPECT_EQ(t[i].payload[0], static_cast<std::uint8_t>(32 * i));
    }
  }
  // The unused bytes of a last, partial packet read as erased flash.
  const auto last = trace().back().payload;
  EXPECT_EQ(last[7], 39);
  for (std::size_t i = 8; i < 32; ++i) EXPECT_EQ(last[i], 0xFF) << i;

  bench().clearTrace();
  EXPECT_EQ(filter.DownLoadCMD(h, nullptr, 0, 'P', 0), filter::rc::kBadArgument);
  EXPECT_TRUE(trace().empty()) << "nothing is sent for an empty download";
}

TEST_F(Protocol, RegisterRequests) {
  const platform::OsHandle h = open(0);
  std::uint8_t buffer[33] = {};
  EXPECT_EQ(filter.RegisterReadWriteCmd(h, buffer, 33, 0x07F0, 0), filter::rc::kBadArgument);
  EXPECT_TRUE(trace().empty()) << "a 33-byte read is refused before anything is sent";
  EXPECT_EQ(filter.RegisterReadWriteCmd(h, buffer, 32, 0x07F0, 0), 0);
  EXPECT_EQ(buffer[8], 7);

  bench().clearTrace();
  std::uint8_t word[2] = {0x34, 0x12};
  ASSERT_EQ(filter.RegisterReadWriteCmd(h, word, 2, 0x6400, 1), 0);
  std::uint8_t back[2] = {};
  ASSERT_EQ(filter.RegisterReadWriteCmd(h, back, 2, 0x6400, 0), 0);
  EXPECT_EQ(back[0], 0x34);
  EXPECT_EQ(back[1], 0x12);
  std::uint8_t one = 0x85;
  ASSERT_EQ(filter.RegisterReadWriteCmd(h, &one, 1, 0x3601, 1, 200), 0);
  const auto t = trace();
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].words, (std::array<std::uint32_t, 6>{2500, 2, 0, 0x40, 0x1234, 0x6400}));
  EXPECT_EQ(t[0].inLength, 26u);
  EXPECT_EQ(t[1].code, filter::kIoctlVendorIn);
  EXPECT_EQ(t[1].words, (std::array<std::uint32_t, 6>{2500, 2, 0, 0x40, 0, 0x6400}));
  EXPECT_EQ(t[2].words, (std::array<std::uint32_t, 6>{200, 2, 0, 'S', 0x85, 0x3601}));
  EXPECT_EQ(chip(0).readRegister(0x3601, 0), 0x85);
}

TEST_F(Protocol, ARegisterReplyOneByteShortIsAFailure) {
  // The chip type and the version come from register reads: a short reply
  // must never pass as a value of the register.
  struct Case {
    const char* name;
    int hub;
    std::uint32_t length;
    std::uint16_t address;
    bool olderSet;
  };
  const Case cases[] = {
      {"one byte", 0, 1, 0x5820, false},
      {"version block", 1, 16, 0x07F0, false},
      {"older command set", 2, 16, 0x07F0, true},
  };
  for (const Case& c : cases) {
    sim::hub::FaultAim firstRegisterRequest;
    firstRegisterRequest.phase = sim::hub::Phase::Register;
    chip(c.hub).faults().shortReplyAtRequest = firstRegisterRequest;
    chip(c.hub).faults().legacyRegistersOnly = c.olderSet;
    const platform::OsHandle h = open(c.hub);
    std::uint8_t buffer[16];
    std::memset(buffer, 0xA5, sizeof buffer);
    const int result = c.olderSet ? filter.RegisterReadWriteCmdOld(h, buffer, static_cast<std::uint8_t>(c.length), c.address, 0)
                                  : filter.RegisterReadWriteCmd(h, buffer, c.length, c.address, 0);
    EXPECT_EQ(result, filter::rc::kFailed) << c.name;
    for (std::uint32_t i = 0; i < c.length; ++i) EXPECT_EQ(buffer[i], 0xA5) << c.name << " byte " << i;
    // The next read is whole again and succeeds.
    const int again = c.olderSet ? filter.RegisterReadWriteCmdOld(h, buffer, static_cast<std::uint8_t>(c.length), c.address, 0)
                                 : filter.RegisterReadWriteCmd(h, buffer, c.length, c.address, 0);
    EXPECT_EQ(again, 0) << c.name;
  }
}

TEST_F(Protocol, ResultCodes) {
  struct Case {
    const char* name;
    sim::hub::FaultConfig faults;
    bool eventsFail;
    int want;
  };
  const Case cases[] = {
      {"error 31 at once", {31, 0, 1, 0xFFFFFFFF}, false, filter::rc::kGenFailure},
      {"another error at once", {5, 0, 1, 0xFFFFFFFF}, false, filter::rc::kFailed},
      {"failed completion", {0, 1117, 1, 0xFFFFFFFF}, false, filter::rc::kFailed},
      {"no event", {}, true, filter::rc::kNoEvent},
  };
  const platform::OsHandle h = open(1);
  std::uint8_t reply[32] = {};
  std::uint8_t in[24] = {};
  filter::encodeHeader(filter::Header::vendor('R', 0, 0x5820), in);
  for (const Case& c : cases) {
    chip(1).faults() = c.faults;
    host.deviceIo().setEventCreationFails(c.eventsFail);
    std::uint32_t count = 99;
    EXPECT_EQ(CZELTFILTER0::IO_Sync(ports.deviceIo, h, filter::kIoctlVendorIn, in, 24, reply, 1, &count), c.want)
        << c.name;
    EXPECT_EQ(count, 0u) << c.name;
  }
  host.deviceIo().setEventCreationFails(false);
  chip(1).faults() = {0, 1117, 1, 0xFFFFFFFF};
  EXPECT_EQ(filter.SPIBlockEraseCmd(h, 0, 0), filter::rc::kFailed);
  EXPECT_EQ(filter.SendCpuResetByFilterDriver(h, 0), filter::rc::kFailed);
  chip(1).faults() = {};

  // A zero handle is refused by every operation before anything is sent.
  bench().clearTrace();
  const platform::OsHandle zero = platform::kNullHandle;
  std::uint8_t d[18];
  EXPECT_EQ(filter.Get_Descriptor(zero, d, 18), -10);
  EXPECT_EQ(filter.Get_StringDescriptor(zero, d, 8, 1), -10);
  EXPECT_EQ(filter.RegisterReadWriteCmd(zero, d, 1, 0x3000, 0), -10);
  EXPECT_EQ(filter.RegisterReadWriteCmdOld(zero, d, 1, 0x3000, 0), -10);
  EXPECT_EQ(filter.ReadConfigFWCmd(zero, d, 16, 0, 0, 1), -10);
  EXPECT_EQ(filter.DownLoadCMD(zero, d, 16, 'Q', 0), -10);
  EXPECT_EQ(filter.SPIBlockEraseCmd(zero, 0, 0), -10);
  EXPECT_EQ(filter.SendCpuResetByFilterDriver(zero, 1), -10);
  EXPECT_EQ(filter.Get_Descriptor(h, d, 17), -10) << "buffer too small";
  EXPECT_TRUE(trace().empty());
}

// A request the driver never completes is given up after 10 s: cancelled,
// its cancelled completion collected, and failed; the run's cancel of every
// request in flight still ends it at once. Either way the handle takes the
// next request.
TEST_F(Protocol, ARequestThatNeverCompletesFailsAtItsLimitOrAtTheRunsCancel) {
  struct Case {
    const char* name;
    int hub;  // a hub of its own: the fault is aimed at the hub's first request
    std::int64_t cancelAfterMs;
    std::int64_t endsAfterMs;
  };
  // The run's cancel long after the limit frees a wait that has none.
  const Case cases[] = {{"given up at its limit", 0, 30000, 10000}, {"cancelled by the run", 1, 1500, 1500}};
  std::uint8_t in[24] = {};
  filter::encodeHeader(filter::Header::vendor('R', 0, 0x5820), in);
  for (const Case& c : cases) {
    const platform::OsHandle h = open(c.hub);
    sim::hub::FaultAim firstRegisterRequest;
    firstRegisterRequest.phase = sim::hub::Phase::Register;
    chip(c.hub).faults().stuckAtRequest = firstRegisterRequest;
    std::thread canceller([&] {
      ports.clock.sleepMs(static_cast<std::uint32_t>(c.cancelAfterMs));
      inFlightRequests().cancelAll(ports.deviceIo);
    });
    const std::int64_t started = virtualMs();
    std::uint8_t reply[1] = {};
    std::uint32_t count = 99;
    EXPECT_EQ(CZELTFILTER0::IO_Sync(ports.deviceIo, h, filter::kIoctlVendorIn, in, 24, reply, 1, &count),
              filter::rc::kFailed) << c.name;
    const std::int64_t took = virtualMs() - started;
    canceller.join();
    inFlightRequests().resume();
    EXPECT_EQ(count, 0u) << c.name;
    EXPECT_GE(took, c.endsAfterMs) << c.name;
    EXPECT_LE(took, c.endsAfterMs + 20) << c.name;
    EXPECT_EQ(CZELTFILTER0::IO_Sync(ports.deviceIo, h, filter::kIoctlVendorIn, in, 24, reply, 1, &count), 0) << c.name;
  }
}

TEST_F(Protocol, Descriptors) {
  const platform::OsHandle h = open(2);
  std::uint8_t d[18] = {};
  ASSERT_EQ(filter.Get_Descriptor(h, d, 18), 0);
  EXPECT_EQ(d[8] | (d[9] << 8), 0x2E8B);
  EXPECT_EQ(d[10] | (d[11] << 8), chip(2).config().usb3->pid);

  std::uint8_t text[200];
  std::memset(text, 0, sizeof text);
  ASSERT_EQ(filter.Get_StringDescriptor(h, text, 44, d[15]), 0);
  EXPECT_STREQ(reinterpret_cast<char*>(text), "HBX773x Hub");
  // More than 128 characters are never asked: the reply buffer holds 256 bytes.
  bench().clearTrace();
  std::memset(text, 0, sizeof text);
  ASSERT_EQ(filter.Get_StringDescriptor(h, text, 200, d[14]), 0);
  EXPECT_STREQ(reinterpret_cast<char*>(text), "Corvane");
  EXPECT_EQ(trace().back().outLength, 256u);
  EXPECT_EQ(trace().back().words[3], 0x0409u) << "asked in the first language of the list";
}

TEST_F(Protocol, GetVersionFallsBackToTheOlderCommandSet) {
  const platform::OsHandle h = open(0);
  chip(0).faults().legacyRegistersOnly = true;
  std::uint8_t mark = 0x5A;
  ASSERT_EQ(filter.RegisterReadWriteCmdOld(h, &mark, 1, 0x07FB, 1), 0);
  bench().clearTrace();
  std::uint8_t block[16] = {};
  ASSERT_EQ(filter.Get_Version(h, block, 16, 1), 0);
  EXPECT_EQ(block[3], chip(0).runningVersion()[3]);
  EXPECT_EQ(block[8], 7);
  EXPECT_EQ(chip(0).readRegister(0x07FB, 0), 0xFF) << "the signature was cleared through the older set";
  const auto t = trace();
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1].words[1], 0x52u);
  EXPECT_EQ(t[2].words, (std::array<std::uint32_t, 6>{2500, 0x53, 0xFF, 0x07FB, 0, 0}));
}

TEST_F(Protocol, CpuResetThroughRegistersSucceedsThoughTheHubDropsTheWrite) {
  const platform::OsHandle h = open(3);
  const auto before = virtualMs();
  EXPECT_EQ(filter.SendCpuResetByFilterDriver(h, 1), 0);
  EXPECT_GE(virtualMs() - before, 2200);
  const auto t = trace();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].words, (std::array<std::uint32_t, 6>{2500, 2, 0, 'S', 0, 0x5846}));
  EXPECT_EQ(t[1].words, (std::array<std::uint32_t, 6>{200, 2, 0, 'S', 1, 0x5810}));
  EXPECT_NE(t[1].error, 0u) << "the hub restarted before completing the write";
}

}  // namespace
}  // namespace hbx::testing
