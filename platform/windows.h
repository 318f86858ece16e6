#pragma once
// Message boxes and the window calls the program makes outside its dialog.
#include <cstdint>
#include <string>

namespace hbx::platform {

namespace mb {
inline constexpr std::uint32_t kOk = 0x0;
inline constexpr std::uint32_t kOkCancel = 0x1;
inline constexpr std::uint32_t kYesNo = 0x4;
inline constexpr std::uint32_t kIconError = 0x10;
inline constexpr std::uint32_t kIconQuestion = 0x20;
inline constexpr std::uint32_t kIconWarning = 0x30;
inline constexpr std::uint32_t kIconInformation = 0x40;
inline constexpr std::uint32_t kDefButton2 = 0x100;
}  // namespace mb

namespace idanswer {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace idanswer

class WindowPort {
 public:
  virtual ~WindowPort() = default;
  // MessageBoxW(owner, text, caption, flags); returns the button pressed.
  virtual int messageBox(const std::wstring& text, const std::wstring& caption,
                         std::uint32_t flags) = 0;
};

}  // namespace hbx::platform
