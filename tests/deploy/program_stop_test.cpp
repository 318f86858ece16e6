// The built program stopped from outside while it updates the hubs of a
// fresh computer (the built-in hubs, no filter driver): by an interrupt
// signal, by a second copy of the program, or killed outright. Every hub
// keeps firmware it can boot, and the computer is left as before the run
// (no driver, no file of the run) by that run or, after a kill, by the next.
#include <gtest/gtest.h>

#include <signal.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim/hub/hub_chip.h"
#include "sim/hub/spi_flash.h"
#include "tests/deploy/program_fixture.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

// Moments of an update run in console mode, as its debug log shows them.
// Console mode writes one hub after another.
const char* const kSearch = "vScanUSBPort !!!";
const char* const kFirstHubWrites = "updata config";
const char* const kFirstHubPassed = "FW Update PASS";

const char* const kTargets[] = {"hub0", "hub1", "hub2"};
constexpr std::uint8_t kChipType = 2;  // HBX773x
constexpr std::array<std::uint8_t, 6> kNewVersion{0x25, 0x03, 0x18, 0x25, 0x01, 0x0C};
// Slow enough that a signal or a second copy lands at the moment aimed at.
const char* const kSlowScale = "0.05";
// The re-runs wait on virtual time: a busy machine cannot make them time out.
const char* const kVirtualTime = "0";

class ProgramStopTest : public ProgramFolderTest {
 protected:
  // The built-in hubs of a fresh computer.
  ProgramStopTest() { bench("{}"); }

  // The firmware image 0 of a hub boots: its version, or nothing.
  std::optional<std::array<std::uint8_t, 6>> bootedVersion(const std::string& hub) const {
    std::ifstream in(benchFolder() / "hubs" / (hub + ".flash"), std::ios::binary);
    std::vector<std::uint8_t> image0(sim::hub::SpiFlash::kImageSize);
    in.read(reinterpret_cast<char*>(image0.data()), static_cast<std::streamsize>(image0.size()));
    if (!in) return std::nullopt;
    return sim::hub::HubChip::validFirmware(image0.data(), kChipType);
  }
  // How many target hubs boot the new version; every one boots some firmware.
  int hubsWithNewFirmware() const {
    int updated = 0;
    for (const char* hub : kTargets) {
      const auto version = bootedVersion(hub);
      EXPECT_TRUE(version.has_value()) << hub << " holds no firmware it can boot";
      if (version == kNewVersion) ++updated;
    }
    return updated;
  }
  // An update run, slow enough to be met at a moment of it.
  std::unique_ptr<StartedProgram> startUpdate(const std::string& name = "run") const {
    return std::make_unique<StartedProgram>(command("/DOS /DBG 3", name, kSlowScale));
  }
  // A plain re-run finishes the update.
  void expectReRunFinishes() {
    EXPECT_EQ(run("/DOS /DBG 3", kVirtualTime).status, 0);
    EXPECT_EQ(hubsWithNewFirmware(), 3);
  }
  void expectComputerAsBefore() {
    expectNothingWritten();
    EXPECT_EQ(readText(benchFolder() / "registry.json").find("ZeltFilter"), std::string::npos)
        << "the filter driver is still registered";
  }
  // A second program folder of the same computer, with a copy of the program.
  fs::path otherFolder() const {
    const fs::path folder = root_.path() / "other";
    if (!fs::exists(folder / "8634FWUpgradeTool")) {
      fs::create_directories(folder);
      fs::copy_file(HBX_PROGRAM_PATH, folder / "8634FWUpgradeTool");
    }
    return folder;
  }
  // A fresh computer with the built-in hubs for each case of a table.
  void freshBench(const std::string& json = "{}") {
    fs::remove_all(benchFolder() / "hubs");
    fs::remove(benchFolder() / "registry.json");
    fs::remove(benchFolder() / "hold-at-log.taken");
    fs::remove(benchFolder() / "release");
    for (const char* name : {"run", "first", "second"}) fs::remove(logOf(name));
    bench(json);
  }
};

// Firmware code of a version other than the carried image's, as a user's file.
std::vector<std::uint8_t> firmwareOf(const std::array<std::uint8_t, 6>& version) {
  std::vector<std::uint8_t> code(0x6000);
  for (std::size_t i = 0; i < code.size(); ++i) code[i] = static_cast<std::uint8_t>(i * 13 + 5);
  std::copy(version.begin(), version.end(), code.begin() + 0x200);
  return code;
}

