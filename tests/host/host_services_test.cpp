// The host services of the utility object on the simulated host.
#include "tests/host/utility_fixture.h"

#include <thread>

#include <nlohmann/json.hpp>

#include "hub/host/native_system_view.h"
#include "sim/sim_clock.h"
#include "sim/sim_processes.h"
#include "sim/sim_registry.h"
#include "sim/sim_system.h"
#include "sim/sim_windows.h"
#include "tools/pe_stub/pe_stub_writer.h"

namespace hbx {
namespace {

using testing::UtilityTest;
namespace fs = std::filesystem;

constexpr const char* kCurrentVersion = "SOFTWARE\\\\Microsoft\\\\Windows NT\\\\CurrentVersion";

TEST_F(UtilityTest, OsCodeTable) {
  struct Case {
    std::uint32_t major, minor, platformId;
    int regMajor;          // CurrentMajorVersionNumber, -1 absent
    const char* regBuild;  // CurrentBuildNumber, null absent
    int code;
  } cases[] = {
      {5, 0, 2, -1, nullptr, 1},       // Windows 2000
      {5, 2, 2, -1, nullptr, 1},       // Server 2003
      {5, 1, 2, -1, nullptr, 2},       // XP
      {6, 0, 2, -1, "6002", 4},        // Vista
      {6, 1, 2, -1, "7601", 8},        // 7
      {6, 2, 2, -1, "9200", 16},       // 8
      {6, 2, 2, -1, "9600", 16},       // 8.1 reports 6.2 to the program
      {6, 3, 2, -1, nullptr, 32},
      {6, 2, 2, 10, "19045", 64},      // 10: both values
      {6, 2, 2, -1, "22631", 64},      // build number alone
      {6, 2, 2, 10, nullptr, 64},      // major version alone
      {6, 0, 2, 0x1000A, "9999", 64},  // only the low 16 bits count
      {6, 2, 2, 6, "9999", 16},
      {6, 4, 2, 10, "19045", 255},     // minor above 3
      {10, 0, 2, 10, "19045", 255},    // neither 5 nor 6
      {4, 0, 2, -1, nullptr, 255},
      {6, 1, 1, -1, nullptr, 255},     // not the NT family
  };
  for (const Case& c : cases) {
    nlohmann::json bench;
    bench["os"]["version"] = {{"major", c.major}, {"minor", c.minor}, {"platformId", c.platformId}};
    nlohmann::json& values = bench["registry"]["SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"];
    values = nlohmann::json::object();
    if (c.regMajor >= 0) values["CurrentMajorVersionNumber"] = {{"type", "REG_DWORD"}, {"value", c.regMajor}};
    if (c.regBuild) values["CurrentBuildNumber"] = {{"type", "REG_SZ"}, {"value", c.regBuild}};
    CHubUtility& u = start(bench.dump().c_str());
    const std::string row = bench.dump();
    EXPECT_EQ(u.ucOSCode(), c.code) << row;
    EXPECT_EQ(u.GetOSVersion(), c.code) << row;
  }
  EXPECT_NE(debugLog().find("MSG::CHubUtility::GetOSVersion:"), std::string::npos);
}

TEST_F(UtilityTest, OsVersionLogLine) {
  start();
  EXPECT_NE(debugLog().find(":  !! dwCurMajorVer=[10], dwCurBuildNumber=[19045]"), std::string::npos) << debugLog();
}

TEST_F(UtilityTest, PathTest) {
  CHubUtility& u = start(nullptr, L"C:\\Tools\\x.exe");
  bench.write("drive_c/Tools/ok.bin", "x");
  const fs::path readOnly = bench.write("drive_c/Tools/ro.bin", "x");
  fs::permissions(readOnly, fs::perms::owner_read);
  struct Case {
    const wchar_t* path;
    bool exists;
    const char* box;  // shown with bShowMsg 1
  } cases[] = {
      {L"C:\\Tools\\OK.BIN", true, ""},
      {L"C:\\Tools", true, ""},
      {L"C:\\Tools\\ro.bin", false, "[8634FWUpgradeTool] C:\\Tools\\ro.bin File/Path Not Read/Write\n"},
      {L"C:\\Tools\\none.bin", false, "[8634FWUpgradeTool] C:\\Tools\\none.bin File/Path Not Exist\n"},
  };
  for (const Case& c : cases) {
    output.clear();
    EXPECT_EQ(u.bCheckFilePathExists(c.path, 0), c.exists) << toUtf8(c.path);
    EXPECT_EQ(standardOutput(), "") << toUtf8(c.path);
    EXPECT_EQ(u.bCheckFilePathExists(c.path, 1), c.exists);
    EXPECT_EQ(standardOutput(), c.box) << toUtf8(c.path);
  }
  const std::string log = debugLog();
  EXPECT_NE(log.find("ERR::CHubUtility::bCheckFilePathExists:"), std::string::npos);
  EXPECT_NE(log.find(": bCheckFilePathExists: Not Exist , strFilePath : C:\\Tools\\none.bin , err : 2 , dwErrorCode 2"),
            std::string::npos) << log;
  EXPECT_NE(log.find(": bCheckFilePathExists: Not Read/Write , strFilePath : C:\\Tools\\ro.bin , err : 13 , dwErrorCode 5"),
            std::string::npos) << log;
}

TEST_F(UtilityTest, PlainBoxIsShownOnlyInInteractiveMode) {
  CHubUtility& u = start();
  host->system().allocConsole();
  // Unattended, the box goes to standard error and standard output keeps
  // only the console lines scripts parse.
  struct Case {
    bool silent, console;
    const char* output;
    const char* error;
  } cases[] = {
      {false, false, "[8634FWUpgradeTool] C:\\x File/Path Not Exist\n", ""},
      {true, false, "", "[8634FWUpgradeTool] C:\\x File/Path Not Exist\n"},
      {false, true, "", "[8634FWUpgradeTool] C:\\x File/Path Not Exist\n"},
      {true, true, "", "[8634FWUpgradeTool] C:\\x File/Path Not Exist\n"},
  };
  for (const Case& c : cases) {
    output.clear();
    errors.clear();
    u.setUnattendedMode(c.silent, c.console);
    EXPECT_FALSE(u.bCheckFilePathExists(L"C:\\x", 1));
    EXPECT_EQ(standardOutput(), c.output) << c.silent << c.console;
    EXPECT_EQ(standardError(), c.error) << c.silent << c.console;
  }
  // Three unattended calls put the text into the log, the interactive one did not.
  const std::string log = debugLog();
  std::size_t count = 0;
  for (std::size_t at = log.find("nShowPlainMessage:"); at != std::string::npos;
       at = log.find("nShowPlainMessage:", at + 1))
    ++count;
  EXPECT_EQ(count, 3u);
  EXPECT_NE(log.find(": C:\\x File/Path Not Exist"), std::string::npos);
  ASSERT_EQ(host->windows().shown().size(), 1u);
  EXPECT_EQ(host->windows().shown()[0].flags, platform::mb::kOk);
}

class RegistryTest : public UtilityTest {
 protected:
  void SetUp() override {
    const std::string big = std::string(R"("Big": {"type": "REG_BINARY", "value": "41", "repeat": 8193},)") +
                            R"("Full": {"type": "REG_BINARY", "value": "4100", "repeat": 4096},)";
    const std::string bench = std::string(R"({"registry": {)") + "\"" + kCurrentVersion + R"(": {
          "CurrentMajorVersionNumber": {"type": "REG_DWORD", "value": 10},
          "CurrentBuildNumber": {"type": "REG_SZ", "value": "19045"}},
        "SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}": {
          "UpperFilters": {"type": "REG_MULTI_SZ", "value": ["zeltufdriver", "other"]},)" +
                              big + R"(
          "Odd": {"type": "REG_BINARY", "value": "410042"},
          "Long": {"type": "REG_SZ", "value": "abcdefgh"}}}})";
    start(bench.c_str());
  }
  static constexpr const wchar_t* kUsbClass =
      L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
  static constexpr const wchar_t* kVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

  std::wstring readText(const std::wstring& key, const std::wstring& name, bool& ok) {
    wchar_t buffer[CHubUtility::kRegistryTextChars] = {};
    ok = utility->bRegistryReadWrite(key, name, buffer, 0, platform::regtype::kMultiSz);
    return buffer;
  }
};

