// The dialog's display through the dialog: hub rows from the device list
// with their log lines, the hub bars, timer 1, and how the open dialog ends
// in each run mode.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app_fixture.h"
#include "sim/sim_clock.h"
#include "tests/ui/fake_terminal.h"
#include "ui/render/terminal_view.h"

namespace hbx::testing {
namespace {

using ui::ctrl::kHubBars;
using ui::ctrl::kHubLabels;
using ui::ctrl::kHubVersions;
using ui::ctrl::kOverallBar;

class DisplayTest : public AppTest {
 protected:
  DisplayTest() {
    logFile_ = host_->driveC() / "debug.log";
    host_->system().setDebugLogFile(logFile_);
    log::vDEBUG_SetLevel(3);
  }
  // What reached the debug channel since the last call.
  std::string newLogLines() {
    std::ifstream in(logFile_, std::ios::binary);
    const std::string all(std::istreambuf_iterator<char>(in), {});
    const std::string fresh = all.substr(logSeen_ < all.size() ? logSeen_ : all.size());
    logSeen_ = all.size();
    return fresh;
  }
  static std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
  void listHubs(std::vector<std::uint8_t> chipTypes) {
    dialog_->m_DevList.DevNums = static_cast<int>(chipTypes.size());
    for (std::size_t i = 0; i < chipTypes.size(); ++i) {
      dialog_->m_DevList.Devs[i].m_ucChipType = chipTypes[i];
      dialog_->m_DevList.Devs[i].m_strFWVersion = L"2302111700" + std::to_wstring(10 + i);
    }
  }
  std::vector<bool> shownRows() {
    std::vector<bool> shown;
    dialog_->m_Model.withControls([&](ui::DialogControls& c) {
      for (std::size_t r = 0; r < ui::ctrl::kHubRows; ++r) shown.push_back(c.item(kHubLabels[r])->IsWindowVisible());
    });
    return shown;
  }
  struct Bar {
    int pos;
    ui::Colour colour;
  };
  Bar bar(int id) {
    Bar b{};
    dialog_->m_Model.withControls([&](ui::DialogControls& c) {
      b = {c.progress(id)->GetPos(), static_cast<ui::Colour>(c.progress(id)->barColour())};
    });
    return b;
  }

  std::filesystem::path logFile_;
  std::size_t logSeen_ = 0;
};

TEST_F(DisplayTest, HubRowsFollowTheDeviceListAndLogWhatTheyLeaveOut) {
  struct Case {
    std::uint8_t count;
    std::vector<std::uint8_t> chipTypes;  // of the listed hubs; the image's type is 2
    std::vector<bool> shown;
    std::vector<std::string> errors;
  };
  const std::string invalid = "ERR::ZAr763ORIdirevaVodoRev::vShowHubInfo:";
  const Case cases[] = {
      {0, {}, {false, false, false, false, false}, {":  ucHubNum Invalid 0"}},
      {9, {2, 2, 2, 2, 2, 2, 2, 2, 2}, {false, false, false, false, false}, {":  ucHubNum Invalid 9"}},
      {4, {2, 2, 2, 2}, {true, true, true, true, false}, {}},
      {8, {2, 2, 2, 2, 2, 2, 2, 2}, {true, true, true, true, false}, {}},
      {3, {2, 2, 2}, {true, true, true, false, false}, {}},
      {2, {1, 2}, {false, true, false, false, false}, {":  m_bMajorType[2], Devs[0].m_ucChipType[1] "}},
  };
  dialog_->m_bMajorType = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.count));
    listHubs(c.chipTypes);
    dialog_->vShowHubInfo(c.count);
    EXPECT_EQ(shownRows(), c.shown);
    const std::string log = newLogLines();
    EXPECT_EQ(count(log, invalid), c.errors.size());
    for (const std::string& e : c.errors) EXPECT_NE(log.find(e), std::string::npos) << log;
  }
  // A shown row carries the hub's version in groups.
  dialog_->m_Model.withControls([](ui::DialogControls& c) {
    EXPECT_EQ(c.item(kHubVersions[1])->GetText(), L"230211_17_00_11");
  });
  // Hubs past the fourth have no row, and the log says which rows there are.
  listHubs({2, 2, 2, 2, 2, 2});
  dialog_->vShowHubInfo(6);
  EXPECT_NE(newLogLines().find("WRN::ZAr763ORIdirevaVodoRev::vShowHubInfo:"), std::string::npos);
}

