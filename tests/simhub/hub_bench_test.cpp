// The bench of hubs and the simulated filter driver: device objects, the
// trace, timing on the simulated clock, faults and flash files.
#include "sim/hub/hub_bench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "hub/device/filter_protocol.h"
#include "sim/hub/filter_driver.h"
#include "sim/sim_clock.h"

namespace hbx::sim::hub {
namespace {

namespace fs = std::filesystem;

const std::wstring kHub0Usb3 = L"\\\\.\\USBPDO_100001";
const std::wstring kHub0Usb2 = L"\\\\.\\usbpdo_110001";

struct TempFolder {
  TempFolder() : path(fs::temp_directory_path() / ("hbx-simhub-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(path);
  }
  ~TempFolder() { fs::remove_all(path); }
  fs::path path;
};

// One request on a fresh handle; returns the completion error (0 success).
std::uint32_t roundTripOn(SimDeviceIo& io, const std::wstring& name, std::uint32_t code, const filter::Header& h,
                         std::uint8_t* out = nullptr, std::uint32_t outLength = 0, std::size_t payload = 0) {
  const auto opened = io.openDevice(name, 0, 0, platform::fileflag::kOverlapped);
  if (opened.handle == platform::kInvalidHandle) return opened.error;
  std::vector<std::uint8_t> in(filter::kHeaderSize + payload, 0);
  filter::encodeHeader(h, in.data());
  const auto event = io.createEvent(true, false);
  platform::OverlappedSlot slot;
  std::uint32_t error = 0, bytes = 0;
  const auto start = io.deviceIoControl(opened.handle, code, in.data(), static_cast<std::uint32_t>(in.size()), out,
                                         outLength, event, slot);
  if (!start.returnedTrue && start.error != platform::err::kIoPending) error = start.error;
  else if (!io.getOverlappedResult(opened.handle, slot, bytes, error) && error == 0) error = 0xFFFF;
  io.closeHandle(event);
  io.closeHandle(opened.handle);
  return error;
}

class DriverTest : public ::testing::Test {
 protected:
  void make(const HubBenchConfig& config, const std::optional<fs::path>& folder = std::nullopt) {
    std::string error;
    bench = HubBench::create(config, folder, error);
    ASSERT_TRUE(bench) << error;
    io = std::make_unique<SimDeviceIo>(clock, *bench);
  }
  std::uint32_t roundTrip(const std::wstring& name, std::uint32_t code, const filter::Header& h,
                          std::uint8_t* out = nullptr, std::uint32_t outLength = 0, std::size_t payload = 0) {
    return roundTripOn(*io, name, code, h, out, outLength, payload);
  }

  SimClock clock{0.001};
  std::unique_ptr<HubBench> bench;
  std::unique_ptr<SimDeviceIo> io;
};

TEST_F(DriverTest, DeviceObjectsExistPerConnectionWhileTheDriverIsInstalled) {
  make(oneHubPerFamilyBench());
  std::uint8_t block[16] = {};
  EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorIn, filter::Header::vendor('R', 0, 0x07F0), block, 16), 0u);
  EXPECT_EQ(block[8], 7);
  // The other connection reaches the same registers.
  ASSERT_EQ(roundTrip(kHub0Usb2, filter::kIoctlVendorOut, filter::Header::vendor('S', 0x5A, 0x07FB), nullptr, 0, 1), 0u);
  EXPECT_EQ(bench->hub("hub0")->readRegister(0x07FB, 0), 0x5A);
  EXPECT_EQ(io->openDevice(L"\\\\.\\USBPDO_990001", 0, 0, platform::fileflag::kOverlapped).error, 2u);
  bench->setDriverInstalled(false);
  EXPECT_EQ(io->openDevice(kHub0Usb3, 0, 0, platform::fileflag::kOverlapped).error, 2u);
  EXPECT_EQ(io->openHandles(), 0u);
}

TEST_F(DriverTest, TraceRecordsEveryRequest) {
  make(oneHubPerFamilyBench());
  std::uint8_t out[4];
  roundTrip(kHub0Usb2, filter::kIoctlVendorIn, filter::Header::vendor('R', 0, 0x5820, 77), out, 1);
  roundTrip(kHub0Usb2, filter::kIoctlVendorIn, filter::Header::vendor('Z', 0, 0), out, 1);
  const auto trace = bench->trace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0].hub, "hub0");
  EXPECT_EQ(trace[0].connection, Connection::Usb2);
  EXPECT_EQ(trace[0].code, filter::kIoctlVendorIn);
  EXPECT_EQ(trace[0].words, (std::array<std::uint32_t, 6>{77, 2, 0, 'R', 0, 0x5820}));
  EXPECT_EQ(trace[0].error, 0u);
  EXPECT_EQ(trace[0].replyBytes, 1u);
  EXPECT_EQ(trace[1].error, 1u) << "unknown opcode";
}

