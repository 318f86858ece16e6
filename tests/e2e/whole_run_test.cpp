// Whole runs of the program on benches, from its command line to its exit
// code: what the hubs' flash holds afterwards, the reset order, the status
// the dialog ends with and the side tasks' results.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "base/text/utf.h"
#include "e2e_fixture.h"

namespace hbx::testing::e2e {
namespace {

constexpr std::array<std::uint8_t, 6> kCarriedBytes{0x25, 0x03, 0x18, 0x25, 0x01, 0x0C};
constexpr wchar_t kPass[] = L"Pass!!\nPlease AC POWER OFF!";

// Three hubs on two tiers: "top" on the root hub, "left" and "right" on it.
std::vector<Hub> twoTiers() { return {hub("top", kOldVersion, "", {hub("left"), hub("right")})}; }

TEST(WholeRun, UpdatesThreeHubsOnTwoTiersWithTheCarriedImage) {
  E2eRun run(twoTiers());
  ASSERT_FALSE(run.holdsCarriedImage("left"));
  EXPECT_EQ(run.run(L"/DBG 3"), 0) << run.debugLog();
  for (const char* hub : {"top", "left", "right"}) {
    EXPECT_TRUE(run.holdsCarriedImage(hub)) << hub;
    EXPECT_EQ(run.busArrival(hub), 0) << hub << " was reset";
  }
  EXPECT_EQ(run.status(), kPass);
  EXPECT_NE(run.output().find("The firmware update process is successful"), std::string::npos);
  EXPECT_EQ(run.host().system().restartRequests(), 1);
}

// In console mode the hubs are written one after another, so each hub's
// line stays whole on the console although the workers run at once.
TEST(WholeRun, ConsoleKeepsEachHubsLineWhole) {
  E2eRun run(twoTiers());
  EXPECT_EQ(run.run(L"/DOS /DBG 3"), 0) << run.debugLog();
  for (int n = 0; n < 3; ++n) {
    const std::string line = "Target Hub[0" + std::to_string(n) + "] >FW Update.....\tPASS";
    EXPECT_NE(run.output().find(line), std::string::npos) << line << " in\n" << run.output();
  }
}

TEST(WholeRun, RelinkResetsDeepestTierFirstAndVerifiesTheNewVersion) {
  // Tiers 1, 2 and 3: the hub that waits for its turn the longest waits
  // while the others write and reset, at a scale a busy machine keeps up with.
  E2eRun run({hub("top", kOldVersion, "", {hub("middle", kOldVersion, "", {hub("bottom")})})});
  run.carrySetting("EnableRelinkAfterFWUpg", 1);
  EXPECT_EQ(run.run(L"/DBG 3"), 0) << run.debugLog();
  for (const char* hub : {"top", "middle", "bottom"}) {
    EXPECT_TRUE(run.holdsCarriedImage(hub)) << hub;
    EXPECT_EQ(run.runningVersion(hub), kCarriedBytes) << hub;
  }
  EXPECT_GT(run.busArrival("bottom"), 0);
  EXPECT_LT(run.busArrival("bottom"), run.busArrival("middle")) << "tier 3 before tier 2";
  EXPECT_LT(run.busArrival("middle"), run.busArrival("top")) << "tier 2 before tier 1";
  // Each hub was found again after its reset and runs the new version.
  const std::string log = run.debugLog();
  for (const char* target : {"0", "1", "2"}) {
    // The line number of the log line is the source's, so it is not matched.
    const std::string found = std::string(": ucTargetNumber[") + target + "], Find the target hub";
    const std::size_t at = log.find(found);
    ASSERT_NE(at, std::string::npos) << target;
    const std::size_t lineStart = log.rfind("MSG::", at);
    ASSERT_NE(lineStart, std::string::npos) << target;
    EXPECT_EQ(log.compare(lineStart, 40, "MSG::CHubUtility::ReEnumrationTargetHub:"), 0) << target;
    EXPECT_NE(log.find(std::string("Update FW PASS, target[") + target + "], m_bUpdateFWResult [1],m_bReloadFWResult[1]"),
              std::string::npos)
        << target;
  }
  EXPECT_EQ(run.status(), kPass);
  EXPECT_EQ(run.host().system().restartRequests(), 1);
}

// The report of a run with the reset after the update: each hub went through
// every phase, and its version after is the one it came back running with.
TEST(WholeRun, ReportFollowsEachHubThroughItsResetAndReload) {
  E2eRun run({hub("top", kOldVersion, "", {hub("left")})});
  run.carrySetting("EnableRelinkAfterFWUpg", 1);
  EXPECT_EQ(run.run(L"/DBG 3 /REPORT C:\\report.json"), 0) << run.debugLog();
  const nlohmann::json report = nlohmann::json::parse(run.file(L"C:\\report.json"));
  ASSERT_EQ(report["hubs"].size(), 2u);
  const std::vector<std::string> phases{"scan",     "table-write-image-0", "table-write-image-1", "download",
                                        "read-back", "reset",              "reload"};
  for (const nlohmann::json& hub : report["hubs"]) {
    std::vector<std::string> names;
    for (const nlohmann::json& phase : hub["phases"]) {
      names.push_back(phase["name"]);
      EXPECT_TRUE(phase["ok"].get<bool>()) << phase.dump();
    }
    EXPECT_EQ(names, phases) << hub.dump();
    EXPECT_EQ(hub["result"], "passed");
    EXPECT_EQ(hub["versionAfterFrom"], "reload");
    EXPECT_EQ(hub["versionAfter"], "25031825010C");
  }
}

// Two tier-2 hubs on port 1 of two like hubs share their position index.
// One of them does not come back after its reset: it is not taken for its
// twin, and fails the run with -7.
// A deeper hub that failed before its reset still counts as done for its
// tier, so the hub above gets its reset turn and is verified.
TEST(WholeRun, FailedDeeperHubDoesNotHoldBackTheTierAbove) {
  Hub left = hub("left");
  left.extraKeys = R"("faults": {"failAt": {"phase": "erase"}, "failCount": 4294967295, "immediateError": 31})";
  E2eRun run({hub("top", kOldVersion, "", {left})});
  run.carrySetting("EnableRelinkAfterFWUpg", 1);
  EXPECT_EQ(run.run(L"/DBG 3"), -1) << run.debugLog();
  EXPECT_NE(run.busArrival("top"), 0) << "top never had its reset turn";
  EXPECT_TRUE(run.bootsNewVersion("top"));
}

TEST(WholeRun, RelinkDoesNotTakeAHubThatStaysAwayForItsTwin) {
  Hub gone = hub("gone");
  gone.extraKeys = R"("offBusMs": 600000)";
  E2eRun run({hub("top1", kOldVersion, "", {hub("twin")}), hub("top2", kOldVersion, "", {gone})});
  run.carrySetting("EnableRelinkAfterFWUpg", 1);
  EXPECT_EQ(run.run(L"/DBG 3"), -7) << run.debugLog();
  const std::string log = run.debugLog();
  // The device list holds top1, twin, top2, gone in the walk's order.
  EXPECT_NE(log.find("ReEnumrationTargetHub Failed, ucTargetNumber[3]"), std::string::npos);
  EXPECT_NE(log.find("ucTargetNumber[3], Finish, bResult=0"), std::string::npos);
  for (const char* h : {"0", "1", "2"})
    EXPECT_NE(log.find(std::string("ucTargetNumber[") + h + "], Finish, bResult=1"), std::string::npos) << h;
  EXPECT_EQ(run.runningVersion("twin"), kCarriedBytes);
}

// Eight hubs on one controller are sixteen connections, and every hub is
// written. A ninth is more than one run serves: the run is refused before
// any hub is touched.
TEST(WholeRun, EightHubsAreAllWrittenAndANinthRefusesTheRun) {
  std::vector<Hub> hubs;
  for (int k = 0; k < 9; ++k) hubs.push_back(hub("h" + std::to_string(k)));
  {
    E2eRun run(std::vector<Hub>(hubs.begin(), hubs.begin() + 8));
    EXPECT_EQ(run.run(L"/DBG 3"), 0) << run.debugLog();
    for (int k = 0; k < 8; ++k) EXPECT_TRUE(run.holdsCarriedImage(hubs[k].name)) << k;
    EXPECT_EQ(run.debugLog().find("un-reasonable case"), std::string::npos);
  }
  E2eRun run(hubs);
  EXPECT_EQ(run.run(L"/DBG 3"), -10) << run.debugLog();
  for (const Hub& h : hubs) EXPECT_FALSE(run.holdsCarriedImage(h.name)) << h.name;
  EXPECT_NE(run.output().find("one run updates at most 8 hubs"), std::string::npos) << run.output();
  EXPECT_EQ(run.status(), L"Failed!!(-10)");
  EXPECT_EQ(run.host().system().restartRequests(), 0);
}

// Runs whose outcome is the exit code, the status, which hubs were written
// and, for some, a file the run leaves.
TEST(WholeRun, ModesAndGates) {
  struct Case {
    const char* what;
    std::vector<Hub> hubs;
    std::wstring line;
    int exitCode;
    std::wstring status;
    bool written;                 // every hub holds the carried image
    std::string versionFile = {};  // the hub version file's text, when one is expected
  };
  const std::string other = "250115250001";
  const std::vector<Case> cases = {
      {"check passes", {hub("a"), hub("b")}, L"/C 25011525_00_00", 0, kPass, false},
      {"check fails", {hub("a"), hub("b", other)}, L"/C 25011525_00_00", -7, L"Failed!!(-7)", false},
      {"version file",
       {hub("a"), hub("b", other), hub("c", kCarriedVersion), hub("d")},
       L"/O",
       0,
       L"Output Version File PASS",
       false,
       "0:250115250000\r\n1:250115250001\r\n2:25031825010c\r\n3:250115250000\r\n"},
      {"same serial numbers", {hub("a", kOldVersion, "abc1"), hub("b", kOldVersion, "ABC1")}, L"/I", 0,
       L"Compare Serial Number PASS", false},
      {"other serial numbers", {hub("a", kOldVersion, "abc1"), hub("b", kOldVersion, "abc2")}, L"/I", -1,
       L"The Serial Number are not same!!!", false},
      {"three serial numbers",
       {hub("a", kOldVersion, "abc1"), hub("b", kOldVersion, "abc1"), hub("c", kOldVersion, "abc1")},
       L"/I",
       -1,
       L"Can not Compare above 2 Hubs in platform",
       false},
      {"every hub already latest", {hub("a", kCarriedVersion), hub("b", kCarriedVersion)}, L"", 0,
       L"The lastest Version!!(0)", false},
      {"already latest, mass production", {hub("a"), hub("b", kCarriedVersion)}, L"/MP", 0, kPass, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    E2eRun run(c.hubs);
    EXPECT_EQ(run.run(c.line + L" /DBG 3"), c.exitCode) << run.debugLog();
    EXPECT_EQ(run.status(), c.status);
    for (const Hub& h : c.hubs) EXPECT_EQ(run.holdsCarriedImage(h.name), c.written) << h.name;
    // Only an update that wrote firmware ends with the success message and a restart.
    EXPECT_EQ(run.output().find("The firmware update process is successful") != std::string::npos, c.written);
    EXPECT_EQ(run.host().system().restartRequests(), c.written ? 1 : 0);
    if (!c.versionFile.empty()) {
      EXPECT_EQ(run.file(L"C:\\HBX\\HbxHubVersion.txt"), c.versionFile);
    }
  }
}

TEST(WholeRun, ExportWritesEachHubsTableAndFirmwareArea) {
  E2eRun run({hub("a"), hub("b")});
  EXPECT_EQ(run.run(L"/E /DBG 3"), 0) << run.debugLog();
  EXPECT_EQ(run.status(), kPass);
  for (int k = 0; k < 2; ++k) {
    const std::vector<std::uint8_t> image = run.flashImage(k == 0 ? "a" : "b", 0);
    const std::size_t len = image[256] | (image[257] << 8);
    const std::string file = run.file(L"C:\\HBX\\HBXFW_Temp\\HBX763xFW[" + std::to_wstring(k) + L"].bin");
    ASSERT_EQ(file.size(), len + 260) << k;
    EXPECT_TRUE(std::equal(file.begin(), file.end(), image.begin(), [](char a, std::uint8_t b) {
      return static_cast<std::uint8_t>(a) == b;
    })) << k;
  }
  EXPECT_EQ(run.host().system().restartRequests(), 0);
  // Each hub's console line says it was exported, none that it was updated.
  run.nextRun({hub("a"), hub("b")});
  EXPECT_EQ(run.run(L"/E /DOS /DBG 3"), 0) << run.debugLog();
  for (int k = 0; k < 2; ++k)
    EXPECT_NE(run.output().find("The Hub[" + std::to_string(k) + "] FW Export PASS \n"), std::string::npos) << run.output();
  EXPECT_EQ(run.output().find("FW Update"), std::string::npos) << run.output();
}

// Hub faults on the bench: the verdict fails with its own code and only the
// hubs that could be written are.
// Without a hub the console gets the dialog's text as it is, nothing after it.
TEST(WholeRun, ConsoleLineOfARunWithoutHubIsTheTextAlone) {
  E2eRun run({});
  EXPECT_NE(run.run(L"/DOS /DBG 3"), 0) << run.debugLog();
  const std::string text = "Can't Find HBX763x Hub Controller in current platform";
  const std::string output = run.output();
  ASSERT_NE(output.find(text), std::string::npos) << output;
  EXPECT_EQ(output.substr(output.find(text) + text.size()), "") << output;
}

// A version file another program holds open is not written: the run fails
// and the dialog says so, not the task's pass.
TEST(WholeRun, VersionFileThatCannotBeWrittenFailsTheRun) {
  const std::vector<Hub> hubs = {hub("a")};
  E2eRun run(hubs);
  run.withHostFaults(R"({"sharingViolationOn": "HbxHubVersion.txt"})", hubs);
  EXPECT_EQ(run.run(L"/O /DBG 3"), -1) << run.debugLog();
  EXPECT_EQ(run.status(), L"Failed!!(-1)");
}

TEST(WholeRun, FailingRuns) {
  Hub otherFamily = hub("other", "250115150000");
  otherFamily.family = "HBX863x";
  Hub slow = hub("slow");  // its erase outlasts the other hub's wait for its reset turn
  slow.extraKeys = R"("requestMicros": 50000)";
  // A hub that fails every request from the middle of its firmware download
  // on (after the two tables' packets), found by a run that passes.
  Hub failing = hub("failing");
  {
    E2eRun probe({hub("a"), hub("failing")});
    ASSERT_EQ(probe.run(L""), 0);
    const std::vector<std::uint32_t> packets = probe.downloadRequests("failing");
    ASSERT_GT(packets.size(), 100u);
    failing.extraKeys = R"("faults": {"completionError": 31, "failCount": 4294967295, "failFromRequest": )" +
                        std::to_string(packets[16 + 40]) + "}";
  }
  struct Case {
    const char* what;
    std::vector<Hub> hubs;
    bool relink;
    int exitCode;
    std::wstring status;
    std::vector<bool> written;
  };
  const std::vector<Case> cases = {
      {"no hub of the image's chip type", {otherFamily}, false, -4, L"Failed!!(-4)", {false}},
      {"reset turn never comes", {hub("a"), slow}, true, -9, L"Failed!!(-9)", {true, true}},
      {"firmware write fails", {hub("a"), failing}, false, -1, L"Failed!!(-1)", {true, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    E2eRun run(c.hubs);
    if (c.relink) run.carrySetting("EnableRelinkAfterFWUpg", 1);
    EXPECT_EQ(run.run(L"/DBG 3"), c.exitCode) << run.debugLog();
    EXPECT_EQ(run.status(), c.status);
    for (std::size_t k = 0; k < c.hubs.size(); ++k) EXPECT_EQ(run.holdsCarriedImage(c.hubs[k].name), c.written[k]) << k;
    EXPECT_EQ(run.output().find("The firmware update process is successful"), std::string::npos);
    EXPECT_EQ(run.host().system().restartRequests(), 0);
  }
}

// A hub the walk matched that cannot be opened or read is named with its
// place, the other hub is still served, and the run fails; one chip is one
// hub whatever its register faults. A request of the scan that never
// completes is given up, so the scan ends; the hub's USB 2.0 connection
// still reads, and the hub is written through it.
TEST(WholeRun, HubThatCannotBeOpenedOrReadIsReportedAndFailsTheRun) {
  struct Case {
    const char* what;
    std::string faults;
    const char* reported;  // in the log; nullptr: none
    bool written;
  };
  const std::vector<Case> cases = {
      {"its device objects cannot be opened", R"({"openError": 5})", "port [2] cannot be opened or read", false},
      {"it loses its power during the scan", R"({"powerLossAt": {"phase": "descriptor", "nth": 1}})",
       "port [2] cannot be opened or read", false},
      {"a request of the scan never completes", R"({"stuckAtRequest": {"phase": "descriptor", "nth": 5}})",
       "port [2] cannot be opened or read", true},
      {"it answers only the older register requests", R"({"legacyRegistersOnly": true})", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Hub faulty = hub("b");
    faulty.extraKeys = R"("faults": )" + c.faults;
    E2eRun run({hub("a"), faulty});
    EXPECT_EQ(run.run(L"/DBG 3"), -1) << run.debugLog();
    EXPECT_TRUE(run.holdsCarriedImage("a"));
    EXPECT_EQ(run.holdsCarriedImage("b"), c.written);
    const std::string log = run.debugLog();
    if (c.reported != nullptr) {
      EXPECT_NE(log.find(c.reported), std::string::npos);
      EXPECT_NE(run.output().find(c.reported), std::string::npos) << run.output();
    } else {
      EXPECT_NE(log.find("Device Number : 2"), std::string::npos) << "b is one hub, not two";
    }
  }
}

// The firmware source named on the command line, which the program
// upper-cases: what it writes, and what it refuses before any hub is touched.
TEST(WholeRun, SourcesNamedOnTheCommandLine) {
  const auto firmware = [](std::size_t n, std::array<std::uint8_t, 6> version) {
    std::vector<std::uint8_t> code(n);
    for (std::size_t i = 0; i < n; ++i) code[i] = static_cast<std::uint8_t>(i * 13 + 5);
    std::copy(version.begin(), version.end(), code.begin() + 0x200);
    return code;
  };
  constexpr std::array<std::uint8_t, 6> k0D{0x25, 0x03, 0x18, 0x25, 0x01, 0x0D};
  struct Case {
    const char* what;
    std::wstring file;  // in the program folder; empty: the carried image's own copy
    std::vector<std::uint8_t> content;
    std::wstring line;
    int exitCode;
    std::array<std::uint8_t, 6> written;  // what the hubs boot afterwards
  };
  const std::array<std::uint8_t, 6> old{0x25, 0x01, 0x15, 0x25, 0x00, 0x00};
  const std::vector<Case> cases = {
      {"the carried image by its name", L"", {}, L"/U Config_250318_25_01_0C.bin", 0, kCarriedBytes},
      {"firmware of 0x206 bytes", L"fw.bin", firmware(0x206, k0D), L"/U fw.bin", -10, old},
      {"content 0D named 0E", L"fw_250318_25_01_0E.bin", firmware(0x6000, k0D), L"/U fw_250318_25_01_0E.bin", -10, old},
      {"a name without a version", L"fw.bin", firmware(0x6000, k0D), L"/U fw.bin", 0, k0D},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    E2eRun run({hub("a"), hub("b")});
    run.newVersion = c.written;
    if (!c.file.empty()) {
      const std::filesystem::path path = run.host().hostPath(L"C:\\HBX\\" + c.file);
      std::filesystem::create_directories(path.parent_path());
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(c.content.data()), static_cast<std::streamsize>(c.content.size()));
    }
    EXPECT_EQ(run.run(c.line + L" /DOS /DBG 3"), c.exitCode) << run.debugLog();
    for (const char* h : {"a", "b"}) EXPECT_TRUE(run.bootsNewVersion(h)) << h;
  }
}

// A run cut short by a power cut at any request of one hub's update, then
// run again on the same computer: the second run ends with 0 and every hub
// boots the new firmware.
TEST(WholeRun, ReRunAfterAPowerCutFinishesTheUpdate) {
  std::vector<std::uint32_t> packets;
  {
    E2eRun probe({hub("a"), hub("cut")});
    ASSERT_EQ(probe.run(L""), 0);
    packets = probe.downloadRequests("cut");
    ASSERT_GT(packets.size(), 100u);
  }
  // Before the first write, inside each table, between them, inside the
  // firmware and after its last packet.
  const std::vector<std::uint32_t> cuts = {packets[0] - 1, packets[3],  packets[8] - 1, packets[12],
                                           packets[16],    packets[60], packets.back(), packets.back() + 1};
  for (std::uint32_t cut : cuts) {
    SCOPED_TRACE("power cut after request " + std::to_string(cut));
    Hub cutHub = hub("cut");
    cutHub.extraKeys = R"("faults": {"powerLossAfterRequest": )" + std::to_string(cut) + "}";
    E2eRun run({hub("a"), cutHub});
    run.run(L"/DBG 3");
    run.reopen({hub("a"), hub("cut")});
    EXPECT_EQ(run.run(L"/DBG 3"), 0) << run.debugLog();
    EXPECT_TRUE(run.bootsNewVersion("a"));
    EXPECT_TRUE(run.bootsNewVersion("cut"));
  }
}

// A hub whose strings are as bad as a device's can be (a manufacturer text of
// 255 characters outside ASCII, a product of odd length with a lone
// surrogate, a serial number whose length byte claims more than is sent) is
// found, written and verified like any other, in the dialog and on the
// console.
TEST(WholeRun, HubWithTheWorstStringDescriptorsIsStillUpdated) {
  Hub worst = hub("worst");
  worst.extraKeys = R"("manufacturer": ")" + toUtf8(std::wstring(255, L'\x0416')) +
                    R"(", "stringDescriptors": {"product": "0b0341000dd8420043", "serial": "ff0341dc00d842"})";
  for (const std::wstring line : {L"/DBG 3", L"/DOS /DBG 3"}) {
    SCOPED_TRACE(toUtf8(line));
    E2eRun run({hub("plain"), worst});
    run.carrySetting("EnableRelinkAfterFWUpg", 1);
    EXPECT_EQ(run.run(line), 0) << run.debugLog();
    EXPECT_TRUE(run.holdsCarriedImage("plain"));
    EXPECT_TRUE(run.holdsCarriedImage("worst"));
    if (line == L"/DBG 3") EXPECT_EQ(run.status(), kPass);
    else EXPECT_NE(run.output().find("The Hub[1] FW Update PASS"), std::string::npos) << run.output();
  }
}

// The serial numbers compared are the filter driver's single-byte texts: a
// descriptor of odd length keeps the low byte of its last half unit, and
// a lone surrogate is its low byte.
TEST(WholeRun, SerialNumbersOfOddDescriptorsCompareByWhatTheDriverReads) {
  const auto withSerial = [](const char* name, const std::string& hex) {
    Hub h = hub(name);
    h.extraKeys = R"("stringDescriptors": {"serial": ")" + hex + R"("})";
    return h;
  };
  struct Case {
    const char* what;
    std::string first;
    std::string second;
    int exitCode;
  };
  const Case cases[] = {
      {"odd length against the whole text", "07034100420043", "0803410042004300", 0},
      {"lone low surrogate against its low byte", "060341dc4200", "060341004200", 0},
      {"differing after a unit with a zero low byte", "0803410000d84200", "0803410000d84300", 0},
      {"differing in the half unit", "07034100420043", "07034100420044", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    E2eRun run({withSerial("a", c.first), withSerial("b", c.second)});
    EXPECT_EQ(run.run(L"/I /DBG 3"), c.exitCode) << run.debugLog();
    EXPECT_EQ(run.status(), c.exitCode == 0 ? L"Compare Serial Number PASS" : L"The Serial Number are not same!!!");
  }
}

}  // namespace
}  // namespace hbx::testing::e2e
