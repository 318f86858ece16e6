#pragma once
// One picture of the terminal view: a grid of character cells, each with its
// own foreground and background colour. The view compares pictures and the
// terminal draws only the cells that changed.
#include <string>
#include <vector>

#include "ui/controls/win_types.h"

namespace hbx::ui::render {

struct TerminalCell {
  char ch = ' ';
  Colour fg = 0;
  Colour bg = 0;
  bool bold = false;
  bool operator==(const TerminalCell&) const = default;
};

class TerminalFrame {
 public:
  explicit TerminalFrame(int columns = 0) : columns_(columns) {}

  int columns() const { return columns_; }
  int rows() const { return static_cast<int>(cells_.size()) / (columns_ > 0 ? columns_ : 1); }
  const TerminalCell& at(int row, int column) const {
    return cells_[static_cast<std::size_t>(row * columns_ + column)];
  }

  // A new line, every cell blank on `bg`; returns its row.
  int addLine(Colour fg, Colour bg);
  // Writes `text` from `column` on, cut at the right edge; characters
  // outside printable ASCII show as "?".
  void put(int row, int column, const std::string& text, Colour fg, Colour bg, bool bold = false);

  // The characters alone, one "\n" after each row, trailing blanks removed.
  std::string text() const;

  bool operator==(const TerminalFrame&) const = default;

 private:
  int columns_;
  std::vector<TerminalCell> cells_;
};

}  // namespace hbx::ui::render
