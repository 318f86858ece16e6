#pragma once
// The small window-system vocabulary the controls and the dialog share:
// colour values, rectangles, fonts, message parameters and the system
// colours a renderer resolves clr::kDefault to.
#include <cstdint>
#include <string>

namespace hbx::ui {

// A colour value 0x00BBGGRR.
using Colour = std::uint32_t;
// Message parameters, pointer-sized as on the target platform.
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr Colour rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}
constexpr std::uint8_t redOf(Colour c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t greenOf(Colour c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t blueOf(Colour c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// The colour value that stands for the system colour of the part.
namespace clr {
inline constexpr Colour kDefault = 0xFF000000;
}  // namespace clr

// The named colours of the program.
inline constexpr Colour kGreen = 0x32FA32;
inline constexpr Colour kRed = 0x3232FA;
inline constexpr Colour kBlue = 0xFA3232;
inline constexpr Colour kOrange = 0x00A5FA;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kWhite = 0xFFFFFF;

// The system colours in use (the classic Windows defaults).
struct SystemColours {
  Colour buttonText = rgb(0, 0, 0);
  Colour buttonFace = rgb(240, 240, 240);
  Colour highlight = rgb(0, 120, 215);
  Colour windowText = rgb(0, 0, 0);
  Colour window = rgb(255, 255, 255);
  Colour shadow = rgb(160, 160, 160);
  Colour grayText = rgb(109, 109, 109);
};
inline constexpr SystemColours kSystemColours{};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool operator==(const Rect&) const = default;
};

// The overlap of two rectangles (empty when they do not meet).
inline Rect intersect(const Rect& a, const Rect& b) {
  Rect r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
         a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
  if (r.empty()) return Rect{};
  return r;
}

struct Size {
  int cx = 0;
  int cy = 0;
  bool operator==(const Size&) const = default;
};

// A logical font as CreateFont takes it. A positive height is the cell
// height, a negative one the character height, both in logical units.
struct Font {
  std::wstring face = L"System";
  int height = 16;
  int weight = 400;
  int escapement = 0;  // tenths of a degree; 900 runs the text upwards
  bool operator==(const Font&) const = default;
};

// Font weights.
namespace fw {
inline constexpr int kNormal = 400;
inline constexpr int kBold = 700;
}  // namespace fw

// The font a control draws in when it is given none (WM_SETFONT with no
// font).
inline const Font kSystemFont{};

}  // namespace hbx::ui