TEST_F(DisplayTest, StatusTextAndHubBars) {
  dialog_->vShowUpddateResult(L"Processing!!", 3, 32);
  dialog_->m_Model.withControls([](ui::DialogControls& c) {
    EXPECT_EQ(c.item(ui::ctrl::kStatusText)->GetText(), L"Processing!!");
    EXPECT_EQ(c.colorStatic(ui::ctrl::kStatusText)->textColour(), ui::kBlue);
  });
  dialog_->vSetUpProgressBars();
  listHubs({2, 2});
  dialog_->vSetHubBar(2, 40);
  dialog_->vSetHubBar(0, 70, ui::kGreen);
  dialog_->vFinishHubBars(ui::kRed);  // the listed hubs only
  EXPECT_EQ(bar(kHubBars[0]).pos, 100);
  EXPECT_EQ(bar(kHubBars[0]).colour, ui::kRed);
  EXPECT_EQ(bar(kHubBars[1]).colour, ui::kRed);
  EXPECT_EQ(bar(kHubBars[2]).pos, 40);
  EXPECT_EQ(bar(kHubBars[2]).colour, ui::kGreen);
}

TEST_F(DisplayTest, TimerTicksShowTheSearchAndTheEndOfTheRun) {
  dialog_->m_Model.setUpBars();
  dialog_->m_Model.setTimer(nullptr, ui::DialogModel::kTimerPeriodMs, {});  // ticks by hand
  dialog_->m_MainThreadInfo.ucState = MAIN_THREAD_SCAN;

  dialog_->OnTimer(1);  // not in console mode: no search line
  EXPECT_EQ(output(), "");
  dialog_->m_bConsole = 1;
  host_->system().allocConsole();
  const auto before = host_->clock().virtualMs();
  for (int i = 0; i < 22; ++i) dialog_->OnTimer(1);
  EXPECT_GE(host_->clock().virtualMs() - before, 22 * 50);  // each search tick pauses 50 ms
  const std::string printed = output();
  EXPECT_EQ(printed.rfind("Search Hub.\r", 0), 0u);
  EXPECT_NE(printed.find("\r" + std::string(56, ' ') + "\rSearch Hub.\r"), std::string::npos);
  EXPECT_EQ(bar(kOverallBar).pos, 23);  // every tick also moves the bar

  dialog_->OnTimer(2);  // another timer: the bar back to 0
  EXPECT_EQ(bar(kOverallBar).pos, 0);

  for (const bool allPass : {false, true}) {
    dialog_->m_Model.setTimer(nullptr, ui::DialogModel::kTimerPeriodMs, {});
    dialog_->m_MainThreadInfo.ucState = MAIN_THREAD_FINISH;
    dialog_->m_MainThreadInfo.bAllPass = allPass ? 1 : 0;
    newLogLines();
    dialog_->OnTimer(1);
    dialog_->OnTimer(1);  // the timer has stopped: nothing more
    EXPECT_FALSE(dialog_->m_Model.timerRunning());
    EXPECT_EQ(bar(kOverallBar).pos, 100);
    EXPECT_EQ(bar(kOverallBar).colour, allPass ? ui::kGreen : ui::kRed);
    const std::string log = newLogLines();
    EXPECT_EQ(count(log, "MSG::ZAr763ORIdirevaVodoRev::OnTimer:"), 1u);
    EXPECT_NE(log.find(": main  Finish!!!  "), std::string::npos);
  }
}

