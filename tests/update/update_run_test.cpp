// Whole update runs on simulated benches: the hubs' flash after the run, the
// reset order, the gates, the side tasks, the verdict and the exit code.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <map>
#include <thread>

#include "base/log/format.h"
#include "image/image_layout.h"
#include "run_fixture.h"
#include "sim/sim_system.h"

namespace hbx::testing_run {
namespace {

using sim::hub::HubConfig;

TEST(UpdateRun, WritesTableToBothImagesAndFirmwareToImage0OfEveryHub) {
  RunFixture run(benchOf({targetHub(0), targetHub(1), targetHub(2)}), {1, 2, 2});
  run.useCarriedImage();
  run.run();
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(run.hasCarriedImage(k)) << "hub " << k;
    const DeviceListEntry& dev = run.dialog.m_DevList.Devs[static_cast<std::size_t>(k)];
    EXPECT_EQ(dev.m_bConfigResult, 1);
    EXPECT_EQ(dev.m_bUpdateFWResult, 1);
    EXPECT_EQ(dev.m_bReloadFWResult, 0) << "no reset without EnableRelinkAfterFWUpg";
    EXPECT_EQ(run.busArrival(k), 0) << "hub " << k << " was reset";
  }
  EXPECT_EQ(run.status(), L"Pass!!\nPlease AC POWER OFF!");
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_EQ(run.dialog.m_MainThreadInfo.ucState.load(), MAIN_THREAD_FINISH);
  EXPECT_EQ(run.dialog.m_MainThreadInfo.bAllPass.load(), 1);
  EXPECT_EQ(run.host().system().restartRequests(), 1);
  EXPECT_TRUE(run.log.has(L"ZAr763ORIdirevaVodoRev::MainThreadFun:"));
  EXPECT_TRUE(run.log.has(L"ZAr763ORIdirevaVodoRev::ChildThreadFun:"));
  // The run's own files are gone; the staged file stays for the clean-up of
  // the driver removal.
  EXPECT_FALSE(std::filesystem::exists(run.hostPath(L"C:\\HBX\\" + run.dialog.m_strDefaultFWFile)));
}

TEST(UpdateRun, ResetsDeepestTierFirstAndVerifiesEveryHub) {
  // A coarser time scale: a hub waits 40 s for its turn while the others
  // write, which must not run out on a busy machine.
  RunFixture run(benchOf({targetHub(0), targetHub(1), targetHub(2)}), {1, 3, 2}, 0);
  run.useCarriedImage();
  run.dialog.m_Ini.EnableRelinkAfterFWUpg = 1;
  run.run();
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(run.dialog.m_DevList.Devs[static_cast<std::size_t>(k)].m_bReloadFWResult, 1) << "hub " << k;
    EXPECT_TRUE(version::bVersionEquals(run.runningVersion(k), L"25031825010C"));
    // Each hub's row shows the version the hub came back with.
    EXPECT_EQ(run.dialog.m_Model.itemText(ui::ctrl::kHubVersions[static_cast<std::size_t>(k)]), L"250318_25_01_0c");
  }
  EXPECT_GT(run.busArrival(1), 0);
  EXPECT_LT(run.busArrival(1), run.busArrival(2)) << "tier 3 before tier 2";
  EXPECT_LT(run.busArrival(2), run.busArrival(0)) << "tier 2 before tier 1";
  EXPECT_TRUE(run.log.has(L"Reset Thread,pUtility.m_MaxHubDepth decrese [2]"));
  EXPECT_TRUE(run.log.has(L"Reset Thread,pUtility.m_MaxHubDepth decrese [1]"));
  EXPECT_EQ(run.status(), L"Pass!!\nPlease AC POWER OFF!");
  EXPECT_EQ(run.exitCode(), 0);
}

TEST(UpdateRun, FailedFirmwareWriteFailsTheRunButOtherHubsAreWritten) {
  // Find where the firmware download of an update begins (after the two
  // tables, each sent in download packets), then let the second hub fail
  // from the middle of its firmware download on.
  std::uint32_t failFrom = 0;
  {
    RunFixture probe(benchOf({targetHub(0)}));
    probe.useCarriedImage();
    probe.run();
    const auto trace = probe.host().hubBench().trace();
    std::vector<std::uint32_t> packets;
    for (std::size_t r = 0; r < trace.size(); ++r)
      if (trace[r].inLength == 56) packets.push_back(static_cast<std::uint32_t>(r + 1));
    ASSERT_GT(packets.size(), 100u);
    failFrom = packets[16 + 40];
  }
  RunFixture run(benchOf({targetHub(0), targetHub(1), targetHub(2)}));
  {
    std::lock_guard<std::mutex> lock(run.host().hubBench().mutex());
    sim::hub::FaultConfig& faults = run.chip(1).faults();
    faults.completionError = 31;
    faults.failFromRequest = failFrom;
    faults.failCount = 0xFFFFFFFF;
  }
  run.useCarriedImage();
  run.run();
  EXPECT_TRUE(run.hasCarriedImage(0));
  EXPECT_TRUE(run.hasCarriedImage(2));
  EXPECT_EQ(run.dialog.m_DevList.Devs[1].m_bConfigResult, 1);
  EXPECT_EQ(run.dialog.m_DevList.Devs[1].m_bUpdateFWResult, 0);
  EXPECT_TRUE(run.log.has(L"vUpdateFirmware image 0 Failed , pChildThreadInfo->ucTargetNumber[1]")) << run.log.all();
  EXPECT_EQ(run.status(), L"Failed!!(-1)");
  EXPECT_EQ(run.exitCode(), -1);
  EXPECT_EQ(run.dialog.m_MainThreadInfo.bAllPass.load(), 0);
  EXPECT_EQ(run.host().system().restartRequests(), 0);
}

