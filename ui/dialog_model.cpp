#include "ui/dialog_model.h"

#include <algorithm>

namespace hbx::ui {

DialogModel::DialogModel() : controls_(mainDialogTemplate()) {}

void DialogModel::setItemText(int id, const std::wstring& text) {
  change([&] {
    if (CWndControl* control = controls_.item(id)) control->SetText(text);
  });
}

std::wstring DialogModel::itemText(int id) const {
  std::wstring text;
  uiThread_.invoke([&] {
    if (const CWndControl* control = controls_.item(id)) text = control->GetText();
  });
  return text;
}

void DialogModel::setCaption(const std::wstring& caption) {
  change([&] { controls_.setCaption(caption); });
}

std::wstring DialogModel::caption() const {
  std::wstring text;
  uiThread_.invoke([&] { text = controls_.caption(); });
  return text;
}

DialogModel::HubInfoOutcome DialogModel::showHubInfo(std::uint8_t ucHubNum, std::uint8_t majorType,
                                                     const std::vector<HubRow>& hubs) {
  HubInfoOutcome outcome;
  change([&] {
    const Font font = boldArial(24);
    for (std::size_t row = 0; row < ctrl::kHubRows; ++row) {
      controls_.item(ctrl::kHubLabels[row])->ShowWindow(false);
      controls_.item(ctrl::kHubSpeeds[row])->ShowWindow(false);
      controls_.item(ctrl::kHubVersions[row])->ShowWindow(false);
      controls_.item(ctrl::kHubBars[row])->ShowWindow(false);
      controls_.item(ctrl::kHubVersions[row])->SetFont(font);
    }
    if (ucHubNum == 0 || ucHubNum > kMostHubs) {
      outcome.invalidCount = true;
      return;
    }
    const std::size_t shown = std::min<std::size_t>(ucHubNum, kShownRows);
    outcome.hubsWithoutRow = ucHubNum - static_cast<int>(shown);
    for (std::size_t i = 0; i < shown; ++i) {
      // A hub the device list does not hold cannot be shown either.
      if (i >= hubs.size() || hubs[i].ucChipType != majorType) {
        outcome.mismatchedHubs.push_back(static_cast<int>(i));
        continue;
      }
      controls_.item(ctrl::kHubLabels[i])->ShowWindow(true);
      CWndControl* version = controls_.item(ctrl::kHubVersions[i]);
      version->ShowWindow(true);
      version->SetText(strHubVersionText(hubs[i].strFWVersion));
      CTextProgressCtrl* bar = controls_.progress(ctrl::kHubBars[i]);
      bar->ShowWindow(true);
      bar->SetPos(0);
    }
  });
  return outcome;
}

bool DialogModel::showUpdateResult(const std::wstring& text, std::uint8_t kind, std::uint8_t height) {
  bool ok = false;
  change([&] {
    try {
      CColorStaticST* status = controls_.colorStatic(ctrl::kStatusText);
      statusFont_.reset();
      status->vSetTextBlink(0, 2);
      statusFont_ = boldArial(height);
      status->vSetTextColor(colourOfKind(kind));
      status->SetFont(statusFont_);
      status->SetText(text);
      ok = true;
    } catch (const std::exception&) {
      ok = false;
    }
  });
  return ok;
}

void DialogModel::finishHubBars(Colour colour, int count) {
  change([&] {
    for (int i = 0; i < count && i < ctrl::kHubRows; ++i) {
      CTextProgressCtrl* bar = controls_.progress(ctrl::kHubBars[static_cast<std::size_t>(i)]);
      bar->SetBarColor(colour);
      bar->SetPos(100);
    }
  });
}

void DialogModel::setHubBar(int row, int position, std::optional<Colour> colour) {
  if (row < 0 || row >= ctrl::kHubRows) return;
  change([&] {
    CTextProgressCtrl* bar = controls_.progress(ctrl::kHubBars[static_cast<std::size_t>(row)]);
    if (colour) bar->SetBarColor(*colour);
    bar->SetPos(position);
  });
}

void DialogModel::setUpControls() {
  change([&] {
    controls_.colorStatic(ctrl::kHubCount)->vSetTextColor(kBlack);
    controls_.item(ctrl::kAttention)->ShowWindow(false);
    CColorStaticST* status = controls_.colorStatic(ctrl::kStatusText);
    status->vSetTextBlink(0, 2);
    // No status font yet: the control draws in the system font, not the
    // dialog's.
    status->SetFont(statusFont_ ? *statusFont_ : kSystemFont);
  });
}

void DialogModel::setUpBars() {
  change([&] {
    CTextProgressCtrl* overall = controls_.progress(ctrl::kOverallBar);
    overall->WindowProc(pbm::kSetRange32, 0, 100);
    overall->WindowProc(pbm::kSetStep, 1, 0);
    overall->WindowProc(TPC_SHOWPERCENT, 0, 0);
    overall->SetBarColor(kGreen);
    for (int id : ctrl::kHubBars) {
      CTextProgressCtrl* bar = controls_.progress(id);
      bar->WindowProc(pbm::kSetRange, 0, 0x640000);
      bar->WindowProc(pbm::kSetStep, 1, 0);
      bar->SetBarColor(kGreen);
    }
  });
}

void DialogModel::setTimer(platform::ClockPort* clock, std::uint32_t periodMs, std::function<void()> tick) {
  timer_.stop();
  timerRunning_ = true;
  if (clock) timer_.start(*clock, periodMs, std::move(tick));
}

void DialogModel::killTimer() {
  timerRunning_ = false;
  timer_.stop();
}

void DialogModel::showAttention(bool show) {
  change([&] { controls_.item(ctrl::kAttention)->ShowWindow(show); });
}

void DialogModel::enableOk(bool enable) {
  change([&] { controls_.item(ctrl::kButtonOk)->EnableWindow(enable); });
}

bool DialogModel::timerRunning() const { return timerRunning_; }

bool DialogModel::onTimerTick(std::uint8_t state, bool allPass) {
  bool finished = false;
  change([&] {
    if (!timerRunning_) return;
    CTextProgressCtrl* overall = controls_.progress(ctrl::kOverallBar);
    if (state == 8) {
      overall->SetBarColor(allPass ? kGreen : kRed);
      // Ends the timer without waiting: this tick may run on its thread.
      timerRunning_ = false;
      timer_.cancel();
      overall->SetPos(100);
      finished = true;
      return;
    }
    const int pos = overall->GetPos();
    overall->SetPos(pos >= 100 ? 0 : pos + 1);
  });
  return finished;
}

void DialogModel::resetOverallBar() {
  change([&] { controls_.progress(ctrl::kOverallBar)->SetPos(0); });
}

void DialogModel::change(const std::function<void()>& work) {
  uiThread_.invoke(work);
  ++revision_;
}

void DialogModel::withControls(const std::function<void(DialogControls&)>& read) {
  uiThread_.invoke([&] { read(controls_); });
}

std::uint32_t DialogModel::windowPosFlags(std::uint32_t requested, bool hiddenMode) {
  return hiddenMode ? swp::kHiddenModeFlags : requested;
}

void DialogModel::setWindowPos(std::uint32_t flags, bool hiddenMode) {
  const std::uint32_t applied = windowPosFlags(flags, hiddenMode);
  std::lock_guard<std::mutex> lock(mutex_);
  // As SetWindowPos: "hide" wins over "show" when both are given.
  if (applied & swp::kHideWindow) {
    visible_ = false;
  } else if (applied & swp::kShowWindow) {
    visible_ = true;
  }
}

bool DialogModel::isVisible() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return visible_;
}

void DialogModel::endDialog(int result) {
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = true;
  result_ = result;
}

bool DialogModel::hasEnded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

int DialogModel::dialogResult() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return result_;
}

void DialogModel::postQuit(int code) {
  std::lock_guard<std::mutex> lock(mutex_);
  quitCode_ = code;
}

int DialogModel::quitCode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return quitCode_;
}

}  // namespace hbx::ui
