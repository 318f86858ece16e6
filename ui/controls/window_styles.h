#pragma once
// Window and control styles of the dialog templates and the controls, under
// the program's own names; the values are the window system's.
#include <cstdint>

namespace hbx::ui {

// Window styles.
namespace ws {
inline constexpr std::uint32_t kBorder = 0x00800000;
inline constexpr std::uint32_t kPopup = 0x80000000;
inline constexpr std::uint32_t kCaption = 0x00C00000;
inline constexpr std::uint32_t kSysMenu = 0x00080000;
}  // namespace ws

// Extended window styles.
namespace ws_ex {
inline constexpr std::uint32_t kStaticEdge = 0x00020000;
inline constexpr std::uint32_t kAppWindow = 0x00040000;
}  // namespace ws_ex

// Dialog styles.
namespace ds {
inline constexpr std::uint32_t kModalFrame = 0x0080;
}  // namespace ds

// Static control styles; the low two bits are the alignment.
namespace ss {
inline constexpr std::uint32_t kLeft = 0x0000;
inline constexpr std::uint32_t kCenter = 0x0001;
inline constexpr std::uint32_t kRight = 0x0002;
inline constexpr std::uint32_t kIcon = 0x0003;
}  // namespace ss

// Button styles.
namespace bs {
inline constexpr std::uint32_t kDefPushButton = 0x0001;
}  // namespace bs

// Progress-bar styles.
namespace pbs {
inline constexpr std::uint32_t kSmooth = 0x01;
inline constexpr std::uint32_t kVertical = 0x04;
inline constexpr std::uint32_t kMarquee = 0x08;
}  // namespace pbs

}  // namespace hbx::ui
