#pragma once
// CTextProgressCtrl: a progress bar that keeps its own state and paints
// itself, with an optional text (its window text and the percentage) drawn
// in two colours across the bar's edge, and a marquee style in which a
// block runs back and forth.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/controls/canvas.h"
#include "ui/controls/control_window.h"
#include "ui/controls/window_styles.h"

namespace hbx::ui {

// The standard progress-bar messages.
namespace pbm {
inline constexpr std::uint32_t kSetRange = wm::kUser + 1;
inline constexpr std::uint32_t kSetPos = wm::kUser + 2;
inline constexpr std::uint32_t kDeltaPos = wm::kUser + 3;
inline constexpr std::uint32_t kSetStep = wm::kUser + 4;
inline constexpr std::uint32_t kStepIt = wm::kUser + 5;
inline constexpr std::uint32_t kSetRange32 = wm::kUser + 6;
inline constexpr std::uint32_t kGetRange = wm::kUser + 7;
inline constexpr std::uint32_t kGetPos = wm::kUser + 8;
inline constexpr std::uint32_t kSetBarColor = wm::kUser + 9;
inline constexpr std::uint32_t kSetMarquee = wm::kUser + 10;
inline constexpr std::uint32_t kGetBkColor = wm::kUser + 14;
inline constexpr std::uint32_t kGetBarColor = wm::kUser + 15;
inline constexpr std::uint32_t kSetBkColor = 0x2001;
}  // namespace pbm

// The class's own messages.
inline constexpr std::uint32_t TPC_SETTEXTCOLOR = wm::kUser + 0x66;
inline constexpr std::uint32_t TPC_GETTEXTCOLOR = wm::kUser + 0x67;
inline constexpr std::uint32_t TPC_SETBARTEXTCOLOR = wm::kUser + 0x68;
inline constexpr std::uint32_t TPC_GETBARTEXTCOLOR = wm::kUser + 0x69;
inline constexpr std::uint32_t TPC_SHOWPERCENT = wm::kUser + 0x6A;
inline constexpr std::uint32_t TPC_SETTEXTALIGN = wm::kUser + 0x6B;
inline constexpr std::uint32_t TPC_SETMARQUEEBLOCK = wm::kUser + 0x6C;

// The pair pbm::kGetRange fills.
struct PBRANGE {
  std::int32_t iLow;
  std::int32_t iHigh;
};

// One piece of the bar: filled (bar or block) or empty.
struct ProgressPart {
  Rect rect;
  bool filled = false;
  bool operator==(const ProgressPart&) const = default;
};

// Where a paint puts everything, worked out from the state and the inner
// rectangle (inside the sunken edge).
struct ProgressGeometry {
  Rect inner;
  std::vector<ProgressPart> parts;
  double fraction = 0;
};

class CTextProgressCtrl : public CWndControl {
 public:
  enum Align { kAlignLeft = 0, kAlignCentre = 1, kAlignRight = 2 };
  static constexpr std::uint32_t kMarqueeTimer = 1;

  explicit CTextProgressCtrl(int id = 0) : CWndControl(id) {}

  // The message table. wm::kPaint paints on the Canvas* passed in wParam.
  LRESULT WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) override;

  // Convenience wrappers over the messages.
  int SetPos(int pos) { return static_cast<int>(WindowProc(pbm::kSetPos, static_cast<WPARAM>(pos), 0)); }
  int GetPos() { return static_cast<int>(WindowProc(pbm::kGetPos, 0, 0)); }
  Colour SetBarColor(Colour colour) {
    return static_cast<Colour>(WindowProc(pbm::kSetBarColor, 0, static_cast<LPARAM>(colour)));
  }
  void OnPaint(Canvas& paintDc);

  // The pieces of the bar for the current state inside `inner`.
  ProgressGeometry Geometry(const Rect& inner) const;
  // The text a paint shows: window text and, when on, the percentage.
  std::wstring PaintText(double fraction) const;
  // The top-left corner of the text of `extent` inside `inner`.
  void TextOrigin(const Rect& inner, Size extent, int& x, int& y) const;
  // The highest position allowed: the upper bound, more with the marquee style.
  int Ceiling() const;

  int lower() const { return m_nMin; }
  int upper() const { return m_nMax; }
  int step() const { return m_nStepSize; }
  int marqueeBlock() const { return m_nMarqueeBlock; }
  bool showPercent() const { return m_bShowPercent != 0; }
  std::uint32_t textAlign() const { return m_dwTextAlign; }
  Colour barColour() const { return m_crBarClr; }
  const std::optional<Font>& verticalFont() const { return m_pVertFont; }

  // The marquee direction every instance shares (+1 or -1).
  static int MarqueeDirection();
  static void SetMarqueeDirection(int direction);

 private:
  LRESULT OnSetPos(int pos);
  void OnMarqueeTick();
  void Repaint() { Invalidate(); }
  static LRESULT PackRange(int lower, int upper);
  static Colour Resolve(Colour colour, Colour systemColour) {
    return colour == clr::kDefault ? systemColour : colour;
  }

  std::uint32_t m_bShowPercent = 1;
  std::optional<Font> m_pVertFont;
  Colour m_crBarClr = clr::kDefault;
  Colour m_crBgClr = clr::kDefault;
  Colour m_crTextClr = clr::kDefault;
  Colour m_crBarTextClr = clr::kDefault;
  std::uint32_t m_dwTextAlign = kAlignCentre;
  std::int32_t m_nPos = 0;
  std::int32_t m_nStepSize = 10;
  std::int32_t m_nMin = 0;
  std::int32_t m_nMax = 100;
  std::int32_t m_nMarqueeBlock = 20;
};

}  // namespace hbx::ui