TEST_F(DisplayTest, TheTimerOfStartUpRunsOnItsOwnUntilTheRunFinishes) {
  dialog_->m_MainThreadInfo.ucState = MAIN_THREAD_OPEN;
  dialog_->vSetUpProgressBars();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (bar(kOverallBar).pos < 5 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_GE(bar(kOverallBar).pos, 5);  // sweeping
  dialog_->m_MainThreadInfo.bAllPass = 1;
  dialog_->m_MainThreadInfo.ucState = MAIN_THREAD_FINISH;
  while (dialog_->m_Model.timerRunning() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_FALSE(dialog_->m_Model.timerRunning());
  dialog_->m_Model.killTimer();
  EXPECT_EQ(bar(kOverallBar).pos, 100);
  EXPECT_EQ(bar(kOverallBar).colour, ui::kGreen);
}

// The open dialog after a start-up that started no run.
class ModalLoopTest : public DisplayTest {
 protected:
  int runDialog(const std::wstring& mode, ui::DialogView* view) {
    dialog_->m_bSilent = mode == L"silent" ? 1 : 0;
    dialog_->m_bConsole = mode == L"console" ? 1 : 0;
    dialog_->SetExitcode(-4);
    return dialog_->DoModal(view);
  }
  FakeTerminal terminal_;
  ui::render::TerminalDialogView view_{terminal_};
};

TEST_F(ModalLoopTest, WithoutAnyoneToPressOkTheDialogEndsAsThroughOk) {
  struct Case {
    std::wstring mode;
    bool withView;
  };
  for (const Case& c : {Case{L"interactive", false}, Case{L"silent", true}, Case{L"console", true}}) {
    SCOPED_TRACE(c.mode);
    dialog_ = std::make_unique<ZAr763ORIdirevaVodoRev>(host_->ports(), *utility_);
    EXPECT_EQ(runDialog(c.mode, c.withView ? &view_ : nullptr), -4);
    EXPECT_EQ(dialog_->m_Model.dialogResult(), platform::idanswer::kOk);
    EXPECT_EQ(terminal_.openings(), 0);  // the hidden modes never draw
    EXPECT_EQ(terminal_.written(), "");
  }
}

TEST_F(ModalLoopTest, TheTerminalViewDrawsTheDialogAndTakesEnterAsOk) {
  std::thread user([this] {
    while (terminal_.written().find("Enter: OK") == std::string::npos) std::this_thread::yield();
    terminal_.type("\n");
  });
  EXPECT_EQ(runDialog(L"interactive", &view_), -4);
  user.join();
  EXPECT_EQ(dialog_->m_Model.dialogResult(), platform::idanswer::kOk);
  EXPECT_EQ(terminal_.openings(), 1);
  EXPECT_FALSE(terminal_.live());  // put away again
  EXPECT_NE(terminal_.written().find("Update Status"), std::string::npos);
}

TEST_F(ModalLoopTest, EnterCountsOnlyOnceTheRunHasEnded) {
  dialog_->OnBnClickedButtonStart();
  terminal_.type("\n");  // at once: OK is disabled while the run goes on
  std::atomic<bool> pressedAgain{false};
  std::thread user([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      if (terminal_.written().find("Enter: OK") != std::string::npos) {
        pressedAgain = true;
        terminal_.type("\n");
        return;
      }
      std::this_thread::yield();
    }
  });
  runDialog(L"interactive", &view_);
  user.join();
  EXPECT_TRUE(pressedAgain);  // the first Enter did not end the dialog
  EXPECT_TRUE(dialog_->bRunEnded());
  EXPECT_EQ(dialog_->m_Model.dialogResult(), platform::idanswer::kOk);
}

TEST_F(ModalLoopTest, TheCloseKeyOrTheEndOfTheInputEndTheDialogWithTheRunsCode) {
  struct Case {
    std::optional<std::string> keys;
    int quitCode;
  };
  for (const Case& c : {Case{"q", 18}, Case{std::nullopt, 0}}) {
    dialog_ = std::make_unique<ZAr763ORIdirevaVodoRev>(host_->ports(), *utility_);
    terminal_.type(c.keys);
    EXPECT_EQ(runDialog(L"interactive", &view_), -4);
    EXPECT_TRUE(dialog_->m_Model.hasEnded());
    EXPECT_EQ(dialog_->m_Model.quitCode(), c.quitCode);
  }
}

// Waits (in real time, bounded) until `done`.
template <typename Done>
bool waitUntil(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST_F(ModalLoopTest, ThePausedTerminalHoldsUpNoneOfTheRunsThreads) {
  // Ctrl-S: whatever the view sends waits, as a write to a stopped terminal does.
  terminal_.pause(true);
  dialog_->OnBnClickedButtonStart();
  std::atomic<int> code{1};
  std::thread loop([&] { code = runDialog(L"interactive", &view_); });
  EXPECT_TRUE(waitUntil([&] { return terminal_.presentsStarted() > 0; }));
  // The run changes its controls and ends while the screen is stuck.
  EXPECT_TRUE(waitUntil([&] { return dialog_->bRunEnded(); }));
  EXPECT_EQ(terminal_.frames(), 0);
  terminal_.pause(false);  // Ctrl-Q
  EXPECT_TRUE(waitUntil([&] { return terminal_.written().find("Enter: OK") != std::string::npos; }));
  terminal_.type("\n");
  loop.join();
  EXPECT_EQ(code, dialog_->m_iRet);
  EXPECT_EQ(dialog_->m_Model.dialogResult(), platform::idanswer::kOk);
}

TEST_F(ModalLoopTest, TheCloseBoxDuringTheRunKeepsTheRunsFilesAndClosesWhenTheRunHasEnded) {
  const std::wstring carried = std::wstring(kProgramFolder) + L"\\" + kCarriedImage;
  for (const std::string& key : {std::string("q"), std::string("\x1b")}) {
    SCOPED_TRACE(key);
    dialog_ = std::make_unique<ZAr763ORIdirevaVodoRev>(host_->ports(), *utility_);
    writeFile(carried, "image");
    dialog_->m_strDefaultFWFile = kCarriedImage;
    dialog_->m_strCarriedImageCopy = carried;
    terminal_.clearWritten();
    // The search is held until the key has come.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    dialog_->m_RunHooks.openDevices = [released](DeviceList*) {
      released.wait();
      return 0;
    };
    dialog_->OnBnClickedButtonStart();
    std::atomic<int> code{1};
    std::thread loop([&] { code = runDialog(L"interactive", &view_); });
    terminal_.type(key);
    EXPECT_TRUE(waitUntil([&] { return terminal_.written().find("ends when the run has ended") != std::string::npos; }));
    EXPECT_FALSE(dialog_->m_Model.hasEnded());
    EXPECT_TRUE(exists(carried));  // the run still has its image
    release.set_value();
    loop.join();
    EXPECT_EQ(code, dialog_->m_iRet);  // the run's own result
    EXPECT_EQ(dialog_->m_Model.quitCode(), 18);
    EXPECT_FALSE(exists(carried));     // gone with the run
  }
}

TEST_F(ModalLoopTest, AfterTheEndOfTheInputTheDialogIsStillDrawnUntilTheRunEnds) {
  terminal_.type(std::nullopt);
  dialog_->OnBnClickedButtonStart();
  runDialog(L"interactive", &view_);
  EXPECT_TRUE(dialog_->bRunEnded());
  // The last picture shows the run's end, drawn after the input had ended.
  EXPECT_NE(terminal_.lastFrame().text().find("Enter: OK"), std::string::npos) << terminal_.lastFrame().text();
}

}  // namespace
}  // namespace hbx::testing
