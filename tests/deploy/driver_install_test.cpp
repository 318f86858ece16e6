// Installing the filter through the setup library and removing it with the
// uninstall script, on the simulated computer.
#include <filesystem>
#include <thread>

#include "hub/host/native_system_view.h"
#include "sim/sim_processes.h"
#include "sim/sim_system.h"
#include "sim/win_paths.h"
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
                        Case{R"({"hubs": {"driverInstalled": false}, "os": {"wow64": false}})", driver::kSys32Payload},
                        // The 64-bit build: the amd64 section, with no redirection to turn off.
                        Case{R"({"hubs": {"driverInstalled": false}, "os": {"program": "x64"}})",
                             driver::kSys64KmdfPayload}}) {
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

// Windows keeps file-system redirection per thread: the install and the
// removal of a run are on different threads (start-up, the update thread),
// and each must start the 64-bit setup tools all the same.
TEST_F(DeployTest, InstallOnOneThreadAndRemovalOnAnotherLeaveNothing) {
  CHubUtility& utility = start(kNotInstalledBench);  // 64-bit Windows: the program is a WOW64 process
  std::thread([&] { EXPECT_EQ(utility.InstallFilterDriver(kTemp), 0); }).join();
  ASSERT_TRUE(exists(kInstalledDriver));
  EXPECT_FALSE(exists(L"C:\\Windows\\SysWOW64\\drivers\\zeltufdriver.sys"));
  std::wstring buffer = kTemp;
  std::thread([&] { EXPECT_EQ(utility.Remove_FilterDriverAndFiles(buffer, nullptr), 0); }).join();
  EXPECT_FALSE(exists(kInstalledDriver));
  EXPECT_FALSE(host->registry().value(kServiceKey, L"ImagePath").has_value());
  EXPECT_EQ(upperFilters().find(L"ZeltFilter"), std::wstring::npos);
  EXPECT_EQ(utility.strFilterLeftovers(), L"");
  // Neither thread keeps redirection off afterwards.
  EXPECT_FALSE(host->system().fsRedirectionDisabled());
}

// Starts every setup tool as the 32-bit one, as a program that leaves
// file-system redirection on for the removal did.
class ThirtyTwoBitTools final : public platform::ProcessPort {
 public:
  ThirtyTwoBitTools(platform::ProcessPort& inner, sim::WinPaths& paths) : inner_(inner), paths_(paths) {}
  bool processStatusAvailable() override { return inner_.processStatusAvailable(); }
  std::optional<std::vector<std::uint32_t>> enumProcesses(std::uint32_t capacity) override {
    return inner_.enumProcesses(capacity);
  }
  std::optional<std::wstring> processBaseName(std::uint32_t pid) override { return inner_.processBaseName(pid); }
  std::uint32_t currentProcessId() override { return inner_.currentProcessId(); }
  bool terminateProcess(std::uint32_t pid, std::uint32_t code, bool& opened, std::uint32_t& error) override {
    return inner_.terminateProcess(pid, code, opened, error);
  }
  bool requestStop(std::uint32_t pid, std::uint32_t& error) override { return inner_.requestStop(pid, error); }
  bool tryLockUpdate() override { return inner_.tryLockUpdate(); }
  void unlockUpdate() override { inner_.unlockUpdate(); }
  platform::ProcessLaunch createProcessAndWait(const std::wstring& line, const std::wstring& folder,
                                               std::uint32_t waitMs) override {
    const bool off = paths_.redirectionOff();
    paths_.setRedirectionOff(false);
    const platform::ProcessLaunch r = inner_.createProcessAndWait(line, folder, waitMs);
    paths_.setRedirectionOff(off);
    return r;
  }
  platform::ProcessLaunch shellExecuteAndWait(const std::wstring& file, const std::wstring& parameters,
                                              std::uint32_t waitMs) override {
    return inner_.shellExecuteAndWait(file, parameters, waitMs);
  }

 private:
  platform::ProcessPort& inner_;
  sim::WinPaths& paths_;
};

TEST_F(DeployTest, RemovalThatLeavesTheDriverFileSaysSo) {
  CHubUtility& installer = start(kNotInstalledBench);
  ASSERT_EQ(installer.InstallFilterDriver(kTemp), 0);
  const platform::Ports ports = host->ports();
  ThirtyTwoBitTools tools(ports.processes, host->paths());
  CHubUtility remover(platform::Ports{ports.deviceIo, ports.hubIo, ports.setupApi, ports.registry, tools, ports.system,
                                      ports.files, ports.payloads, ports.clock, ports.windows, ports.digest});
  std::wstring buffer = kTemp;
  EXPECT_EQ(remover.Remove_FilterDriverAndFiles(buffer, nullptr), CHubUtility::kRemovalLeftDriver);
  // The 32-bit tools took the filter out of the list and the service away,
  // and looked for the driver file in the 32-bit system folder.
  EXPECT_TRUE(exists(kInstalledDriver));
  EXPECT_EQ(remover.strFilterLeftovers(), L"C:\\Windows\\system32\\drivers\\zeltufdriver.sys");
  EXPECT_NE(debugLog().find("The filter driver was not removed; left: C:\\Windows\\system32\\drivers\\zeltufdriver.sys"),
            std::string::npos);
  // The package is deleted all the same.
  for (const std::wstring& file : packageFiles()) EXPECT_FALSE(exists(std::wstring(kDriverFolder) + L"\\" + file));
}

// Installed and current at start-up: nothing is in the temporary folder, so
// the removal extracts the package first to have the script and the INF.
TEST_F(DeployTest, RemovalWithoutThePackageOnDiskExtractsItFirst) {
  CHubUtility& utility = start();  // the built-in state: installed
  ASSERT_TRUE(utility.bIsInstallZeltFilterDriverFromRegistry());
  ASSERT_TRUE(exists(kInstalledDriver));
  {
    const NativeSystemView native(host->ports().system, utility.IsWow64());
    ASSERT_EQ(utility.vGetFileVersionInfo(kInstalledDriver), L"1.0.7.0");
  }
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