TEST_F(DriverTest, RequestsCompleteAfterTheirTimeOnTheSimulatedClock) {
  HubBenchConfig config = oneHubPerFamilyBench();
  config.hubs[0].requestMicros = 20'000;  // 20 ms each
  make(config);
  std::uint8_t out[1];
  const auto before = clock.virtualMs();
  for (int i = 0; i < 5; ++i) roundTrip(kHub0Usb3, filter::kIoctlVendorIn, filter::Header::vendor('R', 0, 0x5821), out, 1);
  EXPECT_GE(clock.virtualMs() - before, 100);
}

TEST_F(DriverTest, InjectedFaults) {
  struct Case {
    const char* name;
    FaultConfig faults;
    std::uint32_t want;
  };
  const Case cases[] = {
      {"immediate error 31", FaultConfig{31, 0, 1, 1}, 31},
      {"immediate other error", FaultConfig{5, 0, 1, 1}, 5},
      {"failed completion", FaultConfig{0, 1117, 1, 1}, 1117},
      {"object cannot be opened", FaultConfig{0, 0, 1, 0, 5}, 5},
  };
  for (const Case& c : cases) {
    HubBenchConfig config = oneHubPerFamilyBench();
    config.hubs[0].faults = c.faults;
    make(config);
    std::uint8_t out[1];
    EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorIn, filter::Header::vendor('R', 0, 0x5821), out, 1), c.want)
        << c.name;
  }
}

TEST_F(DriverTest, FlashPersistsInTheBenchFolderAndPowerLossKeepsWhatWasProgrammed) {
  TempFolder folder;
  HubBenchConfig config = oneHubPerFamilyBench();
  config.hubs[0].faults.powerLossAfterRequest = 3;
  make(config, folder.path);
  ASSERT_TRUE(fs::exists(folder.path / "hubs" / "hub0.flash"));
  EXPECT_EQ(fs::file_size(folder.path / "hubs" / "hub0.flash"), 2u * 65536);
  // Erase part 0 of image 0, then two packets of a configuration table; the
  // hub loses power after the third request.
  EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('W', 0, 0)), 0u);
  EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('Q', 0, 256), nullptr, 0, 32), 0u);
  EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('Q', 0, 256), nullptr, 0, 32), 0u);
  EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('Q', 0, 256), nullptr, 0, 32), 2u)
      << "the hub is gone";

  // A new bench on the same folder finds the flash as it was left.
  config.hubs[0].faults = {};
  make(config, folder.path);
  const std::uint8_t* image0 = bench->hub("hub0")->flash().image(0);
  EXPECT_EQ(image0[0], 0x00);
  EXPECT_EQ(image0[63], 0x00);
  EXPECT_EQ(image0[64], 0xFF);
  EXPECT_EQ(image0[300], 0xFF) << "the erase reached the firmware area";
  // The hub stays as the cut left it (off, its old image) until a power
  // cycle boots it from what the flash now holds.
  EXPECT_FALSE(bench->hub("hub0")->powered());
  EXPECT_EQ(bench->hub("hub0")->running(), Running::Image0);
  bench->powerCycle(0);
  make(config, folder.path);
  EXPECT_TRUE(bench->hub("hub0")->powered());
  EXPECT_EQ(bench->hub("hub0")->running(), Running::Image1);
}

