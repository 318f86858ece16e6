#include "win32/gdi_canvas.h"

#include <tuple>

namespace hbx::win32 {

namespace {
RECT toRect(const ui::Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// The screen's pixels per logical inch. The program declares itself aware of
// the system's setting, so the window system grows the dialog's units and
// its font by it and no longer stretches the window's picture.
int screenDpi() {
  static const int dpi = [] {
    HDC screen = GetDC(nullptr);
    const int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return value > 0 ? value : 96;
  }();
  return dpi;
}
}  // namespace

HFONT createFont(const ui::Font& font) {
  if (font == ui::kSystemFont) return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  // The controls give heights in pixels of a 96-dpi screen.
  return CreateFontW(MulDiv(font.height, screenDpi(), 96), 0, font.escapement, font.escapement, font.weight, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, font.face.c_str());
}

GdiCanvas::GdiCanvas(HDC dc, Owner owner, ui::Colour background) : dc_(dc), owner_(owner), background_(background) {}

GdiCanvas::GdiCanvas(HDC memoryDc, HBITMAP bitmap, Owner owner, ui::Colour background)
    : dc_(memoryDc), bitmap_(bitmap), owner_(owner), background_(background) {
  displaced_ = SelectObject(dc_, bitmap_);
}

GdiCanvas::~GdiCanvas() {
  if (originalFont_ != nullptr) SelectObject(dc_, originalFont_);
  for (auto& [key, font] : fonts_) {
    if (font != GetStockObject(SYSTEM_FONT)) DeleteObject(font);
  }
  if (bitmap_ != nullptr) {
    SelectObject(dc_, displaced_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
}

void GdiCanvas::fillRect(const ui::Rect& rect, ui::Colour colour) {
  const RECT r = toRect(rect);
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc_, &r, brush);
  DeleteObject(brush);
}

void GdiCanvas::drawText(const std::wstring& text, int x, int y, ui::Colour colour, const ui::Rect& clip) {
  const int saved = SaveDC(dc_);
  IntersectClipRect(dc_, clip.left, clip.top, clip.right, clip.bottom);
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, colour);
  SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
  TextOutW(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
  RestoreDC(dc_, saved);
}

ui::Size GdiCanvas::measureText(const std::wstring& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
  return ui::Size{size.cx, size.cy};
}

ui::Font GdiCanvas::selectFont(const ui::Font& font) {
  const auto key = std::make_pair(font.face, std::make_tuple(font.height, font.weight, font.escapement));
  HFONT& made = fonts_[key];
  if (made == nullptr) made = createFont(font);
  HGDIOBJ previous = SelectObject(dc_, made);
  if (originalFont_ == nullptr) originalFont_ = previous;
  const ui::Font before = font_;
  font_ = font;
  return before;
}

void GdiCanvas::drawSunkenEdge(ui::Rect& rect) {
  RECT r = toRect(rect);
  DrawEdge(dc_, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST | BF_FLAT);
  rect = ui::Rect{r.left, r.top, r.right, r.bottom};
}

ui::Rect GdiCanvas::clipBox() const {
  RECT r{};
  GetClipBox(dc_, &r);
  return ui::Rect{r.left, r.top, r.right, r.bottom};
}

std::unique_ptr<ui::Canvas> GdiCanvas::createCompatible(ui::Size size) {
  HDC memory = CreateCompatibleDC(dc_);
  if (memory == nullptr) return nullptr;
  HBITMAP bitmap = CreateCompatibleBitmap(dc_, size.cx, size.cy);
  if (bitmap == nullptr) {
    DeleteDC(memory);
    return nullptr;
  }
  return std::unique_ptr<ui::Canvas>(new GdiCanvas(memory, bitmap, owner_, background_));
}

void GdiCanvas::copyFrom(const ui::Canvas& source, const ui::Rect& destination) {
  const auto* gdi = dynamic_cast<const GdiCanvas*>(&source);
  if (gdi == nullptr) return;
  BitBlt(dc_, destination.left, destination.top, destination.width(), destination.height(), gdi->dc_, 0, 0,
         SRCCOPY);
}

}  // namespace hbx::win32
