#pragma once
// A platform-neutral model of the main dialog: its controls (built from
// template 102), its caption, whether the window is shown, and how the
// dialog ended. Every control change runs on the model's UI thread; callers
// on other threads wait until it is done. Renderers and tests read the
// controls through withControls().
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "ui/control_ids.h"
#include "ui/dialog_controls.h"
#include "ui/interval_timer.h"
#include "ui/status_display.h"
#include "ui/ui_thread.h"

namespace hbx::ui {


// SetWindowPos flags the hidden-mode hook works on.
namespace swp {
inline constexpr std::uint32_t kNoSize = 0x0001;
inline constexpr std::uint32_t kNoMove = 0x0002;
inline constexpr std::uint32_t kShowWindow = 0x0040;
inline constexpr std::uint32_t kHideWindow = 0x0080;
// What a request becomes in the hidden modes: every flag except "show", so
// the window is hidden and neither moved nor resized.
inline constexpr std::uint32_t kHiddenModeFlags = 0xFFFFFFBFu;
}  // namespace swp

class DialogModel {
 public:
  // The template's caption and initial control texts.
  DialogModel();

  void setItemText(int id, const std::wstring& text);
  std::wstring itemText(int id) const;

  void setCaption(const std::wstring& caption);
  std::wstring caption() const;

  // The window-position hook: the flags a position change is carried out
  // with. While the dialog is in a hidden mode (silent or console) every
  // request turns into a hide.
  static std::uint32_t windowPosFlags(std::uint32_t requested, bool hiddenMode);
  // A position change of the dialog window (show, hide, move), passed
  // through the hook.
  void setWindowPos(std::uint32_t flags, bool hiddenMode);
  bool isVisible() const;

  // ---- Status presentation -------------------------------------------------
  // One hub of the device list as its row needs it.
  struct HubRow {
    std::uint8_t ucChipType = 0;
    std::wstring strFWVersion;
  };
  // What vShowHubInfo found wrong, for the dialog to log.
  struct HubInfoOutcome {
    bool invalidCount = false;
    std::vector<int> mismatchedHubs;  // hub indexes left hidden
    int hubsWithoutRow = 0;           // hubs past the last row shown
  };
  // A run serves this many hubs.
  static constexpr int kMostHubs = 8;
  // Rows that can be shown: the fifth lies under the status text.
  static constexpr int kShownRows = 4;
  // Hides every row; then, for 1 to 8 hubs, shows the row of each of the
  // first four hubs whose chip type is `majorType`, with its version and an
  // empty bar. Row n is always hub n, so a hub left out never shifts the
  // others. 0 and more than 8 are invalid.
  HubInfoOutcome showHubInfo(std::uint8_t ucHubNum, std::uint8_t majorType, const std::vector<HubRow>& hubs);
  // The status text in the colour of `kind` and a bold font of `height`.
  // False when it could not be changed (the display stays as it was).
  bool showUpdateResult(const std::wstring& text, std::uint8_t kind, std::uint8_t height);
  // The bars of the first `count` hubs: `colour`, at 100.
  void finishHubBars(Colour colour, int count);
  // A hub bar's position and colour, as a worker moves it.
  void setHubBar(int row, int position, std::optional<Colour> colour = std::nullopt);
  // Set-up of the controls: the coloured statics, the hidden notice and the
  // status text's font.
  void setUpControls();
  // Set-up of the bars: ranges 0-100, step 1, green; no percentage on the
  // overall bar.
  void setUpBars();
  void showAttention(bool show);
  void enableOk(bool enable);

  // Timer 1 of the dialog.
  static constexpr std::uint32_t kTimerPeriodMs = 80;
  // SetTimer: `tick` runs every `periodMs` on the timer's own thread until
  // the timer ends. Without a clock the timer is only marked as set and its
  // ticks are driven by calling onTimerTick.
  void setTimer(platform::ClockPort* clock, std::uint32_t periodMs, std::function<void()> tick);
  // KillTimer: waits for a tick in progress unless called from it.
  void killTimer();
  bool timerRunning() const;
  // One tick: in state 8 (finished) the overall bar turns green (`allPass`)
  // or red, stops at 100 and the timer ends (returns true); otherwise the
  // bar advances by one, from 100 back to 0.
  bool onTimerTick(std::uint8_t state, bool allPass);
  // A tick of any other timer: the overall bar back to 0.
  void resetOverallBar();

  // Counts the changes made to the controls, so a view can redraw when it
  // changes.
  std::uint64_t revision() const { return revision_; }

  // Runs `read` on the UI thread with the controls (for renderers, tests).
  void withControls(const std::function<void(DialogControls&)>& read);

  // EndDialog(result): the modal loop ends with this result.
  void endDialog(int result);
  bool hasEnded() const;
  int dialogResult() const;
  // PostQuitMessage(code), as the close handler asks for it.
  void postQuit(int code);
  int quitCode() const;

 private:
  // Runs a control change on the UI thread and counts it.
  void change(const std::function<void()>& work);

  mutable std::mutex mutex_;
  // Declared before the thread so that they outlive it.
  DialogControls controls_;
  std::optional<Font> statusFont_;
  std::atomic<bool> timerRunning_{false};
  std::atomic<std::uint64_t> revision_{0};
  mutable UiThread uiThread_;
  bool visible_ = false;
  bool ended_ = false;
  int result_ = 0;
  int quitCode_ = 0;
  // Declared last: its thread ends before the UI thread and the controls go.
  IntervalTimer timer_;
};

}  // namespace hbx::ui