TEST_F(RegistryTest, TextReadsTurnZeroCharactersIntoSpaces) {
  struct Case {
    const wchar_t* key;
    const wchar_t* name;
    bool ok;
    std::wstring text;
  } cases[] = {
      {kUsbClass, L"UpperFilters", true, L"zeltufdriver other  "},
      {kVersionKey, L"CurrentBuildNumber", true, L"19045 "},
      {kUsbClass, L"Odd", true, L"A"},                          // a trailing odd byte is dropped
      {kUsbClass, L"Full", true, std::wstring(259, L'A')},      // 8192 bytes: cut at 259 characters
      {kUsbClass, L"Big", false, L""},                          // 8193 bytes do not fit
      {kUsbClass, L"Missing", false, L""},
      {L"SYSTEM\\Nowhere", L"X", false, L""},
  };
  for (const Case& c : cases) {
    bool ok = false;
    EXPECT_EQ(readText(c.key, c.name, ok), c.text) << toUtf8(c.name);
    EXPECT_EQ(ok, c.ok) << toUtf8(c.name);
  }
  const std::string log = debugLog();
  // Only the missing key is logged; a failed query is not.
  EXPECT_NE(log.find(": RegOpenKeyExW fail, szSubKeyHub3=SYSTEM\\Nowhere, dwErrorCode=2"), std::string::npos) << log;
  EXPECT_EQ(log.find("Big"), std::string::npos);
  EXPECT_EQ(host->registry().openKeyCount(), 0u);
}