TEST(UpdateRun, HubWhoseFlashReadsBackWrongFailsWithMinus7) {
  // One byte of image 0 keeps a bit error when programmed: in the table, and
  // in the firmware area.
  for (std::uint32_t at : {0x10u, 0x4000u}) {
    RunFixture run(benchOf({targetHub(0), targetHub(1)}));
    {
      std::lock_guard<std::mutex> lock(run.host().hubBench().mutex());
      run.chip(1).faults().flipBitAtOffset = at;
    }
    run.useCarriedImage();
    run.run();
    const std::uint8_t written = run.carriedImage[at];
    EXPECT_TRUE(run.log.has(wformat(
        L"Read-back of target[1] differs: image[0], offset[0x%04X], written[0x%02X], read[0x%02X]", at, written,
        static_cast<std::uint8_t>(written ^ 1))))
        << run.log.all();
    EXPECT_EQ(run.dialog.m_DevList.Devs[0].m_bUpdateFWResult, 1);
    EXPECT_EQ(run.dialog.m_DevList.Devs[1].m_bUpdateFWResult, 0);
    EXPECT_EQ(run.exitCode(), -7);
    EXPECT_EQ(run.status(), L"Failed!!(-7)");
  }
}

TEST(UpdateRun, HubWhoseResetTurnNeverComesEndsWithMinus9) {
  // The second hub's erase takes longer than the first hub may wait for its
  // turn (40 s), so the first gives up; the run fails with -9.
  HubConfig slow = targetHub(1);
  slow.requestMicros = 50000;
  RunFixture run(benchOf({targetHub(0), slow}));
  run.useCarriedImage();
  run.dialog.m_Ini.EnableRelinkAfterFWUpg = 1;
  run.run();
  EXPECT_TRUE(run.log.has(L"Hub[0] No responesed, Time out!!!")) << run.log.all();
  // The verdict line states the verdict the run ends with.
  EXPECT_TRUE(run.log.has(L"Final result bAllPass [0]"));
  EXPECT_FALSE(run.log.has(L"Final result bAllPass [1]"));
  EXPECT_EQ(run.exitCode(), -9);
  EXPECT_EQ(run.status(), L"Failed!!(-9)");
  EXPECT_EQ(run.host().system().restartRequests(), 0);
}

// Five hubs whose erases take 3 s a half image (about 12 s of writing each).
// In console mode their writes run one after another, so the first hub waits
// far beyond 40 s for the others; that wait is not its reset turn's, and the
// run passes as it does interactively.
TEST(UpdateRun, ConsoleModeWaitForOtherHubsWritesIsNotTheResetTurn) {
  for (const bool console : {false, true}) {
    SCOPED_TRACE(console ? "console" : "interactive");
    std::vector<HubConfig> hubs;
    for (int k = 0; k < 5; ++k) {
      hubs.push_back(targetHub(k));
      hubs.back().eraseMs = 3000;
    }
    RunFixture run(benchOf(hubs));
    run.useCarriedImage();
    run.dialog.m_Ini.EnableRelinkAfterFWUpg = 1;
    if (console) {
      run.dialog.m_bConsole = 1;
      run.host().system().allocConsole();
    }
    run.run();
    EXPECT_FALSE(run.log.has(L"No responesed, Time out")) << run.log.all();
    EXPECT_EQ(run.exitCode(), 0);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(run.runningVersion(k), L"25031825010c") << k;
  }
}

TEST(UpdateRun, VersionStillWrongAfterResetIsReadFourTimesThenMinus7) {
  RunFixture run(benchOf({targetHub(0)}));
  run.useCarriedImage();
  run.dialog.m_Ini.EnableRelinkAfterFWUpg = 1;
  int reads = 0;
  run.reEnumerate = [&](std::uint8_t index) {
    ++reads;
    run.dialog.m_DevList.Devs[index].m_strFWVersion = L"250115250000";
    return true;
  };
  run.run();
  EXPECT_EQ(reads, 4);
  EXPECT_EQ(run.dialog.m_DevList.Devs[0].m_bReloadFWResult, 0);
  EXPECT_EQ(run.exitCode(), -7);
  EXPECT_EQ(run.status(), L"Failed!!(-7)");
}

TEST(UpdateRun, MainTaskTimeOutEndsTheRunWithMinus9) {
  RunFixture run(benchOf({targetHub(0)}));
  run.useCarriedImage();
  run.dialog.m_Ini.EnableRelinkAfterFWUpg = 1;
  // The re-enumeration hangs far beyond the task's 520 polls.
  run.reEnumerate = [&](std::uint8_t) {
    run.host().ports().clock.sleepMs(400000);
    return false;
  };
  run.run();
  EXPECT_TRUE(run.log.has(L"TimeOut dwErrorCode"));
  EXPECT_EQ(run.status(), L"TimeOut!!(-9)");
  EXPECT_EQ(run.exitCode(), -9);
  EXPECT_EQ(run.dialog.m_MainThreadInfo.bAllPass.load(), 0);
  EXPECT_EQ(run.dialog.m_ChildThreadInfo[0].ucState.load(), CHILD_THREAD_FINISH);
  EXPECT_TRUE(run.log.has(L"ucTargetNumber[0], Finish, bResult=0"));
}

// The task polls its workers 520 times, 500 ms apart, for each hub it
// writes before the run times out: 260 s after the workers start for one
// hub, not a poll early or late, and as much for each further hub, whose
// download waits for the others'.
TEST(UpdateRun, MainTaskTimesOutAfter520PollsOf500MsForEachHub) {
  for (const int hubs : {1, 3}) {
    SCOPED_TRACE(hubs);
    std::vector<HubConfig> bench;
    for (int k = 0; k < hubs; ++k) bench.push_back(targetHub(k));
    RunFixture run(benchOf(bench));
    run.useCarriedImage();
    run.dialog.m_Ini.EnableRelinkAfterFWUpg = 1;
    run.reEnumerate = [&](std::uint8_t) {
      while (!run.log.has(L"TimeOut dwErrorCode")) run.host().ports().clock.sleepMs(100);
      return false;
    };
    run.run();
    const std::int64_t started = run.log.timeOf(L"ChildThreadFun, pChildThreadInfo->ucTargetNumber[0]");
    const std::int64_t gaveUp = run.log.timeOf(L"TimeOut dwErrorCode");
    ASSERT_GE(started, 0);
    ASSERT_GE(gaveUp, 0);
    EXPECT_NEAR(static_cast<double>(gaveUp - started), hubs * 520 * 500.0, 200.0);
    EXPECT_EQ(run.exitCode(), -9);
  }
}

