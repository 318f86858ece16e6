// Writing the driver package and the device-console tool.
#include <filesystem>

#include "tests/deploy/deploy_fixture.h"
#include <fstream>

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(DeployTest, PackageIsWrittenByteForByteWithTheAmd64BuildOfTheWindows) {
  struct Case {
    const char* windows;
    driver::PayloadId amd64;
  };
  for (const Case& c : {Case{"8.1", driver::kSys64Payload}, Case{"10", driver::kSys64KmdfPayload},
                        Case{"11", driver::kSys64KmdfPayload}}) {
    SCOPED_TRACE(c.windows);
    CHubUtility& utility = start((std::string(R"({"usb": {"windows": ")") + c.windows + R"("}})").c_str());
    // Distinct bytes per build, so the test sees which one was taken.
    host->payloads().replace(L"SYS", 154, {'3', '2'});
    host->payloads().replace(L"SYS", 155, {'6', '4'});
    host->payloads().replace(L"SYS", 165, {'K', 'M', 'D', 'F'});

    ASSERT_EQ(utility.nLoadFilterDriverLib(kTemp), 0);
    const std::wstring folder = std::wstring(kDriverFolder) + L"\\";
    EXPECT_EQ(bytesOf(folder + L"zeltufdriver.inf"), carried(driver::kInfPayload));
    EXPECT_EQ(bytesOf(folder + L"zeltufdriver.cat"), carried(driver::kCatPayload));
    EXPECT_EQ(bytesOf(folder + L"i386\\zeltufdriver.sys"), carried(driver::kSys32Payload));
    EXPECT_EQ(bytesOf(folder + L"amd64\\zeltufdriver.sys"), carried(c.amd64));
    EXPECT_EQ(bytesOf(folder + L"k9371937.DLL"), carried(driver::kSupportLibraryPayload));
    EXPECT_EQ(bytesOf(folder + L"msvcrtd.dll"), carried(driver::kDebugRuntimePayload));
    EXPECT_EQ(bytesOf(folder + L"DeleteZeltufdriver.bat"), carried(driver::kUninstallScriptPayload));
  }
}

TEST_F(DeployTest, CarriedDriverBuildsAndToolsAreVersionedPeFiles) {
  CHubUtility& utility = start();
  for (const driver::PayloadId& id : {driver::kSys32Payload, driver::kSys64Payload, driver::kSys64KmdfPayload}) {
    const fs::path file = bench.path() / "drive_c" / "driver.sys";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(carried(id).data()),
                                               static_cast<std::streamsize>(carried(id).size()));
    EXPECT_EQ(utility.vGetFileVersionInfo(L"C:\\driver.sys"), L"1.0.7.0") << id.id;
  }
  for (const driver::PayloadId& id : {driver::kDevcon32Payload, driver::kDevcon64Payload, driver::kSupportLibraryPayload,
                                      driver::kDebugRuntimePayload}) {
    const std::vector<std::uint8_t> bytes = carried(id);
    ASSERT_GE(bytes.size(), 2u) << id.id;
    EXPECT_EQ(bytes[0], 'M') << id.id;
    EXPECT_EQ(bytes[1], 'Z') << id.id;
  }
}

TEST_F(DeployTest, StaleFilesAreReplaced) {
  CHubUtility& utility = start();
  bench.write("drive_c/Windows/Temp/HBX763xFW/FilterDriver/zeltufdriver.inf", "stale and much longer than nothing");
  ASSERT_EQ(utility.nLoadFilterDriverLib(kTemp), 0);
  EXPECT_EQ(bytesOf(std::wstring(kDriverFolder) + L"\\zeltufdriver.inf"), carried(driver::kInfPayload));
}

