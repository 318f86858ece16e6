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

namespace hbx::ui {

// Progress-bar styles.
inline constexpr std::uint32_t PBS_SMOOTH = 0x01;
inline constexpr std::uint32_t PBS_VERTICAL = 0x04;
inline constexpr std::uint32_t PBS_MARQUEE = 0x08;

// The standard progress-bar messages and the class's own.
inline constexpr std::uint32_t PBM_SETRANGE = WM_USER + 1;
inline constexpr std::uint32_t PBM_SETPOS = WM_USER + 2;
inline constexpr std::uint32_t PBM_DELTAPOS = WM_USER + 3;
inline constexpr std::uint32_t PBM_SETSTEP = WM_USER + 4;
inline constexpr std::uint32_t PBM_STEPIT = WM_USER + 5;
inline constexpr std::uint32_t PBM_SETRANGE32 = WM_USER + 6;
inline constexpr std::uint32_t PBM_GETRANGE = WM_USER + 7;
inline constexpr std::uint32_t PBM_GETPOS = WM_USER + 8;
inline constexpr std::uint32_t PBM_SETBARCOLOR = WM_USER + 9;
inline constexpr std::uint32_t PBM_SETMARQUEE = WM_USER + 10;
inline constexpr std::uint32_t PBM_GETBKCOLOR = WM_USER + 14;
inline constexpr std::uint32_t PBM_GETBARCOLOR = WM_USER + 15;
inline constexpr std::uint32_t PBM_SETBKCOLOR = 0x2001;
inline constexpr std::uint32_t TPC_SETTEXTCOLOR = WM_USER + 0x66;
inline constexpr std::uint32_t TPC_GETTEXTCOLOR = WM_USER + 0x67;
inline constexpr std::uint32_t TPC_SETBARTEXTCOLOR = WM_USER + 0x68;
inline constexpr std::uint32_t TPC_GETBARTEXTCOLOR = WM_USER + 0x69;
inline constexpr std::uint32_t TPC_SHOWPERCENT = WM_USER + 0x6A;
inline constexpr std::uint32_t TPC_SETTEXTALIGN = WM_USER + 0x6B;
inline constexpr std::uint32_t TPC_SETMARQUEEBLOCK = WM_USER + 0x6C;

// The pair PBM_GETRANGE fills.
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

  // The message table. WM_PAINT paints on the Canvas* passed in wParam.
  LRESULT WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) override;

  // Convenience wrappers over the messages.
  int SetPos(int pos) { return static_cast<int>(WindowProc(PBM_SETPOS, static_cast<WPARAM>(pos), 0)); }
  int GetPos() { return static_cast<int>(WindowProc(PBM_GETPOS, 0, 0)); }
  Colour SetBarColor(Colour colour) {
    return static_cast<Colour>(WindowProc(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(colour)));
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
    return colour == CLR_DEFAULT ? systemColour : colour;
  }

  std::uint32_t m_bShowPercent = 1;
  std::optional<Font> m_pVertFont;
  Colour m_crBarClr = CLR_DEFAULT;
  Colour m_crBgClr = CLR_DEFAULT;
  Colour m_crTextClr = CLR_DEFAULT;
  Colour m_crBarTextClr = CLR_DEFAULT;
  std::uint32_t m_dwTextAlign = kAlignCentre;
  std::int32_t m_nPos = 0;
  std::int32_t m_nStepSize = 10;
  std::int32_t m_nMin = 0;
  std::int32_t m_nMax = 100;
  std::int32_t m_nMarqueeBlock = 20;
};

}  // namespace hbx::ui