TEST(HubSection, ParsesAndRefusesWithThePlace) {
  const auto round = parseHubSection(toJson(defaultHubBench()));
  ASSERT_TRUE(round.bench) << round.error;
  EXPECT_EQ(round.bench->hubs.size(), 4u);
  EXPECT_EQ(round.bench->hubs[1].usb2->pdoName, L"\\Device\\USBPDO-13");
  EXPECT_EQ(round.bench->hubs[3].familyCode, (std::array<std::uint8_t, 3>{9, 6, 3}));

  struct Case {
    const char* json;
    const char* where;
  };
  const Case cases[] = {
      {R"({"devices": [{"name": "a"}]})", "hubs/devices/0"},
      {R"({"devices": [{"name": "a", "usb3": {"pid": "12345", "pdo": "x"}}]})", "hubs/devices/0/usb3/pid"},
      {R"({"devices": [{"name": "a", "family": "HBX111x", "usb2": {"pid": "1", "pdo": "x"}}]})", "hubs/devices/0/family"},
      {R"({"devices": [{"name": "../a", "usb2": {"pid": "1", "pdo": "x"}}]})", "hubs/devices/0/name"},
      {R"({"devices": [{"name": "a", "usb2": {"pid": "1", "pdo": "x"}, "faults": {"never": 1}}]})", "hubs/devices/0/faults/never"},
      {R"({"driverInstalled": 1})", "hubs/driverInstalled"},
      {R"({"devices": [{"name": "a", "usb2": {"pid": "1", "pdo": "x"}, "stringDescriptors": {"serial": "030"}}]})",
       "hubs/devices/0/stringDescriptors/serial"},
      {R"({"devices": [{"name": "a", "usb2": {"pid": "1", "pdo": "x"}, "stringDescriptors": {"serial": "0g"}}]})",
       "hubs/devices/0/stringDescriptors/serial"},
      {R"({"devices": [{"name": "a", "usb2": {"pid": "1", "pdo": "x"}, "stringDescriptors": {"language": ""}}]})",
       "hubs/devices/0/stringDescriptors/language"},
  };
  for (const Case& c : cases) {
    const auto load = parseHubSection(nlohmann::json::parse(c.json));
    EXPECT_FALSE(load.bench) << c.json;
    EXPECT_EQ(load.error.rfind(c.where, 0), 0u) << load.error;
  }
  // Texts up to 255 characters; descriptors of 0 to 255 bytes, kept through a
  // round trip. One byte more is refused.
  const auto hubWith = [](const std::string& keys) {
    return nlohmann::json::parse(R"({"devices": [{"name": "a", "usb2": {"pid": "1", "pdo": "x"}, )" + keys + "}]}");
  };
  const std::string longest(255, 'M');
  const std::string rawLongest(510, 'f');
  const auto kept = parseHubSection(hubWith(R"("manufacturer": ")" + longest + R"(", "stringDescriptors": {"serial": ")" +
                                            rawLongest + R"(", "product": ""})"));
  ASSERT_TRUE(kept.bench) << kept.error;
  const auto again = parseHubSection(toJson(*kept.bench));
  ASSERT_TRUE(again.bench) << again.error;
  EXPECT_EQ(again.bench->hubs[0].manufacturer, std::wstring(255, L'M'));
  EXPECT_EQ(again.bench->hubs[0].rawStrings.serial, std::vector<std::uint8_t>(255, 0xFF));
  EXPECT_EQ(again.bench->hubs[0].rawStrings.product, std::vector<std::uint8_t>());
  EXPECT_FALSE(again.bench->hubs[0].rawStrings.manufacturer);
  EXPECT_FALSE(parseHubSection(hubWith(R"("manufacturer": ")" + longest + R"(M")")).bench);
  EXPECT_FALSE(parseHubSection(hubWith(R"("stringDescriptors": {"serial": ")" + rawLongest + R"(00"})")).bench);
}


