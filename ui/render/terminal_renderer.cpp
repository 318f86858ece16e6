#include "ui/render/terminal_renderer.h"

#include <algorithm>

#include "base/log/format.h"
#include "ui/render/contrast.h"

namespace hbx::ui::render {

namespace {

Colour query(CTextProgressCtrl& bar, std::uint32_t message) {
  return static_cast<Colour>(static_cast<std::uint32_t>(bar.WindowProc(message, 0, 0)));
}

int centredColumn(const std::string& text, int columns) {
  return columns > static_cast<int>(text.size()) ? (columns - static_cast<int>(text.size())) / 2 : 0;
}

// Breaks `text` between words into lines of at most `width` characters.
std::vector<std::wstring> wrapWords(const std::wstring& text, int width) {
  std::vector<std::wstring> lines;
  std::wstring current;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t next = text.find(L' ', pos);
    if (next == std::wstring::npos) next = text.size();
    const std::wstring word = text.substr(pos, next - pos);
    if (!current.empty() && static_cast<int>(current.size() + 1 + word.size()) > width) {
      lines.push_back(current);
      current.clear();
    }
    current += (current.empty() ? L"" : L" ") + word;
    pos = next + 1;
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

// The text colour the program gave a coloured static; the button-text
// colour for any other control.
Colour staticColour(CWndControl& control) {
  CtlColorDC dc;
  if (auto* coloured = dynamic_cast<CColorStaticST*>(&control)) coloured->CtlColor(dc);
  return dc.textColour;
}

class DialogLines {
 public:
  DialogLines(TerminalFrame& frame) : frame_(frame) {}
  int line() { return frame_.addLine(term::kText, term::kPanel); }
  void centred(const std::string& text, Colour fg, bool bold) {
    const int row = line();
    frame_.put(row, centredColumn(text, frame_.columns()), text, readableOn(fg, term::kPanel), term::kPanel, bold);
  }
  void rule() {
    const int row = line();
    frame_.put(row, 0, std::string(static_cast<std::size_t>(frame_.columns()), '-'), term::kText, term::kPanel);
  }

 private:
  TerminalFrame& frame_;
};

}  // namespace

void renderTerminalBar(TerminalFrame& frame, int row, int column, CTextProgressCtrl& bar, int width) {
  if (width <= 0) return;
  if (bar.lower() >= bar.upper()) {
    frame.put(row, column, std::string(static_cast<std::size_t>(width), ' '), term::kText, term::kTrough);
    return;
  }
  // The bar's own paint rules, one cell per pixel and one row of text.
  const Rect inner{0, 0, width, 1};
  const ProgressGeometry g = bar.Geometry(inner);
  const std::string text = toUtf8(bar.PaintText(g.fraction));
  int x = 0;
  int y = 0;
  bar.TextOrigin(inner, Size{static_cast<int>(text.size()), 1}, x, y);
  const Colour fill = query(bar, pbm::kGetBarColor);
  for (int cell = 0; cell < width; ++cell) {
    bool filled = false;
    for (const ProgressPart& part : g.parts) {
      if (cell >= part.rect.left && cell < part.rect.right) filled = part.filled;
    }
    const Colour bg = filled ? fill : term::kTrough;
    const int index = cell - x;
    const char ch = index >= 0 && index < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(index)] : ' ';
    // The percentage takes black or white, whichever reads on the part
    // under it (the control's own white on green is 1.4:1).
    frame.put(row, column + cell, std::string(1, ch), textOn(bg), bg, true);
  }
}

TerminalFrame renderTerminalFrame(DialogControls& controls, const TerminalOptions& options) {
  const int columns = std::clamp(options.columns, kMinTerminalColumns, kMaxTerminalColumns);
  TerminalFrame frame(columns);
  DialogLines lines(frame);

  const std::string caption = toUtf8(controls.caption());
  const int title = frame.addLine(term::kTitleText, term::kTitleBar);
  frame.put(title, centredColumn(caption, columns), caption, term::kTitleText, term::kTitleBar, true);
  CWndControl* versionCaption = controls.item(ctrl::kVersionCaption);
  CWndControl* version = controls.item(ctrl::kVersionText);
  lines.line();
  lines.centred(toUtf8(versionCaption->GetText() + L"  " + version->GetText()), term::kText, false);
  CTextProgressCtrl* overall = controls.progress(ctrl::kOverallBar);
  if (overall->IsWindowVisible()) renderTerminalBar(frame, lines.line(), 2, *overall, columns - 4);
  CWndControl* attention = controls.item(ctrl::kAttention);
  if (attention->IsWindowVisible()) {
    for (const std::wstring& l : wrapWords(attention->GetText(), columns - 4)) {
      frame.put(lines.line(), 2, toUtf8(l), term::kText, term::kPanel);
    }
  }
  lines.line();
  for (std::size_t row = 0; row < ctrl::kHubRows; ++row) {
    CWndControl* label = controls.item(ctrl::kHubLabels[row]);
    CWndControl* hubVersion = controls.item(ctrl::kHubVersions[row]);
    CTextProgressCtrl* bar = controls.progress(ctrl::kHubBars[row]);
    if (!label->IsWindowVisible() && !hubVersion->IsWindowVisible() && !bar->IsWindowVisible()) continue;
    const int r = lines.line();
    if (label->IsWindowVisible()) frame.put(r, 2, toUtf8(label->GetText()), term::kText, term::kPanel);
    if (hubVersion->IsWindowVisible()) {
      frame.put(r, 10, toUtf8(hubVersion->GetText()), readableOn(staticColour(*hubVersion), term::kPanel),
                term::kPanel, true);
    }
    if (bar->IsWindowVisible()) renderTerminalBar(frame, r, 28, *bar, columns - 30);
  }
  lines.line();
  CWndControl* status = controls.item(ctrl::kStatusText);
  if (status->IsWindowVisible()) {
    const Colour c = staticColour(*status);
    const std::wstring text = status->GetText();
    std::size_t start = 0;
    while (true) {
      const std::size_t end = text.find(L'\n', start);
      std::wstring piece = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
      if (!piece.empty() && piece.back() == L'\r') piece.pop_back();
      lines.centred(toUtf8(piece), c, true);
      if (end == std::wstring::npos) break;
      start = end + 1;
    }
  }
  lines.rule();
  for (const std::string& text : options.footer) frame.put(lines.line(), 0, text, term::kText, term::kPanel);
  return frame;
}

std::string renderTerminal(DialogControls& controls, const TerminalOptions& options) {
  return renderTerminalFrame(controls, options).text();
}

}  // namespace hbx::ui::render
