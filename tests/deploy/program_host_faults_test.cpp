// The built program on a computer that lets it down: a full disk, a file
// another program holds, a folder it may not change, a driver install that
// fails or waits for a restart. Each run ends with its code and says why, no
// hub is passed, and the computer is left as it was found.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>

#include "tests/deploy/program_fixture.h"
#include "tools/pe_stub/pe_stub_writer.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

struct HostFaultCase {
  const char* name;
  const char* host;  // the bench's "host" section; %PROGRAM% is the program folder
  const char* arguments;
  bool oldDriverInstalled;  // the filter registered, its driver file at 1.0.6.0
  int status;
  const char* says;  // a line of standard output or standard error
};

const HostFaultCase kCases[] = {
    {"StagedFirmwareCutShort", R"({"shortWriteTo": "TempBinData.bin"})", "/DOS", false, -1,
     "The FW is not valide, Please check again!!\n"},
    {"SettingsFileCutShort", R"({"shortWriteTo": "HBX763xFWUpg.ini"})", "/DOS", false, -10,
     "[Error] vLoadINIFile Failed["},
    {"DriverFileCutShort", R"({"shortWriteTo": "zeltufdriver.sys"})", "/DOS", false, -20,
     "[Error] Please install Corvane Filter Driver !!\n"},
    {"DevconCutShort", R"({"shortWriteTo": "devconAMD64.exe"})", "/DOS", false, -5,
     "[Error] extra necessary files failed!!\n"},
    {"StagedFirmwareHeldByAnotherProgram", R"({"sharingViolationOn": "TempBinData.bin"})", "/DOS", false, -1,
     "The FW is not valide, Please check again!!\n"},
    {"SettingsFileHeldByAnotherProgram", R"({"sharingViolationOn": "HBX763xFWUpg.ini"})", "/SILENT", false, -10,
     "[Error] vLoadINIFile Failed["},
    {"DriverInfHeldByAnotherProgram", R"({"sharingViolationOn": "zeltufdriver.inf"})", "/DOS", false, -20,
     "[Error] Please install Corvane Filter Driver !!\n"},
    {"ReadOnlyProgramFolder", R"({"readOnlyFolders": ["%PROGRAM%"]})", "/DOS", false, -10,
     "[Error] vLoadINIFile Failed["},
    {"ReadOnlyTempFolder", R"({"readOnlyFolders": ["C:\\Windows\\Temp"]})", "/DOS", false, -20,
     "[Error] Please install Corvane Filter Driver !!\n"},
    {"DriverInstallFails", R"({"driverInstall": "fails"})", "/DOS", false, -20,
     "[Error] Can not find Corvane Filter Driver !!\n"},
    // The dialog installs once more after the missing driver file, and must
    // not run without the driver when that install fails as well.
    {"DriverInstallFailsInTheDialog", R"({"driverInstall": "fails"})", "", false, -20,
     "[Error] Please install Corvane Filter Driver !!\n"},
    // An install over an older driver that is not replaced: the run must not
    // go on with the older driver.
    {"DriverInstallFailsOverAnOlderDriver", R"({"driverInstall": "fails"})", "/DOS", true, -20,
     "[Error] Please install Corvane Filter Driver !!\n"},
    {"DriverInstallNeedsRestart", R"({"driverInstall": "restartNeeded"})", "/DOS", true, -20,
     "[Error] Please install Corvane Filter Driver !!\n"},
    // The carried image's copy cannot be written: the work folder made for
    // its note goes again with the refused source.
    {"CarriedImageHeldByAnotherProgram", R"({"sharingViolationOn": "Config_250318_25_01_0C.bin"})",
     "/DOS /U Config_250318_25_01_0C.bin", false, -10, "[Error] Input FW File is not exist!!! \n"},
};

// Names the case in test listings instead of its bytes.
void PrintTo(const HostFaultCase& c, std::ostream* os) { *os << c.name; }

class ProgramHostFaultTest : public ProgramFolderTest, public ::testing::WithParamInterface<HostFaultCase> {
 protected:
  // The program folder as bench.json writes a Windows path on drive Z:.
  std::string programFolderInJson() const {
    std::string path = "Z:";
    for (char c : programFolder().string()) path += c == '/' ? std::string("\\\\") : std::string(1, c);
    return path;
  }
};

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

TEST_P(ProgramHostFaultTest, EndsWithItsCodeAndLeavesTheComputerAsFound) {
  const HostFaultCase& c = GetParam();
  std::string host = c.host;
  if (const std::size_t at = host.find("%PROGRAM%"); at != std::string::npos)
    host.replace(at, 9, programFolderInJson());
  if (c.oldDriverInstalled) {
    bench(R"({"usb": {"upperFilters": ["ZeltFilter"]}, "host": )" + host + "}");
    tools::PeStubOptions options;
    options.fileVersion = {1, 0, 6, 0};
    fs::create_directories(installedDriver().parent_path());
    ASSERT_TRUE(tools::writePeStub(installedDriver(), options));
  } else {
    bench(R"({"host": )" + host + "}");
  }

  const ProgramRun r = run(std::string(c.arguments) + " /DBG 3", "0");
  EXPECT_EQ(r.status, c.status) << r.output << r.errors;
  EXPECT_NE((r.output + r.errors).find(c.says), std::string::npos) << r.output << r.errors;
  EXPECT_EQ(r.output.find("PASS"), std::string::npos) << r.output;
  // Neither the filter nor its service stays registered, and no file stays.
  EXPECT_EQ(lowerCase(readText(benchFolder() / "registry.json")).find("zeltfilter"), std::string::npos);
  expectNothingWritten();
}

INSTANTIATE_TEST_SUITE_P(HostFaults, ProgramHostFaultTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HostFaultCase>& info) { return info.param.name; });

}  // namespace
}  // namespace hbx::testing
