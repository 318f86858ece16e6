// The firmware download of the utility object on the simulated hubs: one hub
// at a time, only the staged bytes; and the default configuration table.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <latch>
#include <set>
#include <thread>

#include "image/default_config.h"
#include "tests/hubdev/hubdev_fixture.h"
#include "tests/image/image_fixture.h"

namespace hbx::testing {
namespace {

bool isFirmwarePacket(const sim::hub::TraceEntry& e) { return e.words[1] == 2 && e.words[3] == 'P'; }

class FirmwareDownload : public HubLayerTest {
 protected:
  // Requests take long enough in real time for concurrent downloads to overlap.
  FirmwareDownload() : HubLayerTest(0) {}

  // Stages firmware code of `n` bytes and erases image 0 of every hub.
  std::vector<std::uint8_t> stage(std::size_t n) {
    const std::vector<std::uint8_t> code = testing_image::firmwareCode(n, 0x25);
    const std::wstring path = L"C:\\HBX\\fw.bin";
    std::ofstream(host.hostPath(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(code.data()), static_cast<std::streamsize>(code.size()));
    EXPECT_TRUE(utility.vCreateTempBinDataFile(path));
    CZeltHubDev& dev = hubDev();
    for (std::uint8_t i = 0; i < 4; ++i) EXPECT_EQ(dev.HBX763xBlockErase(i, 0), 0);
    bench().clearTrace();
    std::ifstream in(host.hostPath(tempBin()), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static std::wstring tempBin() { return L"C:\\HBX\\HBXFW_Temp\\TempBinData.bin"; }
};

TEST_F(FirmwareDownload, HubsReceiveFirmwareOneAtATime) {
  const std::vector<std::uint8_t> staged = stage(0x5000);
  std::vector<std::thread> workers;
  bool ok[4] = {};
  std::latch start(4);
  for (std::uint8_t i = 0; i < 4; ++i)
    workers.emplace_back([this, i, &ok, &start] {
      start.arrive_and_wait();
      ok[i] = utility.vUpdateFirmware(i, 0, 1);
    });
  for (std::thread& t : workers) t.join();

  // Each hub's packets form one unbroken run in the request trace.
  std::vector<std::string> runs;
  for (const auto& e : trace())
    if (isFirmwarePacket(e) && (runs.empty() || runs.back() != e.hub)) runs.push_back(e.hub);
  EXPECT_EQ(runs.size(), 4u);
  EXPECT_EQ(std::set<std::string>(runs.begin(), runs.end()).size(), 4u) << "downloads interleaved";

  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(ok[i]) << i;
    const std::uint8_t* image0 = chip(i).flash().image(0);
    EXPECT_TRUE(std::equal(staged.begin(), staged.end(), image0 + 256)) << "hub " << i;
  }
}

TEST_F(FirmwareDownload, PausesAfterTheDownload) {
  stage(0x5000);
  const std::int64_t before = virtualMs();
  ASSERT_TRUE(utility.vUpdateFirmware(1, 0, 1));
  EXPECT_GE(virtualMs() - before, 800);
}

TEST_F(FirmwareDownload, SendsNothingButTheStagedBytes) {
  stage(0x5000);
  // Another process rewrites the staged file: same length, one byte changed.
  {
    std::fstream file(host.hostPath(tempBin()), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(0x100);
    file.put('\x5A');
  }
  EXPECT_FALSE(utility.vUpdateFirmware(0, 0, 1));

  // Or removes it; or nothing was staged in this run.
  std::filesystem::remove(host.hostPath(tempBin()));
  EXPECT_FALSE(utility.vUpdateFirmware(1, 0, 1));
  utility.m_TempBinDigest.clear();
  EXPECT_FALSE(utility.vUpdateFirmware(2, 0, 1));

  EXPECT_EQ(std::count_if(trace().begin(), trace().end(), isFirmwarePacket), 0);
}

// ---- Read-back --------------------------------------------------------------

class WrittenImageReadBack : public FirmwareDownload {
 protected:
  WrittenImageReadBack() {
    log::setDebugOutput(&log);
    log::vDEBUG_SetLevel(3);
  }
  ~WrittenImageReadBack() override {
    log::setDebugOutput(nullptr);
    log::vDEBUG_SetLevel(0);
  }
  // Stages firmware code of `n` bytes, writes the default table into both
  // images of hub 1 and the firmware into its image 0. Returns the staged bytes.
  std::vector<std::uint8_t> writeHub1(std::size_t n) {
    const std::vector<std::uint8_t> staged = stage(n);
    CZeltHubDev& dev = hubDev();
    EXPECT_EQ(dev.HBX763xBlockErase(1, 1), 0);
    for (std::uint8_t image : {0, 1}) EXPECT_EQ(dev.HBX763xConfigWrite(1, table.data(), image, 1), 0);
    EXPECT_TRUE(utility.vUpdateFirmware(1, 0, 1));
    return staged;
  }
  void flipFlashBit(std::uint32_t flashOffset) {
    std::lock_guard<std::mutex> lock(bench().mutex());
    chip(1).flash().flipBit(flashOffset);
  }
  const image::ConfigTable table = image::buildDefaultConfigTable(image::kDefaultRegisterTable);
  testing_image::LogCapture log{host};
};

TEST_F(WrittenImageReadBack, EveryByteWrittenIsComparedInItsOwnImage) {
  constexpr std::size_t kCode = 0x5000;
  // The area is L, the code, the chip marker and the checksum: its last two
  // bytes are compared like the code.
  struct Case {
    const char* what;
    std::uint32_t flashOffset;
    const wchar_t* logged;
  };
  const std::uint32_t area = 256;
  const Case cases[] = {
      {"table of image 0", 0x10, L"image[0], offset[0x0010]"},
      {"table of image 1", 0x10000 + 0x10, L"image[1], offset[0x0010]"},
      {"first code byte", area + 2, L"image[0], offset[0x0102]"},
      {"chip marker", area + 2 + kCode, L"image[0], offset[0x5102]"},
      {"checksum", area + 3 + kCode, L"image[0], offset[0x5103]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeHub1(kCode);
    ASSERT_TRUE(utility.bVerifyWrittenImage(1, table.data()));
    log.clear();
    flipFlashBit(c.flashOffset);
    EXPECT_FALSE(utility.bVerifyWrittenImage(1, table.data()));
    EXPECT_TRUE(log.has(c.logged));
  }
}

TEST_F(WrittenImageReadBack, ComparesWithTheBytesStagedNotTheFileAsItIsNow) {
  // Another program changes the staged file after the download, and the hub's
  // flash holds that same change: the hub does not hold what was staged.
  writeHub1(0x5000);
  constexpr std::uint32_t kAt = 0x100;
  {
    std::fstream file(host.hostPath(tempBin()), std::ios::binary | std::ios::in | std::ios::out);
    file.seekg(kAt);
    const char was = static_cast<char>(file.get());
    file.seekp(kAt);
    file.put(static_cast<char>(was ^ 1));
  }
  flipFlashBit(256 + kAt);
  EXPECT_FALSE(utility.bVerifyWrittenImage(1, table.data()));
}

TEST_F(WrittenImageReadBack, LongestFirmwaresAreReadBackInsideTheImage) {
  // Firmware files up to 0xFEF8 bytes are accepted; their areas end inside
  // the 64 KiB image, and so does their read-back.
  for (std::size_t n : {std::size_t{0xFEE0}, std::size_t{0xFEE1}, std::size_t{0xFEF8}}) {
    SCOPED_TRACE(n);
    writeHub1(n);
    EXPECT_TRUE(utility.bVerifyWrittenImage(1, table.data()));
  }
}

TEST_F(FirmwareDownload, DefaultConfigurationGoesToBufferAndEntry) {
  hubDev();
  utility.m_ucRegTable.fill(0x11);
  utility.vLoadRegTableFromFile(L"");
  EXPECT_EQ(utility.m_ucRegTable, image::kDefaultRegisterTable);

  utility.vSetMConfigInfo(3);
  const image::ConfigTable want = image::buildDefaultConfigTable(image::kDefaultRegisterTable);
  EXPECT_EQ(list.Devs[3].m_ucConfigTable, want);
  EXPECT_EQ(utility.m_ucMConfigInfo, want);
  EXPECT_EQ(list.Devs[2].m_ucConfigTable, (std::array<std::uint8_t, 256>{}));
  utility.vSetMConfigInfo(200);  // no such entry: nothing outside the list is touched
}

}  // namespace
}  // namespace hbx::testing
