// The live terminal view: keys as OK and close, pictures taken without
// waiting and presented at a bounded rate, the OK line, what the program
// prints while the dialog is shown, and a terminal too small for it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/ui/fake_terminal.h"
#include "ui/dialog_model.h"
#include "ui/render/terminal_view.h"

namespace hbx::ui::render {
namespace {

using testing::FakeTerminal;

TEST(TerminalView, KeysBecomeTheDialogsButtonsAndAnEscapeSequenceIsOneKey) {
  struct KeyCase {
    std::vector<std::optional<std::string>> reads;  // one takeAction per read
    UserAction last;                                // the answer to the last read
  };
  const KeyCase cases[] = {
      {{""}, UserAction::kNone},
      {{"x"}, UserAction::kNone},
      {{"\n"}, UserAction::kOk},
      {{"\r"}, UserAction::kOk},
      {{"ab\rq"}, UserAction::kOk},
      {{"q"}, UserAction::kClose},
      {{"Q"}, UserAction::kClose},
      // A lone Escape is the key once nothing follows it.
      {{"\x1b"}, UserAction::kNone},
      {{"\x1b", ""}, UserAction::kClose},
      {{"\x1b\x1b"}, UserAction::kClose},
      {{"\x1b\x1b", ""}, UserAction::kClose},  // the second Escape
      // Arrows, function keys, Alt-q: one key each, never the close box.
      {{"\x1b[A", ""}, UserAction::kNone},
      {{"\x1bOB", ""}, UserAction::kNone},
      {{"\x1b[1;5C", ""}, UserAction::kNone},
      {{"\x1b[15~", ""}, UserAction::kNone},
      {{"\x1bq", ""}, UserAction::kNone},
      // A sequence split between two reads is still one key.
      {{"\x1b", "[D", ""}, UserAction::kNone},
      {{"\x1b[", "1;2A", ""}, UserAction::kNone},
      {{"\x13\x11"}, UserAction::kNone},  // Ctrl-S, Ctrl-Q
      {{std::nullopt}, UserAction::kNoOneThere},
  };
  for (const KeyCase& c : cases) {
    FakeTerminal terminal;
    TerminalDialogView view(terminal);
    UserAction action = UserAction::kNone;
    std::string shown;
    for (const auto& read : c.reads) {
      terminal.type(read);
      action = view.takeAction();
      shown += read ? "[" + *read + "]" : "<end>";
    }
    EXPECT_EQ(action, c.last) << shown;
    if (c.reads.back() && (c.reads.back()->empty() || c.reads.back()->back() != '\x1b')) {
      EXPECT_EQ(view.takeAction(), UserAction::kNone) << shown;  // a key counts once
    }
  }
}

// A view on a fake terminal with a clock the test moves.
class ViewTest : public ::testing::Test {
 protected:
  void takePicture(const ViewState& state) {
    model_.withControls([&](DialogControls& c) { view_.draw(c, state); });
  }
  void advance(int ms) { now_ += std::chrono::milliseconds(ms); }