namespace shared_bench {

// One program (or hubbench) on a bench folder: a load of its own, with its
// own chips in memory, as a separate process has.
struct Process {
  explicit Process(const fs::path& folder) {
    std::string error;
    bench = HubBench::create(oneHubPerFamilyBench(), folder, error);
    EXPECT_TRUE(bench) << error;
    io = std::make_unique<SimDeviceIo>(clock, *bench);
  }
  std::wstring object(std::size_t hub) {
    const HubConfig& config = bench->hubs()[hub]->config();
    return deviceObjectNameFor(config.usb3 ? config.usb3->pdoName : config.usb2->pdoName);
  }
  std::uint32_t send(std::size_t hub, const filter::Header& h, std::size_t payload = 0) {
    return roundTripOn(*io, object(hub), filter::kIoctlVendorOut, h, nullptr, 0, payload);
  }
  // As hubbench reads a hub: under its lock.
  std::vector<std::uint8_t> image(std::size_t hub, std::uint32_t image) {
    std::lock_guard<std::mutex> lock(bench->mutex());
    HubChip& chip = *bench->hubs()[hub];
    HubBench::Access access(*bench, chip);
    return {chip.flash().image(image), chip.flash().image(image) + SpiFlash::kImageSize};
  }
  std::uint8_t mark(std::size_t hub) {
    std::lock_guard<std::mutex> lock(bench->mutex());
    HubChip& chip = *bench->hubs()[hub];
    HubBench::Access access(*bench, chip);
    return chip.readRegister(0x07FB, 0);
  }

  SimClock clock{0.001};
  std::unique_ptr<HubBench> bench;
  std::unique_ptr<SimDeviceIo> io;
};

TEST(SharedBench, WhatOneProcessWritesTheOtherFindsAtItsNextAccess) {
  TempFolder folder;
  Process first(folder.path);
  Process second(folder.path);  // loaded before the changes below
  ASSERT_EQ(first.send(0, filter::Header::vendor('W', 0, 0)), 0u);
  ASSERT_EQ(first.send(0, filter::Header::vendor('Q', 0, 256), 32), 0u);
  ASSERT_EQ(first.send(0, filter::Header::vendor('S', 0x5A, 0x07FB), 1), 0u);
  std::vector<std::uint8_t> seen = second.image(0, 0);
  EXPECT_EQ(seen[31], 0x00) << "the programmed packet";
  EXPECT_EQ(seen[32], 0xFF) << "the rest of the erased half";
  EXPECT_EQ(second.mark(0), 0x5A) << "the running state too";

  // And back: the second's erase is what the first then holds.
  ASSERT_EQ(second.send(0, filter::Header::vendor('W', 0, 0)), 0u);
  EXPECT_EQ(first.image(0, 0)[0], 0xFF);
}

TEST(SharedBench, ProcessesWritingDifferentHubsAtOnceLoseNothing) {
  TempFolder folder;
  Process first(folder.path);
  Process second(folder.path);
  const auto update = [](Process& process, std::size_t hub) {
    for (int round = 0; round < 20; ++round) {
      EXPECT_EQ(process.send(hub, filter::Header::vendor('W', 0, 0)), 0u);
      for (int packet = 0; packet < 8; ++packet) EXPECT_EQ(process.send(hub, filter::Header::vendor('Q', 0, 256), 32), 0u);
      EXPECT_EQ(process.send(hub, filter::Header::vendor('S', static_cast<std::uint8_t>(round), 0x07FB), 1), 0u);
    }
  };
  std::thread a([&] { update(first, 0); });
  std::thread b([&] { update(second, 1); });
  a.join();
  b.join();
  Process later(folder.path);
  for (Process* process : {&first, &second, &later}) {
    for (std::size_t hub : {0u, 1u}) {
      const std::vector<std::uint8_t> image = process->image(hub, 0);
      EXPECT_TRUE(std::all_of(image.begin(), image.begin() + 256, [](std::uint8_t b) { return b == 0x00; })) << hub;
      EXPECT_EQ(image[256], 0xFF) << hub;
      EXPECT_EQ(process->mark(hub), 19) << hub;
    }
  }
}

TEST(SharedBench, AReaderSeesEachChangeWholeOrNotAtAll) {
  TempFolder folder;
  Process writer(folder.path);
  Process reader(folder.path);
  const auto fillImage1 = [&](int fill) {
    std::lock_guard<std::mutex> lock(writer.bench->mutex());
    HubChip& chip = *writer.bench->hubs()[0];
    HubBench::Access access(*writer.bench, chip);
    chip.flash().setImage(1, std::vector<std::uint8_t>(SpiFlash::kImageSize, static_cast<std::uint8_t>(fill)));
  };
  fillImage1(0);
  std::atomic<bool> done{false};
  std::thread writing([&] {
    // Whole images, each larger than a page: stored beside the file and renamed.
    for (int fill = 1; fill <= 30; ++fill) fillImage1(fill);
    done = true;
  });
  int reads = 0;
  long mixed = 0;
  while (!done && mixed == 0) {
    const std::vector<std::uint8_t> image = reader.image(0, 1);
    ++reads;
    mixed = static_cast<long>(image.size()) - std::count(image.begin(), image.end(), image[0]);
  }
  writing.join();
  EXPECT_EQ(mixed, 0) << "read " << reads << " mixes two images";
  EXPECT_EQ(reader.image(0, 1)[0], 30);
}

}  // namespace shared_bench

