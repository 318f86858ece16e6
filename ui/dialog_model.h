#pragma once
// A platform-neutral model of the main dialog: the texts of its controls, its
// caption, whether the window is shown, and how the dialog ended. The window
// system shows what the model holds; tests read it directly.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace hbx::ui {

// Control ids of dialog template 102.
namespace ctrl {
inline constexpr int kHubCount = 1000;
inline constexpr int kButtonStart = 1001;
inline constexpr int kOverallBar = 1002;
inline constexpr int kStatusText = 1003;
inline constexpr int kVersionText = 1005;
inline constexpr int kButtonOk = 1008;
inline constexpr int kVersionCaption = 1034;
inline constexpr int kAttention = 1035;
}  // namespace ctrl

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

  // EndDialog(result): the modal loop ends with this result.
  void endDialog(int result);
  bool hasEnded() const;
  int dialogResult() const;
  // PostQuitMessage(code), as the close handler asks for it.
  void postQuit(int code);
  int quitCode() const;

 private:
  mutable std::mutex mutex_;
  std::map<int, std::wstring> texts_;
  std::wstring caption_;
  bool visible_ = false;
  bool ended_ = false;
  int result_ = 0;
  int quitCode_ = 0;
};

}  // namespace hbx::ui
