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
};

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
    fs::remove_all(benchFolder() / "hubs");
    fs::remove(benchFolder() / "registry.json");
    fs::remove(logOf("run"));
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
  };
  const Case cases[] = {
      // Not yet writing: the first copy is ended, with the code of a stopped
      // run (never 0: it wrote nothing), and the second does the update.
      {"during the search", kSearch, 0, -12},
      // Writing: the second copy ends itself and the first finishes.
      {"as the first hub begins its writes", kFirstHubWrites, -11, 0},
      {"once the first hub passed", kFirstHubPassed, -11, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(benchFolder() / "hubs");
    fs::remove(benchFolder() / "registry.json");
    for (const char* name : {"first", "second"}) fs::remove(logOf(name));
    const auto first = startUpdate("first");
    ASSERT_TRUE(reach("first", c.moment));
    const auto second = startUpdate("second");
    EXPECT_EQ(second->wait(), c.secondCode) << readText(logOf("second"));
    EXPECT_EQ(first->wait(), c.firstCode) << readText(logOf("first"));
    if (c.secondCode != 0) {
      EXPECT_NE(readText(errorsOf("second")).find("[Error] Another copy of this tool is writing hubs"),
                std::string::npos);
    }
    EXPECT_EQ(hubsWithNewFirmware(), 3);
    expectComputerAsBefore();
  }
}

}  // namespace
}  // namespace hbx::testing