namespace faults_of_a_real_part {

std::vector<std::uint8_t> imageOf(HubBench& bench, std::uint32_t image) {
  const std::uint8_t* bytes = bench.hub("hub0")->flash().image(image);
  return {bytes, bytes + SpiFlash::kImageSize};
}

FaultAim aim(const char* json) { return parseFaultAim(nlohmann::json::parse(json), "aim"); }

TEST_F(DriverTest, TornEraseAndTornProgramLeaveHalfTheWorkAndTheHubOff) {
  struct Case {
    const char* what;
    const char* aimJson;
    std::uint32_t image;          // the image the cut request works on
    std::uint32_t doneUpTo;       // bytes of it erased or programmed
    std::uint8_t doneValue;
    bool restErased;              // the bytes after: erased before (else as they were)
  };
  const Case cases[] = {
      {"erase of image 1", R"({"phase": "erase", "image": 1})", 1, 0x4000, 0xFF, false},
      {"second table packet", R"({"phase": "table", "nth": 2})", 0, 32 + 16, 0x00, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HubBenchConfig config = oneHubPerFamilyBench();
    config.hubs[0].faults.tornAtRequest = aim(c.aimJson);
    make(config);
    const std::vector<std::uint8_t> before = imageOf(*bench, c.image);
    EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('W', 0, 0)), 0u);
    // The torn request fails with 1167; after it the hub is gone (2).
    std::vector<std::uint32_t> errors;
    errors.push_back(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('Q', 0, 256), nullptr, 0, 32));
    errors.push_back(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('Q', 0, 256), nullptr, 0, 32));
    errors.push_back(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('W', 1, 0)));
    EXPECT_EQ(errors, c.image == 1 ? (std::vector<std::uint32_t>{0, 0, 1167}) : (std::vector<std::uint32_t>{0, 1167, 2}));
    EXPECT_FALSE(bench->hub("hub0")->powered());
    const std::vector<std::uint8_t> after = imageOf(*bench, c.image);
    const std::uint32_t doneFrom = c.image == 0 ? 32 : 0;
    for (std::uint32_t i = doneFrom; i < c.doneUpTo; ++i) ASSERT_EQ(after[i], c.doneValue) << i;
    for (std::uint32_t i = c.doneUpTo; i < c.doneUpTo + 0x100; ++i) ASSERT_EQ(after[i], c.restErased ? 0xFF : before[i]) << i;
  }
}

TEST_F(DriverTest, BadEraseBitErrorAndShortReplyLookLikeSuccess) {
  HubBenchConfig config = oneHubPerFamilyBench();
  config.hubs[0].faults.badEraseAtRequest = aim(R"({"phase": "erase"})");
  config.hubs[0].faults.flipBitAtOffset = 5;
  config.hubs[0].faults.shortReplyAtRequest = aim(R"({"phase": "readback", "nth": 2})");
  make(config);
  bench->hub("hub0")->flash().setImage(0, std::vector<std::uint8_t>(SpiFlash::kImageSize, 0x00));
  EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('W', 0, 0)), 0u);
  const std::vector<std::uint8_t> erased = imageOf(*bench, 0);
  EXPECT_EQ(erased[0x7EFF], 0xFF);
  EXPECT_EQ(erased[0x7F00], 0x00) << "the end of the half kept its content";
  EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('Q', 0, 256), nullptr, 0, 32), 0u);
  EXPECT_EQ(imageOf(*bench, 0)[4], 0x00);
  EXPECT_EQ(imageOf(*bench, 0)[5], 0x01) << "a programmed zero reads back with bit 0 set";

  // The second image read comes back one byte short, the others whole.
  std::vector<std::uint32_t> lengths;
  for (int i = 0; i < 3; ++i) {
    const auto opened = io->openDevice(kHub0Usb3, 0, 0, platform::fileflag::kOverlapped);
    std::uint8_t in[24];
    filter::encodeHeader(filter::Header::vendor('U', 0, 0), in);
    std::uint8_t out[16];
    const auto event = io->createEvent(true, false);
    platform::OverlappedSlot slot;
    io->deviceIoControl(opened.handle, filter::kIoctlVendorIn, in, 24, out, 16, event, slot);
    std::uint32_t bytes = 0, error = 0;
    EXPECT_TRUE(io->getOverlappedResult(opened.handle, slot, bytes, error));
    lengths.push_back(bytes);
    io->closeHandle(event);
    io->closeHandle(opened.handle);
  }
  EXPECT_EQ(lengths, (std::vector<std::uint32_t>{16, 15, 16}));
}

