#include "ui/controls/text_progress_ctrl.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "base/log/format.h"
#include "ui/controls/mem_dc.h"

namespace hbx::ui {

namespace {

std::atomic<int> g_nMarqueeDirection{1};

std::int32_t asInt(WPARAM value) { return static_cast<std::int32_t>(value); }
std::int32_t asInt(LPARAM value) { return static_cast<std::int32_t>(value); }
Colour asColour(LPARAM value) { return static_cast<Colour>(static_cast<std::uint32_t>(value)); }
LRESULT fromColour(Colour colour) { return static_cast<LRESULT>(static_cast<std::int32_t>(colour)); }

}  // namespace

int CTextProgressCtrl::MarqueeDirection() { return g_nMarqueeDirection.load(); }
void CTextProgressCtrl::SetMarqueeDirection(int direction) { g_nMarqueeDirection.store(direction); }

LRESULT CTextProgressCtrl::PackRange(int lower, int upper) {
  const std::uint32_t packed = (static_cast<std::uint32_t>(lower) & 0xFFFF) |
                               ((static_cast<std::uint32_t>(upper) & 0xFFFF) << 16);
  return static_cast<LRESULT>(static_cast<std::int32_t>(packed));
}

int CTextProgressCtrl::Ceiling() const {
  if (!(GetStyle() & pbs::kMarquee)) return m_nMax;
  return static_cast<int>(std::trunc((static_cast<double>(m_nMarqueeBlock + 100) * m_nMax + 0.5) / 100.0));
}

LRESULT CTextProgressCtrl::OnSetPos(int pos) {
  const int old = m_nPos;
  if (pos < m_nMin) pos = m_nMin;
  const int ceiling = Ceiling();
  if (pos > ceiling) pos = ceiling;
  m_nPos = pos;
  Repaint();
  return old;
}

void CTextProgressCtrl::OnMarqueeTick() {
  const int pos = m_nPos;
  int direction = MarqueeDirection();
  if (direction == 1 && pos >= Ceiling()) {
    direction = -1;
  } else if (direction == -1 && pos <= m_nMin) {
    direction = 1;
  }
  SetMarqueeDirection(direction);
  OnSetPos(pos + direction);
}

LRESULT CTextProgressCtrl::WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case wm::kEraseBkgnd:
      return 1;  // the paint covers everything: nothing to erase
    case wm::kPaint:
      if (wParam != 0) OnPaint(*reinterpret_cast<Canvas*>(wParam));
      return 0;
    case wm::kTimer:
      if (wParam == kMarqueeTimer) OnMarqueeTick();
      return 0;
    case pbm::kSetRange: {
      const LRESULT old = PackRange(m_nMin, m_nMax);
      const std::uint32_t range = static_cast<std::uint32_t>(lParam);
      m_nMin = static_cast<std::int32_t>(range & 0xFFFF);
      m_nMax = static_cast<std::int32_t>(range >> 16);
      return old;
    }
    case pbm::kSetPos:
      return OnSetPos(asInt(wParam));
    case pbm::kDeltaPos:
      return OnSetPos(m_nPos + asInt(wParam));
    case pbm::kSetStep: {
      const int old = m_nStepSize;
      m_nStepSize = asInt(wParam);
      return old;
    }
    case pbm::kStepIt: {
      int n = m_nPos + m_nStepSize;
      if (n < m_nMin) {
        n = m_nMax - (m_nMin - n);
      } else if (n > m_nMax) {
        n = (n - m_nMax) + m_nMin;
      }
      return OnSetPos(n);
    }
    case pbm::kSetRange32: {
      const LRESULT old = PackRange(m_nMin, m_nMax);
      m_nMin = asInt(wParam);
      m_nMax = asInt(lParam);
      return old;
    }
    case pbm::kGetRange:
      if (lParam != 0) {
        auto* range = reinterpret_cast<PBRANGE*>(lParam);
        range->iLow = m_nMin;
        range->iHigh = m_nMax;
      }
      return wParam != 0 ? m_nMin : m_nMax;
    case pbm::kGetPos:
      return m_nPos;
    case pbm::kSetBarColor: {
      const Colour old = m_crBarClr;
      m_crBarClr = asColour(lParam);
      Repaint();
      return fromColour(old);
    }
    case pbm::kSetMarquee:
      m_bShowPercent = 0;
      if (wParam != 0) {
        ModifyStyle(0, pbs::kMarquee);
        SetTimer(kMarqueeTimer, static_cast<std::uint32_t>(lParam));
      } else {
        KillTimer(kMarqueeTimer);
        ModifyStyle(pbs::kMarquee, 0);
      }
      Repaint();
      return static_cast<LRESULT>(wParam);
    case pbm::kGetBkColor:
      return fromColour(Resolve(m_crBgClr, kSystemColours.buttonFace));
    case pbm::kGetBarColor:
      return fromColour(Resolve(m_crBarClr, kSystemColours.highlight));
    case pbm::kSetBkColor: {
      const Colour old = m_crBgClr;
      m_crBgClr = asColour(lParam);
      Repaint();
      return fromColour(old);
    }
    case TPC_SETTEXTCOLOR: {
      const Colour old = m_crTextClr;
      m_crTextClr = asColour(lParam);
      Repaint();
      return fromColour(old);
    }
    case TPC_GETTEXTCOLOR:
      return fromColour(Resolve(m_crTextClr, kSystemColours.windowText));
    case TPC_SETBARTEXTCOLOR: {
      const Colour old = m_crBarTextClr;
      m_crBarTextClr = asColour(lParam);
      Repaint();
      return fromColour(old);
    }
    case TPC_GETBARTEXTCOLOR:
      return fromColour(Resolve(m_crBarTextClr, kSystemColours.window));
    case TPC_SHOWPERCENT: {
      const std::uint32_t old = m_bShowPercent;
      m_bShowPercent = static_cast<std::uint32_t>(wParam);
      Repaint();
      return static_cast<LRESULT>(old);
    }
    case TPC_SETTEXTALIGN: {
      const std::uint32_t old = m_dwTextAlign;
      m_dwTextAlign = static_cast<std::uint32_t>(wParam);
      Repaint();
      return static_cast<LRESULT>(old);
    }
    case TPC_SETMARQUEEBLOCK:
      m_nMarqueeBlock = asInt(wParam);
      Repaint();
      return static_cast<LRESULT>(wParam);
    default:
      return CWndControl::WindowProc(message, wParam, lParam);
  }
}

