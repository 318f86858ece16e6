#pragma once
// CaptureView: the open dialog of a real run seen as the user would see it,
// kept as a picture at one moment of the run. It answers OK once the run
// has ended, as a user at the bench would.
#include <optional>
#include <string>

#include "ui/dialog_view.h"
#include "ui/render/dialog_painter.h"

namespace hbx::tools {

enum class Moment {
  kMidRun,  // the last picture of the hubs being written: the attention notice
            // and a bar part-way
  kEnd      // the run has ended: OK enabled, the overall bar stopped at 100
};

class CaptureView : public ui::DialogView {
 public:
  explicit CaptureView(Moment moment) : moment_(moment) {}

  void open() override {}
  void close() override {}
  bool wantsPicture() override { return true; }
  // Runs on the dialog's UI thread: paints the dialog when the moment is there.
  void draw(ui::DialogControls& controls, const ui::ViewState& state) override;
  void present() override {}
  ui::UserAction takeAction() override;

  // The picture of the moment, when the run reached it.
  const std::optional<ui::render::DialogPicture>& picture() const { return picture_; }
  // The same moment as the terminal view draws it.
  const std::string& terminalText() const { return terminalText_; }
  // The same moment as the controls' state (dialog_state.h).
  const std::string& stateText() const { return stateText_; }

 private:
  bool isTheMoment(ui::DialogControls& controls, const ui::ViewState& state) const;

  Moment moment_;
  bool runEnded_ = false;
  std::optional<ui::render::DialogPicture> picture_;
  std::string terminalText_;
  std::string stateText_;
};

}  // namespace hbx::tools