// A download request the driver never completes fails its hub once the
// request's own limit has passed: the hub gives up the one-hub-at-a-time
// download lock, so the other hub is written, and the run ends long before
// its time-out. No hub is passed without its firmware.
TEST(UpdateRun, DownloadRequestThatNeverCompletesFailsOnlyItsHub) {
  struct Case {
    const char* what;
    std::array<bool, 2> stuck;
  };
  const Case cases[] = {{"one hub", {true, false}}, {"both hubs", {true, true}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunFixture run(benchOf({targetHub(0), targetHub(1)}));
    for (int k = 0; k < 2; ++k) {
      if (!c.stuck[k]) continue;
      run.chip(k).faults().stuckAtRequest.phase = sim::hub::Phase::Download;
      run.chip(k).faults().stuckAtRequest.nth = 10;
    }
    run.useCarriedImage();
    run.run();
    EXPECT_EQ(run.exitCode(), -1);
    EXPECT_EQ(run.status(), L"Failed!!(-1)");
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(run.hasCarriedImage(k), !c.stuck[k]) << k;
      EXPECT_EQ(run.log.has(L"ucTargetNumber[" + std::to_wstring(k) + L"], Finish, bResult=0"), c.stuck[k]) << k;
    }
    EXPECT_EQ(run.log.count(L"DeviceIoControl timed out"), c.stuck[1] ? 2 : 1);
    EXPECT_FALSE(run.log.has(L"TimeOut dwErrorCode"));
    const std::int64_t started = run.log.timeOf(L"ChildThreadFun, pChildThreadInfo->ucTargetNumber[0]");
    const std::int64_t ended = run.log.timeOf(L"Final result bAllPass");
    ASSERT_GE(started, 0);
    EXPECT_LT(ended - started, 60000) << "the run waited for its time-out";
  }
}

// The run's time-out cuts no request: one still in flight (here one that a
// worker sends after its hub's reset, five seconds before the time-out, to
// a hub that never answers it) ends by its own 10 s limit, as it would
// without the time-out, and the run ends then.
TEST(UpdateRun, RequestInFlightAtTheTimeOutEndsByItsOwnLimit) {
  RunFixture run(benchOf({targetHub(0)}));
  run.useCarriedImage();
  run.dialog.m_Ini.EnableRelinkAfterFWUpg = 1;
  std::int64_t sent = -1;
  std::int64_t returned = -1;
  int result = 0;
  run.reEnumerate = [&](std::uint8_t) {
    platform::ClockPort& clock = run.host().ports().clock;
    const auto nowMs = [&] { return clock.performanceCounter() * 1000 / clock.performanceFrequency(); };
    const std::int64_t started = run.log.timeOf(L"ChildThreadFun, pChildThreadInfo->ucTargetNumber[0]");
    clock.sleepMs(static_cast<std::uint32_t>(started + 255000 - nowMs()));
    {
      std::lock_guard<std::mutex> lock(run.host().hubBench().mutex());
      run.chip(0).faults().stuckAtRequest.request = run.chip(0).requestCount() + 1;
    }
    sent = nowMs();
    std::uint8_t value = 0;
    result = run.utility.m_ZeltUSBLib.hubDev()->HBX763xAccessRegister(0, &value, 1, 0x5820, 0);
    returned = nowMs();
    return false;
  };
  run.run();
  EXPECT_EQ(run.exitCode(), -9);
  EXPECT_EQ(run.status(), L"TimeOut!!(-9)");
  EXPECT_EQ(result, -1);
  const std::int64_t timeOut = run.log.timeOf(L"TimeOut dwErrorCode");
  ASSERT_GE(sent, 0);
  EXPECT_NEAR(static_cast<double>(timeOut - sent), 5000.0, 600.0);
  EXPECT_NEAR(static_cast<double>(returned - sent), 10000.0, 100.0) << "the request was cut";
  EXPECT_TRUE(run.log.has(L"DeviceIoControl timed out"));
  // The hub layer takes requests again once the run has ended.
  std::uint8_t value = 0;
  EXPECT_EQ(run.utility.m_ZeltUSBLib.hubDev()->HBX763xAccessRegister(0, &value, 1, 0x5820, 0), 0);
}

// How slow a hub's requests must be (µs each) for its writes in a run to
// take about `ms`: measured on a one-hub run.
std::uint32_t requestMicrosForWritesOf(std::int64_t ms) {
  constexpr std::uint32_t kProbeMicros = 10000;
  HubConfig probeHub = targetHub(0);
  probeHub.requestMicros = kProbeMicros;
  RunFixture probe(benchOf({probeHub}));
  probe.useCarriedImage();
  probe.run();
  const std::int64_t began = probe.log.timeOf(L"updata config");
  const std::int64_t ended = probe.log.timeOf(L"Finish, bResult");
  EXPECT_GT(ended, began);
  return static_cast<std::uint32_t>(kProbeMicros * ms / std::max<std::int64_t>(ended - began, 1));
}

