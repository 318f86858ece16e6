// The live terminal view: keys as OK and close, the OK line, and what the
// program prints while the dialog is shown.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ui/dialog_model.h"
#include "tests/ui/fake_terminal.h"
#include "ui/render/terminal_view.h"

namespace hbx::ui::render {
namespace {

using testing::FakeTerminal;

TEST(TerminalView, KeysBecomeTheDialogsButtons) {
  struct KeyCase {
    std::optional<std::string> typed;
    UserAction action;
  };
  const KeyCase cases[] = {
      {"", UserAction::kNone},        {"x", UserAction::kNone},       {"\n", UserAction::kOk},
      {"\r", UserAction::kOk},        {"ab\rq", UserAction::kOk},     {"q", UserAction::kClose},
      {"\x1b", UserAction::kClose},   {std::nullopt, UserAction::kNoOneThere},
  };
  for (const KeyCase& c : cases) {
    FakeTerminal terminal;
    TerminalDialogView view(terminal);
    terminal.type(c.typed);
    EXPECT_EQ(view.takeAction(), c.action) << (c.typed ? *c.typed : "<end>");
    if (c.typed) {
      EXPECT_EQ(view.takeAction(), UserAction::kNone);  // a key counts once
    }
  }
}

TEST(TerminalView, DrawsTheDialogWithTheStateOfOkAndKeepsPrintedLinesUnderIt) {
  FakeTerminal terminal;
  TerminalDialogView view(terminal);
  view.programOutput("before\n");
  EXPECT_EQ(terminal.written(), "before\n");  // not shown yet: straight through

  view.open();
  EXPECT_TRUE(terminal.live());
  view.programOutput("[Warning] box text\n");
  EXPECT_EQ(terminal.written(), "before\n");  // kept for the next picture

  DialogModel model;
  model.setCaption(L"Caption of the tool");
  model.showUpdateResult(L"Processing!!", 3, 32);
  terminal.clearWritten();
  model.withControls([&](DialogControls& c) { view.draw(c, false); });
  EXPECT_EQ(terminal.written().rfind("\x1b[H\x1b[2J", 0), 0u);  // repaints the screen
  EXPECT_NE(terminal.written().find("Caption of the tool"), std::string::npos);
  EXPECT_NE(terminal.written().find("Processing!!"), std::string::npos);
  EXPECT_NE(terminal.written().find("disabled"), std::string::npos);
  EXPECT_NE(terminal.written().find("[Warning] box text\n"), std::string::npos);

  terminal.clearWritten();
  model.withControls([&](DialogControls& c) { view.draw(c, true); });
  EXPECT_NE(terminal.written().find("Enter: OK"), std::string::npos);

  for (int i = 0; i < 10; ++i) view.programOutput("line " + std::to_string(i) + "\n");
  terminal.clearWritten();
  model.withControls([&](DialogControls& c) { view.draw(c, true); });
  EXPECT_EQ(terminal.written().find("line 3\n"), std::string::npos);  // only the last lines stay
  EXPECT_NE(terminal.written().find("line 4\n"), std::string::npos);
  EXPECT_NE(terminal.written().find("line 9\n"), std::string::npos);

  view.close();
  EXPECT_FALSE(terminal.live());
  terminal.clearWritten();
  view.programOutput("after\n");
  EXPECT_EQ(terminal.written(), "after\n");
}

}  // namespace
}  // namespace hbx::ui::render
