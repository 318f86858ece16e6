// Installing the filter through the setup library and removing it with the
// uninstall script, on the simulated computer.
#include <filesystem>

#include "sim/sim_processes.h"
#include "tests/deploy/deploy_fixture.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kServiceKey = L"SYSTEM\\CurrentControlSet\\Services\\ZeltFilter";

TEST_F(DeployTest, InstallRegistersTheFilterCopiesTheDriverAndMakesDeviceObjects) {
  struct Case {
    const char* bench;
    driver::PayloadId copied;
  };
  for (const Case& c : {Case{R"({"hubs": {"driverInstalled": false}, "os": {"wow64": true}})", driver::kSys64KmdfPayload},
                        Case{R"({"hubs": {"driverInstalled": false}, "os": {"wow64": false}})", driver::kSys32Payload}}) {
    SCOPED_TRACE(c.bench);
    fs::remove_all(bench.path() / "drive_c");
    CHubUtility& utility = start(c.bench);
    host->payloads().replace(L"SYS", 154, {'3', '2'});
    host->payloads().replace(L"SYS", 165, {'6', '4'});
    ASSERT_FALSE(deviceObjects());
    ASSERT_FALSE(utility.bIsInstallZeltFilterDriverFromRegistry());

    ASSERT_EQ(utility.InstallFilterDriver(kTemp), 0);
    EXPECT_TRUE(utility.bIsInstallZeltFilterDriverFromRegistry());
    EXPECT_EQ(upperFilters(), L"ZeltFilter||");
    EXPECT_EQ(bytesOf(kInstalledDriver), carried(c.copied));
    EXPECT_TRUE(host->registry().value(kServiceKey, L"ImagePath").has_value());
    EXPECT_TRUE(deviceObjects());
    // The install does not leave the process in the driver folder.
    EXPECT_EQ(host->system().currentDirectory(), L"C:\\HBX");
  }
}

TEST_F(DeployTest, InstallKeepsOtherFiltersAndDoesNotListOursTwice) {
  CHubUtility& utility = start(R"({"hubs": {"driverInstalled": false}, "usb": {"upperFilters": ["usbfilter", "ZELTFILTER"]}})");
  ASSERT_EQ(utility.InstallFilterDriver(kTemp), 0);
  EXPECT_EQ(upperFilters(), L"usbfilter|ZELTFILTER||");
  std::wstring buffer = kTemp;
  ASSERT_EQ(utility.Remove_FilterDriverAndFiles(buffer, nullptr), 0);
  EXPECT_EQ(upperFilters(), L"usbfilter||");
}

TEST_F(DeployTest, RemovalUninstallsAndLeavesNothingButTheTwoFoldersForTheCaller) {
  CHubUtility& utility = start(kNotInstalledBench);
  ASSERT_EQ(utility.InstallFilterDriver(kTemp), 0);
  bench.write("drive_c/HBX/HBXFW_Temp/TempBinData.bin", "staged");
  bool runImagesRemoved = false;

  std::wstring buffer = kTemp;
  ASSERT_EQ(utility.Remove_FilterDriverAndFiles(buffer, [&] { runImagesRemoved = true; }), 0);
  EXPECT_EQ(buffer, kDriverFolder);
  EXPECT_TRUE(runImagesRemoved);
  EXPECT_FALSE(utility.bIsInstallZeltFilterDriverFromRegistry());
  EXPECT_FALSE(exists(kInstalledDriver));
  EXPECT_FALSE(host->registry().value(kServiceKey, L"ImagePath").has_value());
  EXPECT_FALSE(deviceObjects());
  EXPECT_FALSE(exists(L"C:\\HBX\\HBXFW_Temp"));

  // What the caller removes next comes away: the folders are empty and not
  // the current directory.
  std::uint32_t error = 0;
  EXPECT_TRUE(host->ports().files.removeDirectory(buffer, error)) << error;
  EXPECT_TRUE(host->ports().files.removeDirectory(L"C:\\Windows\\Temp\\HBX763xFW", error)) << error;
  EXPECT_TRUE(fs::is_empty(bench.path() / "drive_c" / "Windows" / "Temp"));
}

// Installed and current at start-up: nothing is in the temporary folder, so
// the removal extracts the package first to have the script and the INF.
TEST_F(DeployTest, RemovalWithoutThePackageOnDiskExtractsItFirst) {
  CHubUtility& utility = start();  // the built-in state: installed
  ASSERT_TRUE(utility.bIsInstallZeltFilterDriverFromRegistry());
  ASSERT_TRUE(exists(kInstalledDriver));
  ASSERT_EQ(utility.vGetFileVersionInfo(kInstalledDriver), L"1.0.7.0");
  ASSERT_FALSE(exists(kDriverFolder));

  std::wstring buffer = kTemp;
  ASSERT_EQ(utility.Remove_FilterDriverAndFiles(buffer, nullptr), 0);
  EXPECT_FALSE(utility.bIsInstallZeltFilterDriverFromRegistry());
  EXPECT_FALSE(exists(kInstalledDriver));
  EXPECT_FALSE(deviceObjects());
  for (const std::wstring& file : packageFiles()) EXPECT_FALSE(exists(std::wstring(kDriverFolder) + L"\\" + file));
}