// The first payload that cannot be written stops the package with its
// status and log line; files after it are not written.
TEST_F(DeployTest, FirstFailedPayloadStopsThePackage) {
  struct Case {
    driver::PayloadId id;
    int status;
    const char* logLine;
  };
  const Case cases[] = {
      {driver::kInfPayload, -1, "Load Filter Driver inf, WriteFile Failed, Erroe=1814"},
      {driver::kCatPayload, -10, "Load Filter Driver cat, WriteFile Failed, Erroe=1814"},
      {driver::kSys32Payload, -10, "Load Load Filter Driver i368/zeltufdriver.sys, WriteFile Failed, Erroe=1814"},
      {driver::kSys64KmdfPayload, -10, "Load Filter Driver amd64/zeltufdriver.sys, WriteFile Failed, Erroe=1814"},
      {driver::kSupportLibraryPayload, -10, "Load k9371937.DLL, WriteFile Failed, Erroe=1814"},
      {driver::kDebugRuntimePayload, -10, " Load msvcrtd.dll, WriteFile Failed, Erroe=1814"},
      {driver::kUninstallScriptPayload, -1, "Load Filter Driver inf, WriteFile Failed, Erroe=1814"},
  };
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    SCOPED_TRACE(k);
    CHubUtility& utility = start();
    host->payloads().remove(cases[k].id.type, cases[k].id.id);
    EXPECT_EQ(utility.nLoadFilterDriverLib(kTemp), cases[k].status);
    EXPECT_NE(debugLog().find("CHubUtility::nLoadFilterDriverLib:"), std::string::npos);
    EXPECT_NE(debugLog().find(cases[k].logLine), std::string::npos) << debugLog();
    for (std::size_t f = 0; f < packageFiles().size(); ++f) {
      EXPECT_EQ(exists(std::wstring(kDriverFolder) + L"\\" + packageFiles()[f]), f < k) << f;
    }
  }
}