ProgressGeometry CTextProgressCtrl::Geometry(const Rect& inner) const {
  ProgressGeometry g;
  g.inner = inner;
  g.fraction = static_cast<double>(m_nPos - m_nMin) / static_cast<double>(m_nMax - m_nMin);
  const bool vertical = (GetStyle() & pbs::kVertical) != 0;
  const int length = vertical ? inner.height() : inner.width();
  // The bar's end, kept inside the control: a position left outside a range
  // that was narrowed afterwards must not paint over the neighbours.
  if (length <= 0) return g;
  const int reach = static_cast<int>(length * g.fraction);
  auto along = [&](int from, int to, bool filled) {
    if (to <= from) return;
    if (vertical) {
      g.parts.push_back({Rect{inner.left, from, inner.right, to}, filled});
    } else {
      g.parts.push_back({Rect{from, inner.top, to, inner.bottom}, filled});
    }
  };
  // Positions along the bar: horizontally from the left, vertically from the
  // bottom up; `at(d)` is the coordinate d units from the start.
  const int start = vertical ? inner.bottom : inner.left;
  const int end = vertical ? inner.top : inner.right;
  auto at = [&](long long d) {
    const long long clamped = std::clamp<long long>(d, 0, length);
    return vertical ? start - static_cast<int>(clamped) : start + static_cast<int>(clamped);
  };
  auto piece = [&](int a, int b, bool filled) {  // a, b: coordinates in drawing order
    if (vertical) {
      along(b, a, filled);
    } else {
      along(a, b, filled);
    }
  };

  if (!(GetStyle() & pbs::kMarquee)) {
    piece(start, at(reach), true);
    piece(at(reach), end, false);
    return g;
  }
  const int extent = vertical ? inner.height() : inner.width();
  const long long block = (static_cast<long long>(m_nMarqueeBlock) * extent + 50) / 100;
  const int blockFrom = at(static_cast<long long>(reach) - block);
  const int blockTo = at(reach);
  piece(start, blockFrom, false);
  piece(blockFrom, blockTo, true);
  piece(blockTo, end, false);
  return g;
}

std::wstring CTextProgressCtrl::PaintText(double fraction) const {
  std::wstring text = GetText();
  if (m_bShowPercent) text += wformat(L"%d%%", static_cast<int>(std::floor(fraction * 100.0 + 0.5)));
  return text;
}

void CTextProgressCtrl::TextOrigin(const Rect& inner, Size extent, int& x, int& y) const {
  const int W = inner.width();
  const int H = inner.height();
  if (GetStyle() & pbs::kVertical) {
    if (m_dwTextAlign == kAlignLeft) {
      y = inner.bottom - 3;
    } else if (m_dwTextAlign == kAlignRight) {
      y = inner.top + extent.cx + 2;
    } else {
      y = inner.top + extent.cx + (H - extent.cx) / 2;
    }
    x = inner.left + (W - extent.cy) / 2;
    return;
  }
  if (m_dwTextAlign == kAlignLeft) {
    x = inner.left + 2;
  } else if (m_dwTextAlign == kAlignRight) {
    x = inner.right - extent.cx - 3;
  } else {
    x = inner.left + (W - extent.cx) / 2;
  }
  y = inner.top + (H - extent.cy) / 2;
}

void CTextProgressCtrl::OnPaint(Canvas& paintDc) {
  if (m_nMin >= m_nMax) return;

  CMyMemDC dc(paintDc);
  const Colour bar = Resolve(m_crBarClr, kSystemColours.highlight);
  const Colour background = Resolve(m_crBgClr, kSystemColours.buttonFace);
  const Colour text = Resolve(m_crTextClr, kSystemColours.windowText);
  const Colour barText = Resolve(m_crBarTextClr, kSystemColours.window);
  const Font font = GetEffectiveFont();
  const Font oldFont = dc.selectFont(font);

  Rect inner = GetClientRect();
  dc.drawSunkenEdge(inner);

  const bool vertical = (GetStyle() & pbs::kVertical) != 0;
  if (vertical && !m_pVertFont) {
    Font turned = font;
    turned.escapement = 900;
    m_pVertFont = turned;
  }

  const ProgressGeometry g = Geometry(inner);
  for (const ProgressPart& part : g.parts) dc.fillRect(part.rect, part.filled ? bar : background);

  const std::wstring caption = PaintText(g.fraction);
  if (!caption.empty()) {
    if (vertical) dc.selectFont(*m_pVertFont);
    const Size extent = dc.measureText(caption);
    int x = 0;
    int y = 0;
    TextOrigin(inner, extent, x, y);
    for (const ProgressPart& part : g.parts) {
      const Rect clip = intersect(part.rect, inner);
      if (clip.empty()) continue;
      dc.drawText(caption, x, y, part.filled ? barText : text, clip);
    }
  }
  dc.selectFont(oldFont);
}

}  // namespace hbx::ui