// Three hubs whose writes take about 500 s each, written one after another
// (console mode): the run's time-out (260 s a hub, 780 s) comes in the
// second hub's writes. That hub finishes them and its read-back, the third
// is not touched, and the run ends -9. A hub passes (console line, report)
// only when it truly did: without the reset after the update, the one whose
// read-back came after the time-out holds the verified firmware and passes;
// with it, no hub is reset after the time-out, so no hub passes.
TEST(UpdateRunTimeOut, NoHubBeginsItsWritesAndThoseBegunFinish) {
  const std::uint32_t micros = requestMicrosForWritesOf(500000);
  for (const bool relink : {false, true}) {
    SCOPED_TRACE(relink ? "reset after the update" : "no reset");
    std::vector<HubConfig> hubs;
    for (int k = 0; k < 3; ++k) {
      hubs.push_back(targetHub(k));
      hubs.back().requestMicros = micros;
    }
    RunFixture run(benchOf(hubs));
    run.useCarriedImage();
    run.dialog.m_Ini.EnableRelinkAfterFWUpg = relink ? 1 : 0;
    run.dialog.m_bConsole = 1;
    run.host().system().allocConsole();
    run.dialog.m_Report.request(L"C:\\HBX\\report.json", L"/DOS");
    std::vector<std::vector<std::uint8_t>> before;
    for (int k = 0; k < 3; ++k) before.push_back(run.flashImage(k, 0));
    run.run();
    EXPECT_EQ(run.exitCode(), -9) << run.log.all();
    EXPECT_EQ(run.status(), L"TimeOut!!(-9)");
    int written = 0;
    for (int k = 0; k < 3; ++k) {
      const bool carried = run.hasCarriedImage(k);
      written += carried ? 1 : 0;
      if (!carried) {
        EXPECT_EQ(run.flashImage(k, 0), before[static_cast<std::size_t>(k)]) << "hub " << k << " was touched";
      }
    }
    EXPECT_EQ(written, 2);
    EXPECT_EQ(run.log.count(L"the run timed out: the hub is not written"), 1);
    // The first hub was read back before the time-out, the second after it.
    const std::int64_t timeOut = run.log.timeOf(L"TimeOut dwErrorCode");
    const std::vector<std::int64_t> readBacks = run.log.timesOf(L"FW Update PASS , dwFlashFWLeng");
    ASSERT_EQ(readBacks.size(), 2u);
    EXPECT_LT(readBacks[0], timeOut);
    EXPECT_GT(readBacks[1], timeOut);
    const std::string console = run.console();
    int passed = 0;
    for (int k = 0; k < 3; ++k)
      passed += console.find("The Hub[" + std::to_string(k) + "] FW Update PASS") != std::string::npos ? 1 : 0;
    EXPECT_EQ(passed, relink ? 0 : 2) << console;
    // The report says the same, and why a hub did not pass.
    std::map<std::string, int> results;
    for (const report::HubRecord& hub : run.dialog.m_Report.facts().hubs) {
      std::string reason(hub.reason.begin(), hub.reason.end());
      ++results[hub.result + ": " + reason];
    }
    std::map<std::string, int> expected = {{"not-written: the run timed out before the hub's writes began", 1}};
    if (relink)
      expected["failed: the run timed out before the hub's reset: it boots the written firmware at its next power-up"] = 2;
    else
      expected["passed: "] = 2;
    EXPECT_EQ(results, expected);
    EXPECT_EQ(run.host().system().restartRequests(), 0);
  }
}

TEST(UpdateRun, NoHubFoundFailsWithMinus4) {
  RunFixture run(benchOf({}));
  run.useCarriedImage();
  run.run();
  EXPECT_EQ(run.listings, 3);
  EXPECT_EQ(run.status(), L"Failed!!(-4)");
  EXPECT_EQ(run.exitCode(), -4);
}

TEST(UpdateRun, ScanThatFindsHubsOnALaterAttemptKeepsTheExitCode) {
  RunFixture run(benchOf({targetHub(0)}));
  run.useCarriedImage();
  int attempts = 0;
  run.dialog.m_RunHooks.openDevices = [&, list = run.dialog.m_RunHooks.openDevices](DeviceList* devices) {
    if (++attempts == 1) {
      devices->DevNums = 0;
      return -4;
    }
    return list(devices);
  };
  run.run();
  EXPECT_EQ(run.status(), L"Pass!!\nPlease AC POWER OFF!");
  EXPECT_EQ(run.exitCode(), 0);
}

TEST(UpdateRun, MoreThanEightHubsRefuseTheRunBeforeAnyWrite) {
  std::vector<HubConfig> hubs;
  for (int k = 0; k < 9; ++k) hubs.push_back(targetHub(k));
  RunFixture run(benchOf(hubs));
  run.useCarriedImage();
  run.dialog.m_bConsole = 1;
  run.host().system().allocConsole();
  run.run();
  for (int k = 0; k < 9; ++k) EXPECT_FALSE(run.hasCarriedImage(k)) << "hub " << k;
  EXPECT_NE(run.console().find("Found 9 hubs: one run updates at most 8 hubs"), std::string::npos) << run.console();
  EXPECT_EQ(run.exitCode(), -10);
  EXPECT_EQ(run.status(), L"Failed!!(-10)");
  EXPECT_EQ(run.host().system().restartRequests(), 0);
}

// ---- Gates ------------------------------------------------------------------

TEST(UpdateRunGates, AlreadyLatestHubsArePassedOverAndTheOthersUpdated) {
  // Only a run in which every target hub already runs the version ends as
  // already latest; otherwise the hubs behind are written (a re-run after an
  // interrupted update finishes it), and /MP writes every hub.
  struct Case {
    const char* what;
    std::array<std::uint8_t, 6> second;
    std::uint8_t mp;
    bool firstWritten, secondWritten;
    std::wstring status;
  };
  const std::wstring pass = L"Pass!!\nPlease AC POWER OFF!";
  for (const Case& c : {Case{"one latest", kCarriedVersion, 0, true, false, pass},
                        Case{"one latest, mass production", kCarriedVersion, 1, true, true, pass}}) {
    SCOPED_TRACE(c.what);
    RunFixture run(benchOf({targetHub(0), targetHub(1, c.second)}));
    run.useCarriedImage();
    run.dialog.m_bMP = c.mp;
    run.dialog.m_bConsole = 1;
    run.host().system().allocConsole();
    run.run();
    EXPECT_EQ(run.hasCarriedImage(0), c.firstWritten);
    // Its own image of the version (not the carried image) stays.
    EXPECT_EQ(run.hasCarriedImage(1), c.secondWritten) << "the latest hub was written";
    EXPECT_EQ(run.console().find("Hub[1], FW Versoin[25031825010c] The Firmware version has been the latest") !=
                  std::string::npos,
              !c.mp);
    EXPECT_EQ(run.status(), c.status);
    EXPECT_EQ(run.exitCode(), 0);
    EXPECT_EQ(run.host().system().restartRequests(), 1);
  }
  RunFixture run(benchOf({targetHub(0, kCarriedVersion), targetHub(1, kCarriedVersion)}));
  run.useCarriedImage();
  run.run();
  EXPECT_EQ(run.status(), L"The lastest Version!!(0)");
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_EQ(run.host().system().restartRequests(), 0);
}

