#include "tools/dialog_png/dialog_state.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "base/text/utf.h"

namespace hbx::tools {

namespace {

// Texts go on one line: backslash and line breaks escaped.
std::string escape(const std::wstring& text) {
  std::string out;
  for (char c : toUtf8(text)) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      out += text[i];
    }
  }
  return fromUtf8(out);
}

// A progress bar's colours through its own messages (system colours resolved).
ui::Colour barColour(ui::CTextProgressCtrl& bar, std::uint32_t message) {
  return static_cast<ui::Colour>(bar.WindowProc(message, 0, 0));
}

}  // namespace

// Line formats (numbers in decimal, colours as 0xBBGGRR):
//   caption <text>
//   control <index> <visible> <enabled> <style> <has font> <height> <weight> <escapement> <text colour>
//           [<lower> <upper> <pos> <bar> <background> <text> <bar text> <percent> <align> <block>] |<face>|<text>
std::string saveDialogState(ui::DialogControls& controls) {
  std::ostringstream out;
  out << "caption " << escape(controls.caption()) << '\n';
  int index = 0;
  for (const ui::DialogControls::Entry& e : controls.entries()) {
    ui::CWndControl& control = *e.control;
    const std::optional<ui::Font>& font = control.GetOwnFont();
    ui::CtlColorDC colours;
    if (auto* coloured = dynamic_cast<ui::CColorStaticST*>(&control)) coloured->CtlColor(colours);
    out << "control " << index++ << ' ' << control.IsWindowVisible() << ' ' << control.IsWindowEnabled() << ' '
        << control.GetStyle() << ' ' << font.has_value() << ' ' << (font ? font->height : 0) << ' '
        << (font ? font->weight : 0) << ' ' << (font ? font->escapement : 0) << ' ' << colours.textColour;
    if (auto* bar = dynamic_cast<ui::CTextProgressCtrl*>(&control)) {
      out << ' ' << bar->lower() << ' ' << bar->upper() << ' ' << bar->GetPos() << ' '
          << barColour(*bar, ui::pbm::kGetBarColor) << ' ' << barColour(*bar, ui::pbm::kGetBkColor) << ' '
          << barColour(*bar, ui::TPC_GETTEXTCOLOR) << ' ' << barColour(*bar, ui::TPC_GETBARTEXTCOLOR) << ' '
          << bar->showPercent() << ' ' << bar->textAlign() << ' ' << bar->marqueeBlock();
    }
    out << " |" << escape(font ? font->face : L"") << '|' << escape(control.GetText()) << '\n';
  }
  return out.str();
}

bool loadDialogState(ui::DialogControls& controls, const std::string& text, std::string& error) {
  std::istringstream in(text);
  std::string line;
  const auto& entries = controls.entries();
  while (std::getline(in, line)) {
    if (line.rfind("caption ", 0) == 0) {
      controls.setCaption(unescape(line.substr(8)));
      continue;
    }
    const std::size_t bar = line.find(" |");
    const std::size_t textBar = bar == std::string::npos ? bar : line.find('|', bar + 2);
    if (line.rfind("control ", 0) != 0 || textBar == std::string::npos) {
      error = "unreadable line: " + line;
      return false;
    }
    std::istringstream fields(line.substr(8, bar - 8));
    std::size_t index = 0;
    int visible = 0, enabled = 0, hasFont = 0;
    std::uint32_t style = 0;
    ui::Font font;
    ui::Colour textColour = 0;
    fields >> index >> visible >> enabled >> style >> hasFont >> font.height >> font.weight >> font.escapement >>
        textColour;
    if (!fields || index >= entries.size()) {
      error = "line does not fit the template: " + line;
      return false;
    }
    font.face = unescape(line.substr(bar + 2, textBar - bar - 2));
    ui::CWndControl& control = *entries[index].control;
    control.ShowWindow(visible != 0);
    control.EnableWindow(enabled != 0);
    control.ModifyStyle(0xFFFFFFFF, style);
    control.SetFont(hasFont ? std::optional<ui::Font>(font) : std::nullopt);
    control.SetText(unescape(line.substr(textBar + 1)));
    if (auto* coloured = dynamic_cast<ui::CColorStaticST*>(&control)) coloured->vSetTextColor(textColour);
    if (auto* progress = dynamic_cast<ui::CTextProgressCtrl*>(&control)) {
      int lower = 0, upper = 0, pos = 0, percent = 0, block = 0;
      ui::Colour barColour = 0, background = 0, barText = 0, textOnFace = 0;
      std::uint32_t align = 0;
      fields >> lower >> upper >> pos >> barColour >> background >> textOnFace >> barText >> percent >> align >> block;
      if (!fields) {
        error = "bar line without its state: " + line;
        return false;
      }
      progress->WindowProc(ui::pbm::kSetRange32, static_cast<ui::WPARAM>(lower), static_cast<ui::LPARAM>(upper));
      progress->SetPos(pos);
      progress->SetBarColor(barColour);
      progress->WindowProc(ui::pbm::kSetBkColor, 0, static_cast<ui::LPARAM>(background));
      progress->WindowProc(ui::TPC_SETTEXTCOLOR, 0, static_cast<ui::LPARAM>(textOnFace));
      progress->WindowProc(ui::TPC_SETBARTEXTCOLOR, 0, static_cast<ui::LPARAM>(barText));
      progress->WindowProc(ui::TPC_SHOWPERCENT, static_cast<ui::WPARAM>(percent), 0);
      progress->WindowProc(ui::TPC_SETTEXTALIGN, static_cast<ui::WPARAM>(align), 0);
      progress->WindowProc(ui::TPC_SETMARQUEEBLOCK, static_cast<ui::WPARAM>(block), 0);
    }
  }
  return true;
}

}  // namespace hbx::tools
