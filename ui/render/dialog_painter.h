#pragma once
// Paints a whole dialog into a picture: the window frame with its caption,
// then every visible control as the window system would draw it.
#include "ui/dialog_controls.h"
#include "ui/render/image.h"

namespace hbx::ui::render {

struct DialogPicture {
  Image image;
  // Where the client area lies in the picture.
  Rect client;
};

// Lays the controls out for the dialog font's base units and paints them.
DialogPicture paintDialog(DialogControls& controls);

// The lines a static control shows `text` in within `width` pixels: broken
// at line feeds and, between words, where a line would be too wide.
std::vector<std::wstring> wrapLines(const std::wstring& text, const Font& font, int width);

}  // namespace hbx::ui::render
