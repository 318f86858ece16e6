// The built program's live dialog in a pseudo-terminal, on the built-in
// bench: what a user does at the terminal (keys, Ctrl-S, the end of the
// input) never changes the run's result, the close box and the signals stop
// it only the write-safe way, the terminal gets its modes, colours and
// cursor back on every way out, and the screen gets a bounded number of
// frames and bytes.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>

#include "tests/sim/temp_folder.h"
#include "tests/terminal/pty_program.h"

namespace hbx::testing {
namespace {

namespace fs = std::filesystem;

const char* const kShowCursor = "\x1b[?25h";
const char* const kHideCursor = "\x1b[?25l";

class PtyRunTest : public ::testing::Test {
 protected:
  PtyRunTest() {
    fs::create_directories(root_.path() / "tmp");
    fs::copy_file(HBX_PROGRAM_PATH, root_.path() / "8634FWUpgradeTool");
  }
  std::unique_ptr<PtyProgram> start(const std::string& timeScale, bool inputEnded = false) {
    return std::make_unique<PtyProgram>(
        (root_.path() / "8634FWUpgradeTool").string(), std::vector<std::string>{"/DBG", "3"},
        std::vector<std::string>{"TERM=xterm-256color", "TMPDIR=" + (root_.path() / "tmp").string(),
                                 "HBX_TIME_SCALE=" + timeScale, "HBX_DEBUG_LOG=" + log().string()},
        inputEnded);
  }
  fs::path log() const { return root_.path() / "debug.log"; }
  std::string logText() const {
    std::ifstream in(log(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Waits until the debug log holds `line`.
  bool reach(PtyProgram& p, const std::string& line) {
    return p.pumpUntil([&] { return logText().find(line) != std::string::npos; });
  }
  // The terminal as it was before the program: echo, lines, flow control.
  static void expectRestored(const PtyProgram& p) {
    const termios now = p.modes();
    const termios& before = p.modesAtStart();
    EXPECT_EQ(now.c_lflag & (ECHO | ICANON | ISIG), before.c_lflag & (ECHO | ICANON | ISIG));
    EXPECT_EQ(now.c_iflag & (IXON | ICRNL), before.c_iflag & (IXON | ICRNL));
    const std::string& out = p.output();
    const std::size_t hidden = out.rfind(kHideCursor);
    ASSERT_NE(hidden, std::string::npos);
    const std::size_t shown = out.rfind(kShowCursor);
    EXPECT_TRUE(shown != std::string::npos && shown > hidden) << "cursor left hidden";
    // The colours are reset after the last one was set.
    const std::size_t lastColour = std::max(out.rfind("\x1b[38;5;"), out.rfind("\x1b[48;5;"));
    const std::size_t reset = out.rfind("\x1b[m");
    EXPECT_TRUE(reset != std::string::npos && (lastColour == std::string::npos || reset > lastColour))
        << "colours left set";
  }

  TempFolder root_;
};

// The search and the writes, as the debug log shows them.
const char* const kDuringSearch = "vScanUSBPort !!!";
const char* const kDuringWrites = "Update config &  Firmware";
// The run's code -12 as an exit status.
constexpr int kStopped = 244;

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Every hub that began its writes finished them: none is left without firmware.
void expectNoHubLeftHalfWritten(const std::string& log) {
  EXPECT_EQ(occurrences(log, "updata config"), occurrences(log, "FW Update PASS")) << log;
}

TEST_F(PtyRunTest, WhatTheUserTypesDuringTheRunNeverChangesItsResult) {
  struct Case {
    const char* name;
    std::string keys;
    bool inputEnded;
  };
  const Case cases[] = {
      {"q", "q", false},
      {"Escape", "\x1b", false},
      {"arrow key", "\x1b[A", false},
      {"Ctrl-S, then Ctrl-Q", "\x13", false},
      {"end of input", "", true},
  };
  for (const char* moment : {kDuringSearch, kDuringWrites}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " at " + moment);
      fs::remove(log());
      fs::remove_all(root_.path() / "tmp");
      fs::create_directories(root_.path() / "tmp");
      auto p = start("0.05", c.inputEnded);
      ASSERT_TRUE(reach(*p, moment));
      p->type(c.keys);
      if (c.keys == "\x13") {
        p->pumpFor(3);  // the terminal stays paused for a while
        p->type("\x11");
      }
      const bool closing = c.keys == "q" || c.keys == "\x1b";
      if (!closing && !c.inputEnded) {
        // The run ends on its own; OK ends the dialog.
        ASSERT_TRUE(p->waitForOutput("Enter: OK")) << p->output();
        p->type("\r");
      }
      const int status = p->waitForExit();
      const std::string text = logText();
      expectNoHubLeftHalfWritten(text);
      if (closing) {
        // The close box stops the run the write-safe way; hubs whose writes
        // had begun by then all pass.
        EXPECT_TRUE(status == kStopped || (status == 0 && occurrences(text, "FW Update PASS") == 3)) << status;
        if (std::string(moment) == kDuringSearch) {
          EXPECT_EQ(status, kStopped);
        }
      } else {
        EXPECT_EQ(status, 0) << text;
        EXPECT_EQ(occurrences(text, "FW Update PASS"), 3u);
      }
      expectRestored(*p);
    }
  }
}

TEST_F(PtyRunTest, EveryWayOutGivesTheTerminalBack) {
  // Ctrl-C, Ctrl-\, SIGTERM and SIGHUP stop the run the write-safe way; the
  // dialog closes once the run has cleaned up.
  for (int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    // The log of the run before would let the signal go before this run drew.
    fs::remove(log());
    auto p = start("0.05");
    ASSERT_TRUE(reach(*p, kDuringWrites));
    p->pumpFor(0.3);
    p->signal(signal);
    const int status = p->waitForExit();
    EXPECT_TRUE(status == kStopped || status == 0) << status;
    expectNoHubLeftHalfWritten(logText());
    expectRestored(*p);
  }
  // Ctrl-Z and fg: the dialog comes back, and the terminal is given back at its end.
  fs::remove(log());
  auto p = start("0.05");
  ASSERT_TRUE(reach(*p, kDuringSearch));
  p->signal(SIGTSTP);
  p->pumpFor(0.3);
  p->signal(SIGCONT);
  ASSERT_TRUE(p->waitForOutput("Enter: OK")) << p->output();
  p->type("\r");
  EXPECT_EQ(p->waitForExit(), 0);
  expectRestored(*p);
}

TEST_F(PtyRunTest, TheScreenGetsAtMostAboutTenFramesASecondWhateverTheTimeScale) {
  for (const char* scale : {"0.01", "1"}) {
    SCOPED_TRACE(scale);
    auto p = start(scale);
    ASSERT_TRUE(p->waitForOutput("Search Target Hub"));
    const auto from = PtyProgram::Clock::now();
    p->pumpFor(3);
    // Pieces that come less than 20 ms apart belong to one frame.
    std::size_t bytes = 0;
    int frames = 0;
    PtyProgram::Clock::time_point last{};
    for (const PtyProgram::Piece& piece : p->pieces()) {
      if (piece.at < from) continue;
      bytes += piece.bytes;
      if (piece.at - last > std::chrono::milliseconds(20)) ++frames;
      last = piece.at;
    }
    EXPECT_LE(frames, 3 * 11);
    EXPECT_LE(bytes, 3u * 3000u);  // whole screens would be kilobytes a frame
  }
}

}  // namespace
}  // namespace hbx::testing