TEST_F(RegistryTest, DwordReadsAndWrites) {
  std::uint32_t value = 0xAAAAAAAA;
  EXPECT_TRUE(utility->bRegistryReadWrite(kVersionKey, L"CurrentMajorVersionNumber", &value, 0,
                                          platform::regtype::kDword));
  EXPECT_EQ(value, 10u);
  // A text read as a double word fills the caller's four bytes only.
  std::uint8_t guarded[8] = {0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_TRUE(utility->bRegistryReadWrite(kUsbClass, L"Long", guarded, 0, platform::regtype::kDword));
  EXPECT_EQ(guarded[0], 'a');
  EXPECT_EQ(guarded[4], 0xEE);
  // A failed read leaves the buffer as it was.
  value = 0x55;
  EXPECT_FALSE(utility->bRegistryReadWrite(kUsbClass, L"Missing", &value, 0, platform::regtype::kDword));
  EXPECT_EQ(value, 0x55u);

  // The value written is the first 16-bit unit, widened.
  const std::uint8_t data[4] = {0x01, 0x00, 0xAB, 0xCD};
  EXPECT_TRUE(utility->bRegistryReadWrite(kUsbClass, L"EnhancedPowerManagementEnabled", const_cast<std::uint8_t*>(data),
                                          1, platform::regtype::kDword));
  const auto written = host->registry().value(kUsbClass, L"EnhancedPowerManagementEnabled");
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->type, platform::regtype::kDword);
  EXPECT_EQ(written->bytes, (std::vector<std::uint8_t>{1, 0, 0, 0}));
}

TEST_F(RegistryTest, WritesNeverCreateKeysAndOnlyWriteDwords) {
  std::uint32_t one = 1;
  EXPECT_FALSE(utility->bRegistryReadWrite(L"SYSTEM\\NoSuchKey", L"V", &one, 1, platform::regtype::kDword));
  EXPECT_FALSE(host->registry().value(L"SYSTEM\\NoSuchKey", L"V").has_value());
  EXPECT_EQ(host->registry().openKey(L"SYSTEM\\NoSuchKey", platform::keyaccess::kRead).status, 2);
  const std::string log = debugLog();
  EXPECT_NE(log.find("ERR::CHubUtility::bRegistryReadWrite:"), std::string::npos);
  EXPECT_NE(log.find(": RegCreateKeyEx fail, szSubKeyHub3=SYSTEM\\NoSuchKey, dwErrorCode=2"), std::string::npos) << log;

  wchar_t text[CHubUtility::kRegistryTextChars] = L"abc";
  EXPECT_FALSE(utility->bRegistryReadWrite(kUsbClass, L"Text", text, 1, platform::regtype::kSz));
  EXPECT_FALSE(host->registry().value(kUsbClass, L"Text").has_value());
  EXPECT_EQ(host->registry().openKeyCount(), 0u);
}

class TwoCopiesTest : public UtilityTest {};

