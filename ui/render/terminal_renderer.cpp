#include "ui/render/terminal_renderer.h"

#include "base/log/format.h"
#include <vector>

namespace hbx::ui::render {

namespace {

std::string foreground(Colour c) {
  return nformat("\x1b[38;2;%d;%d;%dm", redOf(c), greenOf(c), blueOf(c));
}
std::string background(Colour c) {
  return nformat("\x1b[48;2;%d;%d;%dm", redOf(c), greenOf(c), blueOf(c));
}
const char* const kReset = "\x1b[0m";
const char* const kBold = "\x1b[1m";

Colour query(CTextProgressCtrl& bar, std::uint32_t message) {
  return static_cast<Colour>(static_cast<std::uint32_t>(bar.WindowProc(message, 0, 0)));
}

std::string centred(const std::wstring& text, int columns) {
  const int pad = columns > static_cast<int>(text.size()) ? (columns - static_cast<int>(text.size())) / 2 : 0;
  return std::string(static_cast<std::size_t>(pad), ' ') + toUtf8(text);
}

std::string padded(const std::wstring& text, int width) {
  std::string s = toUtf8(text);
  if (static_cast<int>(text.size()) < width) s.append(static_cast<std::size_t>(width) - text.size(), ' ');
  return s;
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

Colour staticColour(CWndControl& control) {
  CtlColorDC dc;
  if (auto* coloured = dynamic_cast<CColorStaticST*>(&control)) coloured->CtlColor(dc);
  return dc.textColour;
}

}  // namespace

std::string renderTerminalBar(CTextProgressCtrl& bar, int width, bool colour) {
  if (width <= 0 || bar.lower() >= bar.upper()) return std::string(static_cast<std::size_t>(width > 0 ? width : 0), ' ');
  // The bar's own paint rules, one cell per pixel and one row of text.
  const Rect inner{0, 0, width, 1};
  const ProgressGeometry g = bar.Geometry(inner);
  const std::wstring text = bar.PaintText(g.fraction);
  int x = 0;
  int y = 0;
  bar.TextOrigin(inner, Size{static_cast<int>(text.size()), 1}, x, y);
  const Colour fill = query(bar, PBM_GETBARCOLOR);
  const Colour empty = query(bar, PBM_GETBKCOLOR);
  const Colour textColour = query(bar, TPC_GETTEXTCOLOR);
  const Colour barTextColour = query(bar, TPC_GETBARTEXTCOLOR);
  std::string out;
  for (int cell = 0; cell < width; ++cell) {
    bool filled = false;
    for (const ProgressPart& part : g.parts) {
      if (cell >= part.rect.left && cell < part.rect.right) filled = part.filled;
    }
    const int index = cell - x;
    const wchar_t ch = index >= 0 && index < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(index)] : L' ';
    if (colour) {
      out += background(filled ? fill : empty) + foreground(filled ? barTextColour : textColour);
      out += toUtf8(std::wstring(1, ch));
    } else {
      out += ch == L' ' ? (filled ? "#" : ".") : toUtf8(std::wstring(1, ch));
    }
  }
  if (colour) out += kReset;
  return out;
}

std::string renderTerminal(DialogControls& controls, const TerminalOptions& options) {
  const int columns = options.columns < 40 ? 40 : options.columns;
  std::string out;
  auto line = [&](const std::string& text) { out += text + "\n"; };
  auto coloured = [&](Colour c, const std::string& text, bool bold) {
    if (!options.colour) return text;
    return (bold ? std::string(kBold) : std::string()) + foreground(c) + text + kReset;
  };

  line(coloured(kBlack, centred(controls.caption(), columns), true));
  line(std::string(static_cast<std::size_t>(columns), '-'));
  CWndControl* caption = controls.item(ctrl::kVersionCaption);
  CWndControl* version = controls.item(ctrl::kVersionText);
  line(centred(caption->GetWindowText() + L"  " + version->GetWindowText(), columns));
  CTextProgressCtrl* overall = controls.progress(ctrl::kOverallBar);
  if (overall->IsWindowVisible()) line("  " + renderTerminalBar(*overall, columns - 4, options.colour));
  CWndControl* attention = controls.item(ctrl::kAttention);
  if (attention->IsWindowVisible()) {
    for (const std::wstring& l : wrapWords(attention->GetWindowText(), columns - 4)) line("  " + toUtf8(l));
  }
  line("");
  for (std::size_t row = 0; row < ctrl::kHubRows; ++row) {
    CWndControl* label = controls.item(ctrl::kHubLabels[row]);
    CWndControl* hubVersion = controls.item(ctrl::kHubVersions[row]);
    CTextProgressCtrl* bar = controls.progress(ctrl::kHubBars[row]);
    if (!label->IsWindowVisible() && !hubVersion->IsWindowVisible() && !bar->IsWindowVisible()) continue;
    std::string text = "  " + padded(label->IsWindowVisible() ? label->GetWindowText() : L"", 8);
    text += coloured(staticColour(*hubVersion),
                     padded(hubVersion->IsWindowVisible() ? hubVersion->GetWindowText() : L"", 18), true);
    if (bar->IsWindowVisible()) text += renderTerminalBar(*bar, columns - 30, options.colour);
    line(text);
  }
  line("");
  CWndControl* status = controls.item(ctrl::kStatusText);
  if (status->IsWindowVisible()) {
    const Colour c = staticColour(*status);
    std::wstring text = status->GetWindowText();
    std::size_t start = 0;
    while (true) {
      const std::size_t end = text.find(L'\n', start);
      std::wstring piece = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
      if (!piece.empty() && piece.back() == L'\r') piece.pop_back();
      line(coloured(c, centred(piece, columns), true));
      if (end == std::wstring::npos) break;
      start = end + 1;
    }
  }
  line(std::string(static_cast<std::size_t>(columns), '-'));
  if (!options.footer.empty()) line(options.footer);
  return out;
}

}  // namespace hbx::ui::render
