#include "ui/controls/mem_dc.h"

namespace hbx::ui {

CMyMemDC::CMyMemDC(Canvas& target, const Rect* rect)
    : m_pDC(target), m_rect(rect ? *rect : target.clipBox()) {
  if (!target.isPrinter()) {
    m_bitmap = target.createCompatible(Size{m_rect.width(), m_rect.height()});
  }
  // Without a bitmap (a printer, or none could be made) drawing goes straight
  // to the target: slower to look at, but nothing is lost.
  m_bMemDC = m_bitmap != nullptr;
  fillBackground();
}

CMyMemDC::~CMyMemDC() {
  if (m_bMemDC) m_pDC.copyFrom(*m_bitmap, m_rect);
}

void CMyMemDC::fillBackground() {
  Colour colour = m_pDC.backgroundColour();
  switch (m_pDC.owner()) {
    case Owner::None:
      break;
    case Owner::Dialog:
      colour = kSystemColours.buttonFace;
      break;
    case Owner::OtherWindow:
      colour = m_pDC.classBackground().value_or(m_pDC.backgroundColour());
      break;
  }
  fillRect(m_rect, colour);
}

Rect CMyMemDC::toSurface(const Rect& r) const {
  if (!m_bMemDC) return r;
  return Rect{r.left - m_rect.left, r.top - m_rect.top, r.right - m_rect.left, r.bottom - m_rect.top};
}

void CMyMemDC::fillRect(const Rect& rect, Colour colour) { surface().fillRect(toSurface(rect), colour); }

void CMyMemDC::drawText(const std::wstring& text, int x, int y, Colour colour, const Rect& clip) {
  const int dx = m_bMemDC ? m_rect.left : 0;
  const int dy = m_bMemDC ? m_rect.top : 0;
  surface().drawText(text, x - dx, y - dy, colour, toSurface(clip));
}

Size CMyMemDC::measureText(const std::wstring& text) { return surface().measureText(text); }

Font CMyMemDC::selectFont(const Font& font) { return surface().selectFont(font); }

void CMyMemDC::drawSunkenEdge(Rect& rect) {
  Rect onSurface = toSurface(rect);
  surface().drawSunkenEdge(onSurface);
  const int dx = m_bMemDC ? m_rect.left : 0;
  const int dy = m_bMemDC ? m_rect.top : 0;
  rect = Rect{onSurface.left + dx, onSurface.top + dy, onSurface.right + dx, onSurface.bottom + dy};
}

void CMyMemDC::copyFrom(const Canvas& source, const Rect& destination) {
  surface().copyFrom(source, toSurface(destination));
}

}  // namespace hbx::ui