TEST_F(DriverTest, StuckRequestEndsOnlyWhenCancelled) {
  HubBenchConfig config = oneHubPerFamilyBench();
  config.hubs[0].faults.stuckAtRequest = aim("1");
  make(config);
  const auto opened = io->openDevice(kHub0Usb3, 0, 0, platform::fileflag::kOverlapped);
  std::uint8_t in[24];
  filter::encodeHeader(filter::Header::vendor('R', 0, 0x5821), in);
  std::uint8_t out[1];
  const auto event = io->createEvent(true, false);
  platform::OverlappedSlot slot;
  io->deviceIoControl(opened.handle, filter::kIoctlVendorIn, in, 24, out, 1, event, slot);
  std::atomic<bool> returned{false};
  std::uint32_t bytes = 0, error = 0;
  std::thread waiter([&] {
    io->getOverlappedResult(opened.handle, slot, bytes, error);
    returned = true;
  });
  clock.sleepMs(2000);
  EXPECT_FALSE(returned) << "still pending after two seconds";
  io->cancelIo(opened.handle);
  waiter.join();
  EXPECT_EQ(error, 995u);
  io->closeHandle(event);
  io->closeHandle(opened.handle);
}

TEST_F(DriverTest, RunningStateOutlivesTheBenchUntilAResetOrPowerCycle) {
  TempFolder folder;
  const HubBenchConfig config = oneHubPerFamilyBench();
  const auto mark = [&] {
    EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('S', 0x5A, 0x07FB), nullptr, 0, 1), 0u);
  };
  const auto marked = [&] { return bench->hub("hub0")->readRegister(0x07FB, 0) == 0x5A; };
  make(config, folder.path);
  mark();
  make(config, folder.path);
  EXPECT_TRUE(marked()) << "the next run finds the mark";
  EXPECT_EQ(roundTrip(kHub0Usb3, filter::kIoctlVendorOut, filter::Header::vendor('T', 0, 0)), 0u);  // processor reset
  make(config, folder.path);
  EXPECT_FALSE(marked()) << "a reset through the driver boots afresh";
  mark();
  bench->powerCycle(0);
  make(config, folder.path);
  EXPECT_FALSE(marked());
}

TEST(HubSection, FaultAimsAreNumbersOrPhases) {
  const auto parse = [](const char* faults) {
    return parseHubSection(nlohmann::json::parse(std::string(R"({"devices": [{"name": "h", "usb3": {"pid": "0632", "pdo": "\\Device\\X"}, "faults": )") +
                                                 faults + "}]}"));
  };
  const auto ok = parse(R"({"tornAtRequest": 7, "powerLossAt": {"phase": "download", "nth": 3, "image": 0}})");
  ASSERT_TRUE(ok.bench) << ok.error;
  EXPECT_EQ(ok.bench->hubs[0].faults.tornAtRequest.request, 7u);
  EXPECT_EQ(ok.bench->hubs[0].faults.powerLossAt.phase, Phase::Download);
  EXPECT_EQ(ok.bench->hubs[0].faults.powerLossAt.nth, 3u);
  EXPECT_EQ(parse(R"({"stuckAtRequest": {"phase": "flush"}})").error,
            "hubs/devices/0/faults/stuckAtRequest/phase: expected register, erase, table, download, readback, reset or descriptor");
  EXPECT_EQ(parse(R"({"failAt": {"phase": "erase", "image": 2}})").error, "hubs/devices/0/faults/failAt/image: expected an integer from 0 to 1");
}

}  // namespace faults_of_a_real_part

}  // namespace
}  // namespace hbx::sim::hub