TEST_F(ProgramStopTest, AnInterruptLetsTheWritesInProgressFinishAndCleansUp) {
  struct Case {
    const char* name;
    const char* moment;
    int signal;
    int newHubsAtLeast;
    int newHubsAtMost;
  };
  const Case cases[] = {
      {"Ctrl-C during the search", kSearch, SIGINT, 0, 0},
      {"Ctrl-\\ during the search", kSearch, SIGQUIT, 0, 0},
      {"Ctrl-C as the first hub begins its writes", kFirstHubWrites, SIGINT, 1, 1},
      {"SIGHUP as the first hub begins its writes", kFirstHubWrites, SIGHUP, 1, 1},
      // The next hub may have begun its writes as the signal came.
      {"SIGTERM once the first hub passed", kFirstHubPassed, SIGTERM, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The run waits at the moment until the signal comes.
    freshBench(std::string(R"({"holdAtLog": {"text": ")") + c.moment + R"("}})");
    const auto program = startUpdate();
    ASSERT_TRUE(reach("run", c.moment)) << readText(errorsOf("run"));
    program->signal(c.signal);
    EXPECT_EQ(program->wait(), -12) << readText(logOf("run"));
    const int updated = hubsWithNewFirmware();
    EXPECT_GE(updated, c.newHubsAtLeast);
    EXPECT_LE(updated, c.newHubsAtMost);
    expectComputerAsBefore();
    expectReRunFinishes();
  }
}

TEST_F(ProgramStopTest, ASecondInterruptEndsAtOnceAndStillRemovesTheDriverAndFiles) {
  const auto program = startUpdate();
  ASSERT_TRUE(reach("run", kFirstHubWrites));
  program->signal(SIGINT);
  ASSERT_TRUE(reach("run", "Stop requested: "));
  program->signal(SIGINT);
  EXPECT_EQ(program->wait(), -12);
  EXPECT_NE(readText(logOf("run")).find("Stop requested again"), std::string::npos);
  expectComputerAsBefore();
  expectReRunFinishes();
}

TEST_F(ProgramStopTest, ACopyKilledOutrightIsCleanedUpByTheNextRun) {
  const auto program = startUpdate();
  ASSERT_TRUE(reach("run", kFirstHubWrites));
  program->signal(SIGKILL);
  EXPECT_EQ(program->wait(), -1000);
  EXPECT_TRUE(fs::exists(installedDriver())) << "nothing of the killed run was cleaned up";
  expectReRunFinishes();
  expectComputerAsBefore();
}

TEST_F(ProgramStopTest, ASecondCopyNeverEndsOneThatWritesHubs) {
  struct Case {
    const char* name;
    const char* moment;
    int secondCode;
    int firstCode;
    bool otherFolder;  // the second copy runs from another program folder
  };
  const Case cases[] = {
      // Not yet writing: the first copy is ended, with the code of a stopped
      // run (never 0: it wrote nothing), and the second does the update.
      {"during the search", kSearch, 0, -12, false},
      // Writing: the second copy ends itself and the first finishes.
      {"as the first hub begins its writes", kFirstHubWrites, -11, 0, false},
      {"once the first hub passed", kFirstHubPassed, -11, 0, false},
      // From another folder the second copy wrote a copy of the carried
      // image of its own there, and takes it away as it ends.
      {"as the first hub begins its writes, from another folder", kFirstHubWrites, -11, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The first copy waits at the moment until it is asked to stop or the
    // second has ended, so the second always meets it there.
    freshBench(std::string(R"({"holdAtLog": {"text": ")") + c.moment + R"(", "releaseFile": "release"}})");
    const auto first = startUpdate("first");
    ASSERT_TRUE(reach("first", c.moment));
    const auto second = std::make_unique<StartedProgram>(
        command("/DOS /DBG 3", "second", kSlowScale, false, c.otherFolder ? otherFolder() : programFolder()));
    EXPECT_EQ(second->wait(), c.secondCode) << readText(logOf("second"));
    std::ofstream(benchFolder() / "release").put('\n');
    EXPECT_EQ(first->wait(), c.firstCode) << readText(logOf("first"));
    if (c.secondCode != 0) {
      EXPECT_NE(readText(errorsOf("second")).find("[Error] Another copy of this tool is writing hubs"),
                std::string::npos);
    }
    EXPECT_EQ(hubsWithNewFirmware(), 3);
    expectComputerAsBefore();
    if (c.otherFolder) {
      EXPECT_EQ(filesBelow(otherFolder()), std::vector<std::string>{"8634FWUpgradeTool"});
    }
  }
}

// Copy A (the carried image) and copy B (a file of its own) from two program
// folders of one computer. A is held in its search until it is asked to stop
// (bench field holdAtLog), so B always meets it there: B asks it to stop the
// write-safe way and waits for it, and only a copy that does not end in time
// is ended outright. A never ends with 0 (it wrote nothing); B writes.
TEST_F(ProgramStopTest, ACopyInItsSearchIsStoppedByOneFromAnotherFolderAndCleansUp) {
  constexpr std::array<std::uint8_t, 6> kOwnVersion{0x25, 0x03, 0x18, 0x25, 0x01, 0x0D};
  struct Case {
    const char* name;
    const char* hold;
    const char* secondLog;  // what B's debug log says of A
    bool firstCleansUp;
  };
  const Case cases[] = {
      {"A stops when asked", R"({"holdAtLog": {"text": "vScanUSBPort !!!"}})", " asked to stop, waiting up to 60000 ms",
       true},
      // Killed outright A cleans nothing up: its files in its own folder stay.
      {"A does not end in time", R"({"holdAtLog": {"text": "vScanUSBPort !!!", "releasedByStop": false}})",
       " still runs after 60000 ms: ended outright", false},
  };
  const fs::path userFile = otherFolder() / "fw.bin";
  const std::vector<std::uint8_t> own = firmwareOf(kOwnVersion);
  std::ofstream(userFile, std::ios::binary)
      .write(reinterpret_cast<const char*>(own.data()), static_cast<std::streamsize>(own.size()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    freshBench(c.hold);
    const auto first = startUpdate("first");
    ASSERT_TRUE(reach("first", kSearch));
    StartedProgram second(command("/DOS /DBG 3 /U fw.bin", "second", kSlowScale, false, otherFolder()));
    EXPECT_EQ(second.wait(), 0) << readText(logOf("second"));
    EXPECT_EQ(first->wait(), -12) << readText(logOf("first"));
    EXPECT_NE(readText(logOf("second")).find(c.secondLog), std::string::npos);
    for (const char* hub : kTargets) EXPECT_EQ(bootedVersion(hub), kOwnVersion) << hub;
    EXPECT_EQ(filesBelow(otherFolder()), (std::vector<std::string>{"8634FWUpgradeTool", "fw.bin"}));
    if (c.firstCleansUp) {
      expectComputerAsBefore();
    }
  }
}

}  // namespace
}  // namespace hbx::testing
