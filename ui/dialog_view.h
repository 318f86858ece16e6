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

// What the dialog's buttons show besides the controls.
struct ViewState {
  bool okEnabled = false;     // OK can be pressed
  bool closePending = false;  // closed during the run: it ends with the run
  bool operator==(const ViewState&) const = default;
};

class DialogView {
 public:
  virtual ~DialogView() = default;
  // The dialog becomes visible, and is put away again.
  virtual void open() = 0;
  virtual void close() = 0;
  // Whether a new picture would be shown now; the loop takes one only then.
  virtual bool wantsPicture() = 0;
  // Takes the picture of the dialog as it is now. Runs on the UI thread, so
  // it only copies: it never waits for the screen.
  virtual void draw(DialogControls& controls, const ViewState& state) = 0;
  // Puts the newest picture on the screen, when it changed. Runs on the
  // loop's thread, never on the UI thread: a slow or paused screen holds up
  // nobody but the loop.
  virtual void present() = 0;
  // What the user did since the last call; never waits.
  virtual UserAction takeAction() = 0;
};

}  // namespace hbx::ui
