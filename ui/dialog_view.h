#pragma once
// DialogView: where an open dialog is seen and answered, for platforms whose
// dialog is not a window of its own (the terminal on Linux). The modal loop
// draws the dialog through it and asks it what the user did.
#include "ui/dialog_controls.h"

namespace hbx::ui {

enum class UserAction {
  kNone,       // nothing since the last question
  kOk,         // the OK button (it may be disabled: the loop decides)
  kClose,      // the window's close box
  kNoOneThere  // the input has ended: nobody can answer any more
};

class DialogView {
 public:
  virtual ~DialogView() = default;
  // The dialog becomes visible, and is put away again.
  virtual void open() = 0;
  virtual void close() = 0;
  // Draws the dialog as it is now; `okEnabled`: OK can be pressed. Runs on
  // the UI thread.
  virtual void draw(DialogControls& controls, bool okEnabled) = 0;
  // What the user did since the last call; never waits.
  virtual UserAction takeAction() = 0;
};

}  // namespace hbx::ui
