#pragma once
// The drawing surface the controls paint on: a device context reduced to
// what they use. Each renderer implements it (pixels, the terminal, GDI).
#include <memory>
#include <optional>
#include <string>

#include "ui/controls/win_types.h"

namespace hbx::ui {

class Canvas {
 public:
  // Who owns the surface, for the background an off-screen copy starts with.
  enum class Owner { None, Dialog, OtherWindow };

  virtual ~Canvas() = default;

  // Fills `rect` (logical units) with a solid colour.
  virtual void fillRect(const Rect& rect, Colour colour) = 0;
  // Draws `text` with the selected font and a transparent background, its
  // cell's top-left corner at (x, y), only inside `clip`. With an
  // escapement of 900 the text runs upwards from (x, y).
  virtual void drawText(const std::wstring& text, int x, int y, Colour colour, const Rect& clip) = 0;
  // The extent of `text` in the selected font: along the text, and across.
  virtual Size measureText(const std::wstring& text) = 0;
  // Selects a font and returns the one it replaces.
  virtual Font selectFont(const Font& font) = 0;
  // Draws a flat sunken edge around `rect` and shrinks `rect` to its inside.
  virtual void drawSunkenEdge(Rect& rect) = 0;

  // The area drawing may reach (GetClipBox).
  virtual Rect clipBox() const = 0;
  virtual bool isPrinter() const { return false; }
  virtual Owner owner() const { return Owner::None; }
  // The owning window class's background brush, when it has one.
  virtual std::optional<Colour> classBackground() const { return std::nullopt; }
  // The surface's own background colour (GetBkColor).
  virtual Colour backgroundColour() const { return kWhite; }

  // An off-screen surface of `size` with the same properties, for CMyMemDC;
  // null when the surface cannot make one.
  virtual std::unique_ptr<Canvas> createCompatible(Size size) = 0;
  // Copies `source` (made by createCompatible) to `destination` (SRCCOPY).
  virtual void copyFrom(const Canvas& source, const Rect& destination) = 0;
};

}  // namespace hbx::ui