// A hub counts as already running the image's version only when image 0 of
// its flash holds that version whole: a hub that runs it over an erased,
// damaged or other image (an update cut in its writes, one without a reset)
// is written.
TEST(UpdateRunGates, AHubIsLatestOnlyWhenImage0HoldsTheVersionWhole) {
  struct Case {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> image0;
    bool written;
  };
  const auto firmwareEnd = [](const std::vector<std::uint8_t>& image) {
    return static_cast<std::size_t>(258 + (image[256] | (image[257] << 8)));
  };
  const Case cases[] = {
      {"whole", [](std::vector<std::uint8_t>&) {}, false},
      {"erased", [](std::vector<std::uint8_t>& image) { std::fill(image.begin(), image.end(), 0xFF); }, true},
      {"firmware half erased",
       [](std::vector<std::uint8_t>& image) { std::fill(image.begin() + 0x4000, image.end(), 0xFF); }, true},
      {"another version", [](std::vector<std::uint8_t>& image) { image = sim::hub::makeImage(kOldVersion); }, true},
      {"table not sealed", [](std::vector<std::uint8_t>& image) { image[0x20] ^= 1; }, true},
      {"chip marker wrong", [&](std::vector<std::uint8_t>& image) { image[firmwareEnd(image)] ^= 1; }, true},
      {"checksum wrong", [&](std::vector<std::uint8_t>& image) { image[firmwareEnd(image) + 1] ^= 1; }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunFixture run(benchOf({targetHub(0, kCarriedVersion)}));
    {
      std::lock_guard<std::mutex> lock(run.host().hubBench().mutex());
      std::vector<std::uint8_t> image = sim::hub::makeImage(kCarriedVersion);
      c.image0(image);
      run.chip(0).flash().setImage(0, image);
    }
    run.useCarriedImage();
    run.dialog.m_bConsole = 1;
    run.host().system().allocConsole();
    run.run();
    EXPECT_EQ(run.runningVersion(0), L"25031825010c") << "the hub was reset";
    EXPECT_EQ(run.hasCarriedImage(0), c.written);
    EXPECT_EQ(run.console().find("The Firmware version has been the latest version") == std::string::npos, c.written);
    EXPECT_EQ(run.status(), c.written ? L"Pass!!\nPlease AC POWER OFF!" : L"The lastest Version!!(0)");
    EXPECT_EQ(run.exitCode(), 0);
  }
}

TEST(UpdateRunGates, VersionListGateNeedsAHubRunningAListedVersion) {
  struct Case {
    std::wstring list;
    bool written;
  };
  for (const Case& c : {Case{L"111111111111; 250115250000", true}, Case{L"111111111111", false}}) {
    RunFixture run(benchOf({targetHub(0)}));
    run.useCarriedImage();
    run.dialog.m_Ini.check_fw_version = 1;
    run.dialog.m_Ini.fw_version = c.list;
    run.run();
    EXPECT_EQ(run.hasCarriedImage(0), c.written) << std::string(c.list.begin(), c.list.end());
    EXPECT_EQ(run.exitCode(), c.written ? 0 : -4);
    EXPECT_EQ(run.status(), c.written ? L"Pass!!\nPlease AC POWER OFF!" : L"Failed!!(-4)");
  }
}

TEST(UpdateRunGates, NoHubOfTheImagesChipTypeIsNoTargetHub) {
  HubConfig other = sim::hub::oneHubPerFamilyBench().hubs[1];  // HBX863x, type 1
  RunFixture run(benchOf({other}));
  run.useCarriedImage();
  run.run();
  EXPECT_EQ(run.status(), L"Failed!!(-4)");
  EXPECT_EQ(run.exitCode(), -4);
  EXPECT_TRUE(run.log.has(L"No hub of chip type [2]"));
  EXPECT_EQ(run.host().system().restartRequests(), 0);
}

TEST(UpdateRunGates, HubOfAnotherChipTypeBesideATargetIsLeftAloneAndNotPassed) {
  HubConfig other = sim::hub::oneHubPerFamilyBench().hubs[1];
  RunFixture run(benchOf({targetHub(0), other}));
  run.useCarriedImage();
  run.dialog.m_bConsole = 1;
  run.host().system().allocConsole();
  const auto before = run.flashImage(1, 0);
  run.run();
  EXPECT_TRUE(run.hasCarriedImage(0));
  EXPECT_EQ(run.flashImage(1, 0), before);
  EXPECT_EQ(run.dialog.m_DevList.Devs[1].m_bChkFWResult, 0);
  EXPECT_TRUE(run.log.has(L"incorrect DUT [1]"));
  EXPECT_TRUE(run.log.has(L"ucTargetNumber[1], not a target: chip type[1], FW chip type[2]"));
  EXPECT_EQ(run.console().find("The Hub[1] FW Update"), std::string::npos) << run.console();
  EXPECT_NE(run.console().find("The Hub[1] is not a target of this FW (chip type 1, FW chip type 2)"), std::string::npos);
  EXPECT_EQ(run.exitCode(), 0);
}

// A hub whose chip type could not be read may be a target: it is not
// written and fails the run, the other hubs are written. Also as the only
// hub, and when it runs the image's version: it is never "latest".
TEST(UpdateRunGates, HubWhoseChipTypeWasNotReadFailsUnwritten) {
  struct Case {
    const char* what;
    std::vector<std::array<std::uint8_t, 6>> versions;  // the last hub's type is not read
  };
  const Case cases[] = {
      {"beside a target", {kOldVersion, kOldVersion}},
      {"the only hub", {kOldVersion}},
      {"the only hub, on the image's version", {kCarriedVersion}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<HubConfig> hubs;
    for (std::size_t k = 0; k < c.versions.size(); ++k) hubs.push_back(targetHub(static_cast<int>(k), c.versions[k]));
    const int unread = static_cast<int>(hubs.size()) - 1;
    RunFixture run(benchOf(hubs));
    run.useCarriedImage();
    run.dialog.m_bConsole = 1;
    run.host().system().allocConsole();
    run.dialog.m_RunHooks.openDevices = [list = run.dialog.m_RunHooks.openDevices, unread](DeviceList* devices) {
      const int result = list(devices);
      devices->Devs[static_cast<std::size_t>(unread)].m_ucChipType = kChipTypeUnknown;
      return result;
    };
    const auto before = run.flashImage(unread, 0);
    run.run();
    for (int k = 0; k < unread; ++k) EXPECT_TRUE(run.hasCarriedImage(k)) << k;
    EXPECT_EQ(run.flashImage(unread, 0), before);
    EXPECT_TRUE(run.log.has(wformat(L"ucTargetNumber[%d], chip type unknown", unread)));
    EXPECT_EQ(run.console().find("latest version"), std::string::npos) << run.console();
    EXPECT_EQ(run.exitCode(), -1);
    EXPECT_EQ(run.status(), L"Failed!!(-1)");
  }
}

// ---- Check mode -------------------------------------------------------------

TEST(UpdateRunCheck, ChecksEveryHubWithoutWriting) {
  struct Case {
    std::wstring expected;
    int exitCode;
    std::wstring status;
  };
  for (const Case& c : {Case{L"250115250000", 0, L"Pass!!\nPlease AC POWER OFF!"},
                        Case{L"250115250001", -7, L"Failed!!(-7)"}}) {
    RunFixture run(benchOf({targetHub(0), targetHub(1)}));
    run.dialog.m_bCheckFW = 1;
    run.dialog.m_strChkFWVer = c.expected;
    const auto before = run.flashImage(0, 0);
    run.run();
    EXPECT_EQ(run.flashImage(0, 0), before);
    EXPECT_EQ(run.exitCode(), c.exitCode);
    EXPECT_EQ(run.status(), c.status);
    EXPECT_EQ(run.host().system().restartRequests(), 0);
    // Each hub's bar shows its own check: green only for a version that matched.
    for (std::size_t k = 0; k < 2; ++k) {
      run.dialog.m_Model.withControls([&](ui::DialogControls& controls) {
        EXPECT_EQ(static_cast<ui::Colour>(controls.progress(ui::ctrl::kHubBars[k])->barColour()),
                  c.exitCode == 0 ? ui::kGreen : ui::kRed)
            << k;
      });
    }
  }
}

TEST(UpdateRunCheck, CheckThenUpdateWritesTheHubsThatPassed) {
  RunFixture run(benchOf({targetHub(0), targetHub(1, {0x25, 0x01, 0x15, 0x25, 0x00, 0x01})}));
  run.useCarriedImage();
  run.dialog.m_bCheckFW = 1;
  run.dialog.m_strChkFWVer = L"250115250000";
  run.run();
  EXPECT_TRUE(run.hasCarriedImage(0));
  EXPECT_FALSE(run.hasCarriedImage(1));
  // The hub that did not match fails the run all the same.
  EXPECT_TRUE(run.log.has(L"[1]Version Check Failed"));
  EXPECT_EQ(run.exitCode(), -7);
  EXPECT_EQ(run.status(), L"Failed!!(-7)");
  EXPECT_EQ(run.host().system().restartRequests(), 0);
}

// ---- Side tasks -------------------------------------------------------------

TEST(UpdateRunSideTasks, VersionFileListsEveryHub) {
  RunFixture run(benchOf({targetHub(0), targetHub(1), targetHub(2, kCarriedVersion), targetHub(3)}));
  run.writeFile(L"C:\\HBX\\HbxHubVersion.txt", std::vector<std::uint8_t>(100, 'x'));
  run.dialog.m_bOutputVer = 1;
  run.run();
  const auto text = run.readFile(L"C:\\HBX\\HbxHubVersion.txt");
  EXPECT_EQ(std::string(text.begin(), text.end()),
            "0:250115250000\r\n1:250115250000\r\n2:25031825010c\r\n3:250115250000\r\n");
  // The side task's result text is what the run ends with.
  EXPECT_EQ(run.status(), L"Output Version File PASS");
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_EQ(run.host().system().restartRequests(), 0);
}

TEST(UpdateRunSideTasks, SerialNumberComparison) {
  struct Case {
    std::vector<std::wstring> serials;
    int exitCode;
    std::wstring line;
  };
  const std::vector<Case> cases = {
      {{L"abc1", L"ABC1"}, 0, L"Compare Serial Number PASS"},
      {{L"abc1", L"abc2"}, -1, L"The Serial Number are not same!!!"},
      {{L"abc1", L"abc1", L"abc1"}, -1, L"Can not Compare above 2 Hubs in platform"},
      {{L"abc1"}, -1, L"Can not Compare above 2 Hubs in platform"},
  };
  for (const Case& c : cases) {
    std::vector<HubConfig> hubs;
    for (std::size_t k = 0; k < c.serials.size(); ++k) {
      hubs.push_back(targetHub(static_cast<int>(k)));
      hubs.back().serial = c.serials[k];
    }
    RunFixture run(benchOf(hubs));
    run.dialog.m_bCmpSN = 1;
    run.run();
    EXPECT_EQ(run.exitCode(), c.exitCode) << c.serials.size() << " hubs";
    EXPECT_EQ(run.status(), c.line);
    EXPECT_EQ(run.host().system().restartRequests(), 0);
  }
}

TEST(UpdateRunSideTasks, ExportWritesEachHubsTableAndRomStart) {
  // The ROM as the read-back gives it: a table, then the firmware area, whose
  // first two bytes are the length the file's size follows. A length that
  // would run past the 0xFF00-byte buffer is refused instead of read.
  struct Case {
    std::uint16_t len;
    bool exported;
  };
  for (const Case& c : {Case{0x1000, true}, Case{0xFDE0, true}, Case{0xFDE1, false}}) {
    RunFixture run(benchOf({targetHub(0), targetHub(1)}));
    run.dialog.m_bExport = 1;
    std::vector<std::uint8_t> rom(0xFF00);
    for (std::size_t b = 0; b < rom.size(); ++b) rom[b] = static_cast<std::uint8_t>(b * 7 + 3);
    rom[256] = static_cast<std::uint8_t>(c.len & 0xFF);
    rom[257] = static_cast<std::uint8_t>(c.len >> 8);
    run.dialog.m_RunHooks.readSpiRom = [&](std::uint8_t, std::uint8_t* buffer) {
      std::copy(rom.begin(), rom.end(), buffer);
      return true;
    };
    run.run();
    for (int k = 0; k < 2; ++k) {
      const auto table = run.flashImage(k, 0);
      const auto file = run.readFile(L"C:\\HBX\\HBXFW_Temp\\HBX763xFW[" + std::to_wstring(k) + L"].bin");
      EXPECT_EQ(run.dialog.m_DevList.Devs[static_cast<std::size_t>(k)].m_bExportResult, c.exported ? 1 : 0);
      if (!c.exported) continue;
      ASSERT_EQ(file.size(), c.len + 260u) << "hub " << k;
      EXPECT_TRUE(std::equal(table.begin(), table.begin() + 256, file.begin()));
      EXPECT_TRUE(std::equal(rom.begin() + 256, rom.begin() + 256 + c.len + 4, file.begin() + 256));
    }
    EXPECT_EQ(run.exitCode(), c.exported ? 0 : -1);
    EXPECT_EQ(run.host().system().restartRequests(), 0);
  }
}

TEST(UpdateRunSideTasks, ExportThatCannotReadTheRomFails) {
  RunFixture run(benchOf({targetHub(0)}));
  run.dialog.m_bExport = 1;
  run.run();
  EXPECT_TRUE(run.log.has(L"ucTargetNumber[0], bReadFirmware fail"));
  EXPECT_EQ(run.exitCode(), -1);
  EXPECT_EQ(run.status(), L"Failed!!(-1)");
}

// ---- Sources ----------------------------------------------------------------

TEST(UpdateRunSources, ExportedImageIsStagedFromItsTrailerAndKeptOnDisk) {
  RunFixture run(benchOf({targetHub(0)}));
  run.useCarriedImage();
  std::vector<std::uint8_t> exported = run.carriedImage;
  std::vector<std::uint8_t> trailer(57, 0);
  std::copy(kCarriedVersion.begin(), kCarriedVersion.end(), trailer.begin());
  trailer[6] = 1;  // a whole image
  trailer[7] = 0x8B;
  trailer[8] = 0x2E;
  const std::string manufacturer = "Corvane";
  std::copy(manufacturer.begin(), manufacturer.end(), trailer.begin() + 13);
  exported.insert(exported.end(), trailer.begin(), trailer.end());
  const std::wstring path = L"C:\\HBX\\HUB_HBX763XFW.BIN";
  run.writeFile(path, exported);
  run.utility.m_strFWBinFilePath = path;
  run.run();
  EXPECT_TRUE(run.hasCarriedImage(0));
  EXPECT_EQ(run.dialog.m_strCurFileFWVer, L"25031825010c");
  EXPECT_EQ(run.utility.m_strVID_Indetify, L"2E8B");
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_TRUE(std::filesystem::exists(run.hostPath(path))) << "the user's file stays";
  EXPECT_FALSE(std::filesystem::exists(run.hostPath(L"C:\\HBX\\Config_25031825010c.bin")));
}

TEST(UpdateRunSources, ExportedImageIsCheckedLikeEveryOtherSourceAndLeavesUserFilesAlone) {
  // An image of chip type 0 whose bytes 0x200-0x205 read as code of type 2,
  // exported as a whole image. However start-up judged it (by its image, or
  // as type 2 like firmware code), no hub of type 2 is given it; a user's
  // file named as the image's version beside the program stays as it was.
  struct Case {
    const char* what;
    bool otherChipType;
    bool startUpSaysType2;
  };
  for (const Case& c : {Case{"image of another chip type", true, false}, Case{"... taken as type 2", true, true},
                        Case{"the carried image", false, false}}) {
    SCOPED_TRACE(c.what);
    RunFixture run(benchOf({targetHub(0)}));
    run.useCarriedImage();
    std::vector<std::uint8_t> image = run.carriedImage;
    if (c.otherChipType) {
      const std::size_t length = image[256] | (image[257] << 8);
      image[0x305] = 0x05;
      image[0x203] = 0x25;
      image[258 + length] = 0xAA;
      image[259 + length] = image::byteSum(std::span<const std::uint8_t>(image).subspan(258, length));
    }
    std::vector<std::uint8_t> trailer(57, 0);
    std::copy(kCarriedVersion.begin(), kCarriedVersion.end(), trailer.begin());
    trailer[6] = 1;
    image.insert(image.end(), trailer.begin(), trailer.end());
    const std::wstring path = L"C:\\HBX\\HBX763XFW.BIN";
    run.writeFile(path, image);
    const std::vector<std::uint8_t> userFile(100, 0x42);
    for (const wchar_t* name : {L"C:\\HBX\\Config_25031825010c.bin", L"C:\\HBX\\25031825010c.bin"})
      run.writeFile(name, userFile);
    const auto before = run.flashImage(0, 0);
    run.utility.m_strFWBinFilePath = path;
    run.dialog.m_bMajorType = c.startUpSaysType2 ? 2 : run.dialog.vIsValidHubFirmware(path);
    run.run();
    EXPECT_EQ(run.flashImage(0, 0) == before, c.otherChipType);
    EXPECT_EQ(run.exitCode() == 0, !c.otherChipType);
    for (const wchar_t* name : {L"C:\\HBX\\Config_25031825010c.bin", L"C:\\HBX\\25031825010c.bin"})
      EXPECT_EQ(run.readFile(name), userFile);
  }
}

TEST(UpdateRunSources, ExportedImageTooShortForItsTrailerStartsNoRun) {
  RunFixture run(benchOf({targetHub(0)}));
  const std::wstring path = L"C:\\HBX\\HBX763XFW.BIN";
  run.writeFile(path, std::vector<std::uint8_t>(56, 0x11));
  run.utility.m_strFWBinFilePath = path;
  run.run();
  EXPECT_TRUE(run.log.has(L"mallco Fail"));
  EXPECT_EQ(run.dialog.m_MainThreadInfo.ucState.load(), MAIN_THREAD_START);
  EXPECT_TRUE(run.dialog.bRunEnded());
  EXPECT_EQ(run.listings, 0);
  EXPECT_EQ(run.exitCode(), -1);
}

TEST(UpdateRunSources, TheRunsVersionIsTheContents) {
  struct Case {
    const wchar_t* name;
    bool written;
  };
  // A name without a version, and one in capitals as the command line has it.
  for (const Case& c : {Case{L"C:\\HBX\\hub_image_config.bin", true}, Case{L"C:\\HBX\\CONFIG_250318_25_01_0C.BIN", true}}) {
    RunFixture run(benchOf({targetHub(0)}));
    run.useCarriedImage();
    run.writeFile(c.name, run.carriedImage);
    run.utility.m_strFWBinFilePath = c.name;
    run.run();
    EXPECT_EQ(run.dialog.m_strCurFileFWVer, L"25031825010C");
    EXPECT_EQ(run.dialog.m_ucFWType, 1);
    EXPECT_EQ(run.hasCarriedImage(0), c.written);
    EXPECT_EQ(run.exitCode(), 0);
  }
}

TEST(UpdateRunSources, SourceNoHubWouldBootIsRefusedBeforeAnyWrite) {
  // Checked again by the run itself, whatever start-up let through.
  const auto firmware = [](std::size_t n) {
    std::vector<std::uint8_t> code(n, 0x11);
    if (n >= 0x206) std::copy(kCarriedVersion.begin(), kCarriedVersion.end(), code.begin() + 0x200);
    return code;
  };
  struct Case {
    const char* what;
    const wchar_t* name;
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> content;
  };
  const std::vector<Case> cases = {
      {"firmware too short", L"C:\\HBX\\fw.bin", [&](const auto&) { return firmware(0x206); }},
      {"name and content differ", L"C:\\HBX\\Config_250318_25_01_0D.bin", [](const auto& image) { return image; }},
      {"blank firmware area", L"C:\\HBX\\Config_a.bin",
       [](auto image) {
         std::fill(image.begin() + 256, image.end(), 0xFF);
         return image;
       }},
      {"table checksum", L"C:\\HBX\\Config_a.bin",
       [](auto image) {
         image[0x20] ^= 0x01;
         return image;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunFixture run(benchOf({targetHub(0)}));
    run.useCarriedImage();
    const auto before = run.flashImage(0, 0);
    run.writeFile(c.name, c.content(run.carriedImage));
    run.utility.m_strFWBinFilePath = c.name;
    run.run();
    EXPECT_EQ(run.flashImage(0, 0), before);
    EXPECT_EQ(run.chip(0).notErasedWrites(), 0u);
    EXPECT_EQ(run.exitCode(), -10);
    EXPECT_EQ(run.status(), L"Failed!!(-10)");
  }
}

TEST(UpdateRunSources, SourceReplacedDuringTheRunChangesNothingTheRunWrites) {
  // Start-up reads the source once; another file is renamed over it during
  // the scan, after the Start button. The run writes, states and verifies the
  // bytes it checked, and never opens the path again (a pipe would hang it).
  const auto code = [](std::uint8_t byte3, std::uint8_t last) {
    std::vector<std::uint8_t> bytes(0x5000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::copy(kCarriedVersion.begin(), kCarriedVersion.end(), bytes.begin() + 0x200);
    bytes[0x203] = byte3;
    bytes[0x205] = last;
    return bytes;
  };
  const std::vector<std::uint8_t> source = code(0x25, 0x0C);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> replacement;  // empty: a pipe
  };
  const Case cases[] = {
      {"firmware of another chip type", code(0x05, 0x0C)},
      {"firmware of another version", code(0x25, 0x0D)},
      {"a pipe", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunFixture run(benchOf({targetHub(0), targetHub(1)}));
    const std::wstring path = L"C:\\HBX\\fw.bin";
    run.writeFile(path, source);
    run.utility.m_strFWBinFilePath = path;
    run.dialog.m_bUpdate = 1;
    run.dialog.m_bMajorType = run.dialog.vIsValidHubFirmware(path);
    ASSERT_EQ(run.dialog.m_bMajorType, 2);
    const auto list = run.dialog.m_RunHooks.openDevices;
    run.dialog.m_RunHooks.openDevices = [&, list](DeviceList* devices) {
      const std::filesystem::path other = run.hostPath(L"C:\\HBX\\other.bin");
      if (c.replacement.empty()) {
        EXPECT_EQ(::mkfifo(other.c_str(), 0644), 0);
      } else {
        run.writeFile(L"C:\\HBX\\other.bin", c.replacement);
      }
      std::filesystem::rename(other, run.hostPath(path));
      return list(devices);
    };
    run.run();
    EXPECT_EQ(run.dialog.m_strCurFileFWVer, L"25031825010C");
    const std::vector<std::uint8_t> area = *image::firmwareAreaFromCode(source);
    for (int k = 0; k < 2; ++k) {
      const std::vector<std::uint8_t> image0 = run.flashImage(k, 0);
      EXPECT_TRUE(std::equal(area.begin(), area.end(), image0.begin() + 256)) << "hub " << k;
    }
    EXPECT_EQ(run.exitCode(), 0);
  }
}

TEST(UpdateRunSources, EmptyFileVersionFailsBeforeAnyWrite) {
  RunFixture run(benchOf({targetHub(0)}));
  run.useCarriedImage();
  const auto before = run.flashImage(0, 0);
  run.utility.m_strFWBinFilePath = L"C:\\HBX\\.bin";
  run.run();
  EXPECT_EQ(run.flashImage(0, 0), before);
  EXPECT_EQ(run.exitCode(), -1);
  EXPECT_EQ(run.status(), L"Failed!!(-1)");
}

}  // namespace
}  // namespace hbx::testing_run

namespace hbx::testing_run {
namespace {

TEST(UpdateRunSources, ExportOptionTurnsUpdateModeOff) {
  struct Case {
    std::wstring line;
    std::uint8_t update;
    bool ends;
  };
  for (const Case& c : {Case{L" /E", 0, false}, Case{L" /E /C 25011525_00_00", 0, false}, Case{L" /E /U", 0, true}}) {
    RunFixture run(benchOf({}));
    const StepResult r = run.dialog.ParseCommandLine(c.line);
    EXPECT_EQ(r.endsProcess(), c.ends) << std::string(c.line.begin(), c.line.end());
    EXPECT_EQ(run.dialog.m_bExport, 1);
    if (!c.ends) {
      EXPECT_EQ(run.dialog.m_bUpdate, c.update);
    }
  }
}

}  // namespace
}  // namespace hbx::testing_run

namespace hbx::testing_run {
namespace {

std::string fixtureText(const std::string& name) {
  std::ifstream in(std::string(HBX_UPDATE_FIXTURES) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(UpdateRunConsole, TranscriptOfAnUpdateWithReset) {
  RunFixture run(benchOf({targetHub(0)}));
  run.useCarriedImage();
  run.dialog.m_bConsole = 1;
  run.host().system().allocConsole();
  run.dialog.m_Ini.EnableRelinkAfterFWUpg = 1;
  run.run();
  EXPECT_EQ(run.console(), fixtureText("console_update_one_hub.txt"));
  EXPECT_EQ(run.exitCode(), 0);
}

}  // namespace
}  // namespace hbx::testing_run
