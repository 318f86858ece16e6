#include "ui/render/dialog_painter.h"

#include "ui/render/bitmap_font.h"
#include "ui/render/raster_canvas.h"

namespace hbx::ui::render {

namespace {

constexpr int kBorder = 1;
constexpr int kCaptionHeight = 30;
constexpr Colour kFrameColour = rgb(100, 100, 100);
constexpr Colour kWindowFrame = rgb(0, 0, 0);
const Font kCaptionFont{L"Segoe UI", -12, fw::kNormal, 0};

void paintFrame(RasterCanvas& canvas, const Rect& window, const std::wstring& caption) {
  canvas.frameRect(window, kFrameColour);
  const Rect bar{window.left + kBorder, window.top + kBorder, window.right - kBorder,
                 window.top + kBorder + kCaptionHeight};
  canvas.fillRect(bar, kWhite);
  canvas.selectFont(kCaptionFont);
  const Size extent = canvas.measureText(caption);
  canvas.drawText(caption, bar.left + 10, bar.top + (bar.height() - extent.cy) / 2, kBlack, bar);
  const std::wstring close = L"X";
  const Size closeExtent = canvas.measureText(close);
  canvas.drawText(close, bar.right - 23, bar.top + (bar.height() - closeExtent.cy) / 2, kBlack, bar);
}

void paintStatic(RasterCanvas& canvas, const DialogItem& item, CWndControl& control) {
  Rect r = control.GetWindowRect();
  CtlColorDC colours;
  if (auto* coloured = dynamic_cast<CColorStaticST*>(&control)) coloured->CtlColor(colours);
  if (item.style & ws::kBorder) {
    canvas.frameRect(r, kWindowFrame);
    r = Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
  canvas.fillRect(r, colours.backgroundColour);
  const Font font = control.GetEffectiveFont();
  canvas.selectFont(font);
  const std::uint32_t align = item.style & 0x3;
  int y = r.top;
  for (const std::wstring& line : wrapLines(control.GetText(), font, r.width())) {
    const Size extent = canvas.measureText(line);
    int x = r.left;
    if (align == ss::kCenter) x = r.left + (r.width() - extent.cx) / 2;
    if (align == ss::kRight) x = r.right - extent.cx;
    canvas.drawText(line, x, y, colours.textColour, r);
    y += extent.cy;
  }
}

void paintButton(RasterCanvas& canvas, CWndControl& control) {
  const Rect r = control.GetWindowRect();
  canvas.fillRect(r, rgb(225, 225, 225));
  canvas.frameRect(r, rgb(173, 173, 173));
  const Font font = control.GetEffectiveFont();
  canvas.selectFont(font);
  const Size extent = canvas.measureText(control.GetText());
  const Colour text = control.IsWindowEnabled() ? kSystemColours.buttonText : kSystemColours.grayText;
  canvas.drawText(control.GetText(), r.left + (r.width() - extent.cx) / 2,
                  r.top + (r.height() - extent.cy) / 2, text, r);
}

void paintProgress(Image& image, RasterCanvas& dialog, const Rect& client, const DialogItem& item,
                   CTextProgressCtrl& bar) {
  const Rect r = bar.GetWindowRect();
  if (bar.GetBorderWidth() > 0) {
    dialog.frameRect(r, (item.style & ws::kBorder) ? kWindowFrame : kSystemColours.shadow);
  }
  // The paint context sees the client area from (0, 0).
  const int inset = bar.GetBorderWidth();
  RasterCanvas paintDc(image, client.left + r.left + inset, client.top + r.top + inset, bar.GetClientRect());
  paintDc.setOwner(Canvas::Owner::OtherWindow);
  paintDc.setBackgroundColour(kSystemColours.buttonFace);
  bar.WindowProc(wm::kPaint, reinterpret_cast<WPARAM>(static_cast<Canvas*>(&paintDc)), 0);
}

}  // namespace

std::vector<std::wstring> wrapLines(const std::wstring& text, const Font& font, int width) {
  const FontScale scale(font);
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring paragraph = text.substr(start, end - start);
    if (!paragraph.empty() && paragraph.back() == L'\r') paragraph.pop_back();
    // Break between words while the line is too wide; a single word that is
    // too wide stays whole (and is clipped), as DrawText does.
    std::wstring line;
    std::size_t pos = 0;
    while (pos < paragraph.size()) {
      std::size_t next = paragraph.find(L' ', pos);
      if (next == std::wstring::npos) next = paragraph.size();
      const std::wstring word = paragraph.substr(pos, next - pos);
      const std::wstring candidate = line.empty() ? word : line + L" " + word;
      if (!line.empty() && scale.measure(candidate).cx > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
      pos = next + 1;
    }
    lines.push_back(line);
    if (end == text.size()) break;
    start = end + 1;
  }
  return lines;
}

DialogPicture paintDialog(DialogControls& controls) {
  const Size base = dialogBaseUnits(controls.dialogFont());
  controls.layout(base);
  const Size clientSize = controls.clientSize(base);
  DialogPicture picture;
  const int width = clientSize.cx + 2 * kBorder;
  const int height = clientSize.cy + 2 * kBorder + kCaptionHeight;
  picture.image = Image(width, height, kSystemColours.buttonFace);
  picture.client = Rect{kBorder, kBorder + kCaptionHeight, kBorder + clientSize.cx,
                        kBorder + kCaptionHeight + clientSize.cy};
  RasterCanvas window(picture.image);
  paintFrame(window, Rect{0, 0, width, height}, controls.caption());
  RasterCanvas dialog(picture.image, picture.client.left, picture.client.top,
                      Rect{0, 0, clientSize.cx, clientSize.cy});
  dialog.fillRect(Rect{0, 0, clientSize.cx, clientSize.cy}, kSystemColours.buttonFace);
  for (const DialogControls::Entry& e : controls.entries()) {
    CWndControl& control = *e.control;
    if (!control.IsWindowVisible()) continue;
    switch (e.item->controlClass) {
      case ControlClass::Static:
        paintStatic(dialog, *e.item, control);
        break;
      case ControlClass::Button:
        paintButton(dialog, control);
        break;
      case ControlClass::Progress:
        paintProgress(picture.image, dialog, picture.client, *e.item, static_cast<CTextProgressCtrl&>(control));
        break;
    }
  }
  return picture;
}

}  // namespace hbx::ui::render
