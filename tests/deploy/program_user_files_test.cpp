// The built program beside files of a user's that bear the names of files the
// program writes there (the settings file, the device-console tool): a run,
// also one refused at once, leaves them byte for byte; what a run ended from
// outside left of its own there is cleared by the next run.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "sim/sim_payloads.h"
#include "tests/deploy/program_fixture.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

std::string carried(const wchar_t* type, std::uint32_t id) {
  sim::SimPayloads payloads;
  const auto bytes = payloads.payload(type, id);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

std::string ownSettings() { return "check_vid=1\nvid=ABCD\n"; }
std::string ownTool() { return "the user's own tool"; }
std::string carriedSettings() { return carried(L"INI", 138); }
std::string carriedDevcon() { return carried(L"EXE", 152); }
std::string cutSettings() { return carriedSettings().substr(0, 40); }
std::string cutDevcon() { return carriedDevcon().substr(0, 100); }

struct UserFileCase {
  const char* name;
  const char* file;          // beside the program
  std::string (*content)();  // what lies there before the run
  const char* note;          // a note of a run ended from outside, in the work folder; empty: none
  const char* arguments;
  int status;
  bool stays;  // the file is the user's and stays; otherwise it was a run's and goes
};

const UserFileCase kCases[] = {
    {"UsersSettings", "HBX763xFWUpg.ini", ownSettings, "", "/DOS /A", 0, true},
    {"UsersSettingsOnARefusal", "HBX763xFWUpg.ini", ownSettings, "", "/DOS /A /U \"\"", -10, true},
    {"UsersCopyOfTheCarriedSettings", "HBX763xFWUpg.ini", carriedSettings, "", "/DOS /A", 0, true},
    {"SettingsLeftByAKilledRun", "HBX763xFWUpg.ini", carriedSettings, "settings_copy.note", "/DOS /A", 0, false},
    {"SettingsCutByAKilledRun", "HBX763xFWUpg.ini", cutSettings, "settings_copy.note", "/DOS /A", 0, false},
    {"UsersDevcon", "devconAMD64.exe", ownTool, "", "/DOS /A", 0, true},
    {"UsersDevconOnARefusal", "devconAMD64.exe", ownTool, "", "/DOS /A /U \"\"", -10, true},
    {"UsersCopyOfTheCarriedDevcon", "devconAMD64.exe", carriedDevcon, "", "/DOS /A", 0, true},
    {"DevconLeftByAKilledRun", "devconAMD64.exe", carriedDevcon, "devcon_copy.note", "/DOS /A", 0, false},
    {"DevconCutByAKilledRun", "devconAMD64.exe", cutDevcon, "devcon_copy.note", "/DOS /A", 0, false},
    // A note does not make a user's file of other content the run's.
    {"UsersDevconBesideANote", "devconAMD64.exe", ownTool, "devcon_copy.note", "/DOS /A", 0, true},
};

void PrintTo(const UserFileCase& c, std::ostream* os) { *os << c.name; }

class ProgramUserFilesTest : public ProgramFolderTest, public ::testing::WithParamInterface<UserFileCase> {};

TEST_P(ProgramUserFilesTest, UsersFilesStayAndRunsLeftoversGo) {
  const UserFileCase& c = GetParam();
  bench("{}");
  const std::string content = c.content();
  root_.write("program/" + std::string(c.file), content);
  if (c.note[0] != '\0') root_.write("bench/drive_c/Windows/Temp/HBX763xFW/" + std::string(c.note), "");

  // Virtual time: a slow machine (or a sanitizer build) must not turn into
  // the run's time-out.
  const ProgramRun r = run(std::string(c.arguments) + " /DBG 3", "0");
  EXPECT_EQ(r.status, c.status) << r.output << r.errors;
  if (c.status == 0) {
    // The run's settings are the carried ones: all three hubs were found
    // (a user's settings file with another VID filter would find none).
    EXPECT_NE(r.output.find("The Hub[2] FW Update PASS"), std::string::npos) << r.output;
  }
  const fs::path file = programFolder() / c.file;
  EXPECT_EQ(fs::exists(file), c.stays);
  if (c.stays) {
    EXPECT_EQ(readText(file), content);
  }
  // Nothing else is left: no copy, no note, no work folder.
  std::vector<std::string> expected{"8634FWUpgradeTool"};
  if (c.stays) expected.push_back(c.file);
  EXPECT_EQ(filesBelow(programFolder()), expected);
  EXPECT_FALSE(fs::exists(workFolder()));
}

INSTANTIATE_TEST_SUITE_P(UserFiles, ProgramUserFilesTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<UserFileCase>& info) { return info.param.name; });

}  // namespace
}  // namespace hbx::testing