  DialogModel model_;
  FakeTerminal terminal_;
  std::chrono::steady_clock::time_point now_{};
  TerminalDialogView view_{terminal_, [this] { return now_; }};
};

TEST_F(ViewTest, PicturesReachTheScreenOnlyWhenPresentedAndTextPrintedMeanwhileStaysUnderThem) {
  view_.programOutput("before\n");
  EXPECT_EQ(terminal_.written(), "before\n");  // not shown yet: straight through

  view_.open();
  EXPECT_TRUE(terminal_.live());
  view_.programOutput("[Warning] box text\n");
  EXPECT_EQ(terminal_.written(), "before\n");  // kept for the next picture

  model_.setCaption(L"Caption of the tool");
  model_.showUpdateResult(L"Processing!!", 3, 32);
  terminal_.clearWritten();
  takePicture({false, false});
  EXPECT_EQ(terminal_.frames(), 0);  // taking the picture never touches the terminal
  view_.present();
  ASSERT_EQ(terminal_.frames(), 1);
  const std::string first = terminal_.written();
  EXPECT_NE(first.find("Caption of the tool"), std::string::npos);
  EXPECT_NE(first.find("Processing!!"), std::string::npos);
  EXPECT_NE(first.find("disabled"), std::string::npos);
  EXPECT_NE(first.find("[Warning] box text\n"), std::string::npos);

  advance(200);
  takePicture({true, false});
  view_.present();
  EXPECT_NE(terminal_.written().find("Enter: OK"), std::string::npos);
  advance(200);
  takePicture({false, true});
  view_.present();
  EXPECT_NE(terminal_.written().find("ends when the run has ended"), std::string::npos);

  for (int i = 0; i < 10; ++i) view_.programOutput("line " + std::to_string(i) + "\n");
  advance(200);
  terminal_.clearWritten();
  view_.present();  // the kept lines changed, the dialog did not
  EXPECT_EQ(terminal_.written().find("line 3\n"), std::string::npos);  // only the last lines stay
  EXPECT_NE(terminal_.written().find("line 4\n"), std::string::npos);
  EXPECT_NE(terminal_.written().find("line 9\n"), std::string::npos);

  terminal_.clearWritten();
  view_.close();
  EXPECT_FALSE(terminal_.live());
  // The last picture stays on the screen as text.
  EXPECT_NE(terminal_.written().find("Caption of the tool"), std::string::npos);
  terminal_.clearWritten();
  view_.programOutput("after\n");
  EXPECT_EQ(terminal_.written(), "after\n");
}

TEST_F(ViewTest, AtMostTenFramesASecondAndNoneWithoutAChange) {
  view_.open();
  model_.setUpBars();
  model_.setTimer(nullptr, DialogModel::kTimerPeriodMs, {});
  // A change every millisecond for two seconds, as a run at a small time
  // scale makes them.
  for (int ms = 0; ms < 2000; ++ms) {
    model_.onTimerTick(7, false);
    if (view_.wantsPicture()) takePicture({false, false});
    view_.present();
    advance(1);
  }
  EXPECT_GE(terminal_.frames(), 19);
  EXPECT_LE(terminal_.frames(), 21);
  // Nothing changes: once the newest picture is shown, nothing is sent,
  // however often the loop asks.
  advance(200);
  takePicture({false, false});
  view_.present();
  const int frames = terminal_.frames();
  for (int i = 0; i < 50; ++i) {
    advance(200);
    takePicture({false, false});
    view_.present();
  }
  EXPECT_EQ(terminal_.frames(), frames);
}

TEST_F(ViewTest, ATerminalTooSmallForTheDialogGetsANoteInsteadOfAPartOfIt) {
  view_.open();
  model_.setCaption(L"Caption of the tool");
  takePicture({false, false});
  view_.present();
  const int needed = terminal_.lastFrame().rows();

  struct SizeCase {
    TerminalSize size;
    bool fits;
  };
  for (const SizeCase& c : {SizeCase{{needed, 72}, true}, SizeCase{{needed - 1, 72}, false},
                            SizeCase{{12, 40}, false}, SizeCase{{needed, 39}, false}, SizeCase{{3, 20}, false}}) {
    terminal_.resize(c.size);
    advance(200);
    takePicture({false, false});
    view_.present();
    const TerminalFrame frame = terminal_.lastFrame();
    const std::string text = frame.text();
    EXPECT_EQ(text.find("Caption of the tool") != std::string::npos, c.fits) << text;
    EXPECT_EQ(text.rfind("The terminal is", 0) == 0, !c.fits) << text;
    EXPECT_LE(frame.rows(), c.size.rows);
    EXPECT_LE(frame.columns(), std::max(c.size.columns, 40));
  }
}

}  // namespace
}  // namespace hbx::ui::render