TEST_F(TwoCopiesTest, DetectAndEndAnotherRunningCopy) {
  const std::wstring name = L"8634FWUpgradeTool.exe";
  CHubUtility& u = start();
  EXPECT_EQ(u.DetectProcess(name), 1);
  EXPECT_EQ(u.GetProcessID(name), 0u);  // the own process is passed over

  // A second copy on the same bench (the same simulated computer).
  sim::SimHostOptions options;
  options.benchFolder = bench.path();
  sim::SimHost other(options);
  const std::uint32_t otherId = other.processes().currentProcessId();
  EXPECT_EQ(u.DetectProcess(name), 2);
  EXPECT_EQ(u.DetectProcess(L"8634fwupgradetool.exe"), 0);  // exact, case included
  EXPECT_EQ(u.GetProcessID(name), otherId);
  EXPECT_TRUE(u.KillProcess(otherId, 0));
  EXPECT_FALSE(other.processes().ownRegistrationPresent());
  EXPECT_EQ(u.DetectProcess(name), 1);

  EXPECT_FALSE(u.KillProcess(otherId, 0));
  EXPECT_NE(debugLog().find(": KillProcess: hProcess = NULL , pId:" + nformat("%x", otherId) + " , exitCode:0 , dwErrorCode:87"),
            std::string::npos) << debugLog();
}

TEST_F(TwoCopiesTest, ProcessesThatCannotBeListedAreNotCounted) {
  CHubUtility& u = start(R"({"processes": [{"pid": 8, "image": "8634FWUpgradeTool.exe", "openable": false},
                                           {"pid": 12, "image": "8634FWUpgradeTool.exe"}]})");
  EXPECT_EQ(u.DetectProcess(L"8634FWUpgradeTool.exe"), 2);
  EXPECT_EQ(u.GetProcessID(L"8634FWUpgradeTool.exe"), 12u);
}

TEST_F(TwoCopiesTest, MissingProcessStatusLibraryFindsNothing) {
  CHubUtility& u = start(R"({"os": {"processStatusLibrary": false}, "processes": [{"pid": 8, "image": "a.exe"}]})");
  EXPECT_EQ(u.DetectProcess(L"a.exe"), 0);
  EXPECT_EQ(u.GetProcessID(L"a.exe"), 0u);
  const std::string log = debugLog();
  EXPECT_NE(log.find("CHubUtility::DetectProcess:"), std::string::npos);
  // LoadLibraryW failed with ERROR_MOD_NOT_FOUND.
  EXPECT_NE(log.find(": DetectProcess: hPsApi = NULL , hPsApi : 0 , pName : a.exe , dwErrorCode 126"), std::string::npos)
      << log;
  EXPECT_NE(log.find(": GetProcessID: hPsApi = NULL , hPsApi : 0 , pName : a.exe"), std::string::npos) << log;
}

TEST_F(UtilityTest, RestartNeedsTheGrantedPrivilege) {
  struct Case {
    const char* bench;
    int result;
    const char* requests;
  } cases[] = {
      {R"({})", 1, "ExitWindowsEx flags=0x6 reason=0x0 accepted=1\n"},
      {R"({"os": {"restartAccepted": false}})", 0, "ExitWindowsEx flags=0x6 reason=0x0 accepted=0\n"},
      {R"({"os": {"shutdownPrivilegeGranted": false}})", 0, ""},
  };
  for (const Case& c : cases) {
    fs::remove(bench.path() / "restart-requests.log");
    CHubUtility& u = start(c.bench);
    EXPECT_EQ(u.bRebootSystem(), c.result) << c.bench;
    EXPECT_EQ(host->system().restartRequests(), c.requests[0] ? 1 : 0) << c.bench;
    EXPECT_EQ(testing::readText(bench.path() / "restart-requests.log"), c.requests) << c.bench;
  }
}