TEST_F(DeployTest, FileThatCannotBeReplacedFailsTheWriter) {
  CHubUtility& utility = start();
  const fs::path cat = bench.write("drive_c/Windows/Temp/HBX763xFW/FilterDriver/zeltufdriver.cat", "locked");
  fs::permissions(cat, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(utility.nLoadFilterDriverLib(kTemp), -10);
  EXPECT_EQ(readText(cat), "locked");
  EXPECT_FALSE(exists(std::wstring(kDriverFolder) + L"\\i386\\zeltufdriver.sys"));
  EXPECT_NE(debugLog().find("Load Filter Driver cat, WriteFile Failed, Erroe=80"), std::string::npos);
}

TEST_F(DeployTest, ShortWriteFailsTheWriter) {
  CHubUtility& utility = start();
  host->files().shortWritesTo("zeltufdriver.cat");
  EXPECT_EQ(utility.nLoadFilterDriverLib(kTemp), -10);
  EXPECT_FALSE(exists(std::wstring(kDriverFolder) + L"\\i386\\zeltufdriver.sys"));
}

TEST_F(DeployTest, UninstallScriptAloneIsWrittenOrReportsMinusTen) {
  CHubUtility& utility = start();
  EXPECT_EQ(utility.nLoadDelInstall_INF(kTemp), 0);
  EXPECT_TRUE(exists(std::wstring(kDriverFolder) + L"\\DeleteZeltufdriver.bat"));
  EXPECT_FALSE(exists(std::wstring(kDriverFolder) + L"\\zeltufdriver.inf"));
  host->payloads().remove(L"BAT", 164);
  EXPECT_EQ(utility.nLoadDelInstall_INF(kTemp), -10);
}

TEST_F(DeployTest, DevconOfTheWindowsIsPlacedKeptAndRemoved) {
  struct Case {
    const char* bench;
    const char* mine;
    const char* other;
    driver::PayloadId id;
  };
  for (const Case& c : {Case{R"({"os": {"wow64": true}})", "devconAMD64.exe", "devcon.exe", driver::kDevcon64Payload},
                        Case{R"({"os": {"wow64": false}})", "devcon.exe", "devconAMD64.exe", driver::kDevcon32Payload},
                        // The 64-bit build is no WOW64 process, on Windows old and new.
                        Case{R"({"os": {"program": "x64"}})", "devconAMD64.exe", "devcon.exe", driver::kDevcon64Payload},
                        Case{R"({"os": {"program": "x64", "isWow64Process2Present": false}})", "devconAMD64.exe",
                             "devcon.exe", driver::kDevcon64Payload}}) {
    SCOPED_TRACE(c.bench);
    CHubUtility& utility = start(c.bench);
    const fs::path folder = bench.path() / "drive_c" / "HBX";
    fs::remove_all(folder);
    ASSERT_EQ(utility.nADD_Delete_DevconFile(L"C:\\HBX", true), 0);
    const std::string written = readText(folder / c.mine);
    EXPECT_EQ(std::vector<std::uint8_t>(written.begin(), written.end()), carried(c.id));
    EXPECT_FALSE(fs::exists(folder / c.other));

    // An existing tool is kept as it is.
    bench.write(fs::path("drive_c/HBX") / c.mine, "user's own");
    EXPECT_EQ(utility.nADD_Delete_DevconFile(L"C:\\HBX", true), 0);
    EXPECT_EQ(readText(folder / c.mine), "user's own");

    // Removal takes only the tool of this Windows.
    bench.write(fs::path("drive_c/HBX") / c.other, "other");
    EXPECT_EQ(utility.nADD_Delete_DevconFile(L"C:\\HBX", false), 0);
    EXPECT_FALSE(fs::exists(folder / c.mine));
    EXPECT_TRUE(fs::exists(folder / c.other));
    EXPECT_EQ(utility.nADD_Delete_DevconFile(L"C:\\HBX", false), 0);
  }
}

TEST_F(DeployTest, DevconThatCannotBeWrittenIsMinusTen) {
  CHubUtility& utility = start();
  host->payloads().remove(L"EXE", 152);
  EXPECT_EQ(utility.nADD_Delete_DevconFile(L"C:\\HBX", true), -10);
  EXPECT_NE(debugLog().find("CHubUtility::nADD_Delete_DevconFile:"), std::string::npos);
  EXPECT_NE(debugLog().find("Load Filter Driver inf, WriteFile Failed, Erroe=1814"), std::string::npos);
}

TEST_F(DeployTest, RegistryTestFindsTheFilterInAnyCase) {
  struct Case {
    const char* registry;  // the USB class key's values, as bench.json writes them
    bool registered;
  };
  const Case cases[] = {
      {R"({"UpperFilters": {"type": "REG_MULTI_SZ", "value": ["ZeltFilter"]}})", true},
      {R"({"UpperFilters": {"type": "REG_MULTI_SZ", "value": ["zeltfilter"]}})", true},
      {R"({"UpperFilters": {"type": "REG_MULTI_SZ", "value": ["usbfilter", "ZELTFILTER"]}})", true},
      {R"({"UpperFilters": {"type": "REG_MULTI_SZ", "value": ["usbfilter"]}})", false},
      {R"({"UpperFilters": {"type": "REG_MULTI_SZ", "value": []}})", false},
      {R"({})", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.registry);
    CHubUtility& utility = start(
        (std::string(R"({"hubs": {"driverInstalled": false}, "registry": {"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}": )") +
         c.registry + "}}")
            .c_str());
    EXPECT_EQ(utility.bIsInstallZeltFilterDriverFromRegistry(), c.registered);
  }
  // No class key at all.
  CHubUtility& utility = start(R"({"hubs": {"driverInstalled": false}, "registry": {"SYSTEM\\Other": {}}})");
  host->registry().deleteKey(driver::kUsbClassKey);
  EXPECT_FALSE(utility.bIsInstallZeltFilterDriverFromRegistry());
  EXPECT_NE(debugLog().find("bRegistryReadWrite(REG_MULTI_SZ) Failed, wSubKey[SYSTEM"), std::string::npos);
}

}  // namespace
}  // namespace hbx::testing
