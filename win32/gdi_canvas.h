#pragma once
// GdiCanvas: the drawing surface of the dialog's controls on a GDI device
// context, so the controls paint on Windows by the same rules as in the
// project's own renderers. Logical coordinates are the device context's
// (the caller sets the viewport origin and the clip region).
#include <windows.h>

#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <memory>

#include "ui/controls/canvas.h"

namespace hbx::win32 {

class GdiCanvas final : public ui::Canvas {
 public:
  // Draws on `dc`, which stays the caller's.
  GdiCanvas(HDC dc, Owner owner, ui::Colour background);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  void fillRect(const ui::Rect& rect, ui::Colour colour) override;
  void drawText(const std::wstring& text, int x, int y, ui::Colour colour, const ui::Rect& clip) override;
  ui::Size measureText(const std::wstring& text) override;
  ui::Font selectFont(const ui::Font& font) override;
  void drawSunkenEdge(ui::Rect& rect) override;
  ui::Rect clipBox() const override;
  Owner owner() const override { return owner_; }
  ui::Colour backgroundColour() const override { return background_; }
  std::unique_ptr<ui::Canvas> createCompatible(ui::Size size) override;
  void copyFrom(const ui::Canvas& source, const ui::Rect& destination) override;

  HDC dc() const { return dc_; }

 private:
  // An off-screen canvas: owns its memory context and bitmap.
  GdiCanvas(HDC memoryDc, HBITMAP bitmap, Owner owner, ui::Colour background);

  HDC dc_;
  HBITMAP bitmap_ = nullptr;     // off-screen only
  HGDIOBJ displaced_ = nullptr;  // the bitmap the off-screen one replaced
  Owner owner_;
  ui::Colour background_;
  ui::Font font_;
  HGDIOBJ originalFont_ = nullptr;
  // Fonts made for this canvas, deleted with it.
  std::map<std::pair<std::wstring, std::tuple<int, int, int>>, HFONT> fonts_;
};

// The GDI font of a logical font: the stock system font for the system
// font, else one made by CreateFontW (the caller deletes it).
HFONT createFont(const ui::Font& font);

}  // namespace hbx::win32