// Both builds tell 64-bit Windows, with and without IsWow64Process2; only
// the 32-bit build on it runs under WOW64.
TEST_F(UtilityTest, MachineOfWindowsForEitherBuild) {
  using namespace platform::machine;
  struct Case {
    const char* bench;
    std::uint16_t native;
    bool wow64;
  } cases[] = {
      {R"({"os": {"wow64": false}})", kI386, false},
      {R"({"os": {"wow64": false, "isWow64Process2Present": false}})", kI386, false},
      {R"({"os": {"wow64": true}})", kAmd64, true},
      {R"({"os": {"wow64": true, "isWow64Process2Present": false}})", kAmd64, true},
      {R"({"os": {"program": "x64"}})", kAmd64, false},
      {R"({"os": {"program": "x64", "isWow64Process2Present": false}})", kAmd64, false},
      {R"({"os": {"program": "x64", "isWow64Process2Present": false, "isWow64ProcessPresent": false}})", kAmd64, false},
      {R"({"os": {"machine": "arm64"}})", kArm64, true},
      {R"({"os": {"machine": "arm64", "program": "x64"}})", kArm64, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bench);
    CHubUtility& u = start(c.bench);
    EXPECT_EQ(u.uNativeMachine(), c.native);
    EXPECT_EQ(u.bIs64BitWindows(), c.native != kI386);
    EXPECT_EQ(u.IsWow64(), c.wow64);
  }
}

TEST_F(UtilityTest, FileVersionText) {
  CHubUtility& u = start(nullptr, L"C:\\Tools\\x.exe");
  tools::PeStubOptions driver;
  driver.fileVersion = {1, 0, 7, 0};
  ASSERT_TRUE(tools::writePeStub(bench.path() / "drive_c" / "Windows" / "system32" / "drivers" / "zeltufdriver.sys", driver));
  tools::PeStubOptions big;
  big.fileVersion = {10, 20, 30, 65535};
  ASSERT_TRUE(tools::writePeStub(bench.path() / "drive_c" / "Tools" / "big.exe", big));
  tools::PeStubOptions none;
  none.withVersionResource = false;
  ASSERT_TRUE(tools::writePeStub(bench.path() / "drive_c" / "Tools" / "none.sys", none));
  bench.write("drive_c/Tools/text.txt", "not a program");

  {
    // The real system folder, as the program looks at it.
    const NativeSystemView native(host->ports().system, u.IsWow64());
    EXPECT_EQ(u.vGetFileVersionInfo(L"C:\\Windows\\System32\\drivers\\ZELTUFDRIVER.SYS"), L"1.0.7.0");
  }
  EXPECT_EQ(u.vGetFileVersionInfo(L"big.exe"), L"10.20.30.65535");
  for (const wchar_t* empty : {L"C:\\Tools\\none.sys", L"C:\\Tools\\text.txt", L"C:\\Tools\\missing.sys", L"C:\\Tools"})
    EXPECT_EQ(u.vGetFileVersionInfo(empty), L"") << toUtf8(empty);
}

TEST_F(UtilityTest, AnsiRoundTripReplacesWhatTheCodePageLacks) {
  CHubUtility& u = start();
  EXPECT_EQ(u.WideStrToMultiStr(L"USB#ROOT_HUB30#4&1b"), L"USB#ROOT_HUB30#4&1b");
  EXPECT_EQ(u.WideStrToMultiStr(L"Hub \u00e9\u4e2d"), L"Hub \u00e9?");
  EXPECT_EQ(u.WideStrToMultiStr(L""), L"");
}

TEST_F(UtilityTest, LocksStayValidAndAHeldOneIsReported) {
  CHubUtility& u = start();
  u.vInitializeCriticalSection();
  EXPECT_TRUE(u.bLocksInitialized());
  std::atomic<bool> holding{false}, release{false};
  std::thread worker([&] {
    std::lock_guard<std::mutex> lock(u.m_EnumCriticalSection);
    holding = true;
    while (!release) std::this_thread::yield();
  });
  while (!holding) std::this_thread::yield();
  u.vDeleteCriticalSection();
  EXPECT_FALSE(u.bLocksInitialized());
  release = true;
  worker.join();
  // Still a working lock after the deletion, and again for the next run.
  u.vInitializeCriticalSection();
  { std::lock_guard<std::mutex> lock(u.m_EnumCriticalSection); }
  u.vDeleteCriticalSection();
  const std::string log = debugLog();
  EXPECT_NE(log.find(": Utility: DeleteCriticalSection m_EnumCriticalSection still held"), std::string::npos) << log;
  EXPECT_EQ(log.find("m_ThreadCriticalSection still held"), std::string::npos);
}

TEST_F(UtilityTest, WaitIsFiveSecondsOfClockTime) {
  CHubUtility& u = start();
  const std::int64_t before = host->clock().virtualMs();
  EXPECT_TRUE(u.bWait5Seconds());
  EXPECT_GE(host->clock().virtualMs() - before, 5000);
}

}  // namespace
}  // namespace hbx