TEST_F(DeployTest, ScriptThatCannotStartLeavesEverythingInPlace) {
  CHubUtility& utility = start();
  // Neither the package nor its folder can be written: no script to run.
  host->payloads().remove(L"INF", 157);
  host->payloads().remove(L"BAT", 164);
  bench.write("drive_c/HBX/HBXFW_Temp/TempBinData.bin", "staged");
  bool runImagesRemoved = false;
  std::wstring buffer = kTemp;
  EXPECT_EQ(utility.Remove_FilterDriverAndFiles(buffer, [&] { runImagesRemoved = true; }), -1);
  EXPECT_FALSE(runImagesRemoved);
  EXPECT_TRUE(exists(L"C:\\HBX\\HBXFW_Temp\\TempBinData.bin"));
  EXPECT_TRUE(utility.bIsInstallZeltFilterDriverFromRegistry());
  const std::string log = debugLog();
  EXPECT_NE(log.find("CreateProcess Failed,szCmdLine=DeleteZeltufdriver.bat"), std::string::npos) << log;
  EXPECT_NE(log.find("Launch_DelINF failed[-1],"), std::string::npos);
}

TEST_F(DeployTest, InstallReportsTheExtractionStatus) {
  CHubUtility& utility = start(kNotInstalledBench);
  host->payloads().remove(L"CAT", 156);
  EXPECT_EQ(utility.InstallFilterDriver(kTemp), -10);
  EXPECT_NE(debugLog().find("LoadFilterDriverLib failed[-10],"), std::string::npos);
  EXPECT_FALSE(utility.bIsInstallZeltFilterDriverFromRegistry());
}

// The setup library stops at a file it cannot copy: the filter is not
// registered, and start-up's driver-file check is what notices it.
TEST_F(DeployTest, InstallWithoutTheDriverBuildInstallsNothing) {
  CHubUtility& utility = start(kNotInstalledBench);
  ASSERT_EQ(utility.nLoadFilterDriverLib(kTemp), 0);
  fs::remove(hostPath(std::wstring(kDriverFolder) + L"\\amd64\\zeltufdriver.sys"));
  EXPECT_EQ(utility.Launch_INF(kDriverFolder), 0);
  EXPECT_FALSE(utility.bIsInstallZeltFilterDriverFromRegistry());
  EXPECT_FALSE(exists(kInstalledDriver));
  EXPECT_FALSE(deviceObjects());
}

// A setup command that is still running at the end of its wait (a setup
// library asking for a file in a hidden window) fails the install and the
// uninstall, and the wait is the setup limit.
TEST_F(DeployTest, SetupCommandsThatOutliveTheirWaitFail) {
  CHubUtility& utility = start(kNotInstalledBench);
  std::vector<std::uint32_t> waits;
  host->processes().setCommandHandler([&](const std::wstring&, const std::wstring&, std::uint32_t waitMs) {
    waits.push_back(waitMs);
    return std::optional<platform::ProcessLaunch>(platform::ProcessLaunch{true, 0, 1460, true});
  });
  EXPECT_EQ(utility.InstallFilterDriver(kTemp), -1);
  EXPECT_EQ(utility.Launch_DelINF(kTemp), -1);
  EXPECT_EQ(waits, (std::vector<std::uint32_t>{driver::kSetupCommandWaitMs, driver::kSetupCommandWaitMs}));
  const std::string log = debugLog();
  EXPECT_NE(log.find("Setup command ended after 180000 ms, szCmdLine=rundll32.exe setupapi,InstallHinfSection"),
            std::string::npos) << log;
  EXPECT_NE(log.find("Launch_INF failed[-1],"), std::string::npos);
  EXPECT_NE(log.find("Setup command ended after 180000 ms, szCmdLine=DeleteZeltufdriver.bat"), std::string::npos);
}

TEST_F(DeployTest, CommandsTheComputerDoesNotKnowFailToStart) {
  start();
  for (const wchar_t* command : {L"cmd.exe /c dir", L"setup.exe", L"missing.bat"}) {
    const platform::ProcessLaunch launch = host->ports().processes.createProcessAndWait(command, L"C:\\HBX", 1000);
    EXPECT_FALSE(launch.started) << command;
    EXPECT_EQ(launch.error, platform::err::kFileNotFound) << command;
  }
}

}  // namespace
}  // namespace hbx::testing
