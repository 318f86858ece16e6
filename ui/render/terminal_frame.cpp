#include "ui/render/terminal_frame.h"

namespace hbx::ui::render {

int TerminalFrame::addLine(Colour fg, Colour bg) {
  const int row = rows();
  cells_.resize(cells_.size() + static_cast<std::size_t>(columns_), TerminalCell{' ', fg, bg, false});
  return row;
}

void TerminalFrame::put(int row, int column, const std::string& text, Colour fg, Colour bg, bool bold) {
  if (row < 0 || row >= rows()) return;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int c = column + static_cast<int>(i);
    if (c < 0) continue;
    if (c >= columns_) break;
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    // One byte is one cell: anything wider would shift the rest of the row.
    cells_[static_cast<std::size_t>(row * columns_ + c)] =
        TerminalCell{ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '?', fg, bg, bold};
  }
}

std::string TerminalFrame::text() const {
  std::string out;
  for (int r = 0; r < rows(); ++r) {
    std::string line;
    for (int c = 0; c < columns_; ++c) line += at(r, c).ch;
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
  }
  return out;
}

}  // namespace hbx::ui::render
