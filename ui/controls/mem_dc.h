#pragma once
// CMyMemDC: an off-screen drawing surface. Everything drawn on it goes to a
// bitmap of the rectangle's size; its destruction copies the picture to the
// target at once, so a control that paints through it does not flicker. On
// a printer it draws on the target directly.
#include <memory>

#include "ui/controls/canvas.h"

namespace hbx::ui {

class CMyMemDC : public Canvas {
 public:
  // `rect` null: the target's clip box.
  CMyMemDC(Canvas& target, const Rect* rect = nullptr);
  ~CMyMemDC() override;
  CMyMemDC(const CMyMemDC&) = delete;
  CMyMemDC& operator=(const CMyMemDC&) = delete;

  // True while drawing goes to the off-screen bitmap.
  bool bMemDC() const { return m_bMemDC; }
  const Rect& rect() const { return m_rect; }

  void fillRect(const Rect& rect, Colour colour) override;
  void drawText(const std::wstring& text, int x, int y, Colour colour, const Rect& clip) override;
  Size measureText(const std::wstring& text) override;
  Font selectFont(const Font& font) override;
  void drawSunkenEdge(Rect& rect) override;
  Rect clipBox() const override { return m_rect; }
  bool isPrinter() const override { return m_pDC.isPrinter(); }
  Owner owner() const override { return m_pDC.owner(); }
  std::optional<Colour> classBackground() const override { return m_pDC.classBackground(); }
  Colour backgroundColour() const override { return m_pDC.backgroundColour(); }
  std::unique_ptr<Canvas> createCompatible(Size size) override { return m_pDC.createCompatible(size); }
  void copyFrom(const Canvas& source, const Rect& destination) override;

 private:
  // Drawing goes here: the bitmap, or the target itself.
  Canvas& surface() { return m_bitmap ? *m_bitmap : m_pDC; }
  // Logical coordinates to the bitmap's (window origin at the top-left).
  Rect toSurface(const Rect& r) const;
  void fillBackground();

  Canvas& m_pDC;
  Rect m_rect;
  std::unique_ptr<Canvas> m_bitmap;
  bool m_bMemDC = false;
};

}  // namespace hbx::ui
