#include "app/command_line.h"

#include <algorithm>

#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "base/text/text_util.h"
#include "hub/hub_utility.h"
#include "image/version_rules.h"

namespace hbx {

namespace cmdline {

namespace {
// Stands for the firmware argument while options are searched: a private-use
// character, never part of an option text.
constexpr wchar_t kPlaceholder = L'\xE000';
}  // namespace

std::wstring strCollect(const std::wstring& raw) {
  std::wstring line;
  for (wchar_t c : raw) {
    if (c != L'\t' && c != L'\n') line += c;
  }
  return line;
}

std::wstring strPrepare(const std::wstring& initCmd) {
  std::wstring s = text::upper(initCmd);
  text::removeAll(s, L"\"");
  return s;
}

bool bAsksSilent(const std::wstring& raw) { return text::containsNoCase(raw, L"/SILENT"); }
bool bAsksConsole(const std::wstring& raw) { return text::containsNoCase(raw, L"/DOS"); }

std::optional<std::wstring> takeReportFile(std::wstring& line) { return takeFileOption(line, L"/REPORT"); }

std::optional<std::wstring> takeFileOption(std::wstring& line, std::wstring_view kOption) {
  const std::wstring upper = text::upper(line);
  // The firmware file's name is no place for options, this one included.
  const std::optional<ArgumentSpan> firmware = firmwareSpan(upper);
  std::size_t option = upper.find(kOption);
  while (option != std::wstring::npos && firmware && option >= firmware->begin && option < firmware->end) {
    option = upper.find(kOption, option + 1);
  }
  if (option == std::wstring::npos) return std::nullopt;
  std::size_t begin = line.find_first_not_of(L' ', option + kOption.size());
  // A word like "/U" or "/DBG" is the next option, not a file: it stays. A
  // path that starts with "/" has a folder or an extension in it.
  const auto isOptionWord = [&](std::size_t at) {
    const std::size_t wordEnd = std::min(line.find(L' ', at), line.size());
    return line[at] == L'/' && line.find_first_of(L"/\\.", at + 1) >= wordEnd;
  };
  if (begin != std::wstring::npos && isOptionWord(begin)) {
    line.erase(option, begin - option);
    return std::wstring();
  }
  std::size_t end = begin;
  std::wstring file;
  if (begin != std::wstring::npos && line[begin] == L'"') {
    end = line.find(L'"', begin + 1);
    file = line.substr(begin + 1, end == std::wstring::npos ? std::wstring::npos : end - begin - 1);
    if (end != std::wstring::npos) ++end;
  } else if (begin != std::wstring::npos) {
    end = line.find(L' ', begin);
    file = line.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin);
  }
  // The blanks that set the option apart go with it.
  std::size_t from = option;
  while (from > 0 && line[from - 1] == L' ') --from;
  if (from == 0 && end != std::wstring::npos) end = line.find_first_not_of(L' ', end);
  line.erase(from, end == std::wstring::npos ? std::wstring::npos : end - from);
  return file;
}

std::wstring strComparablePath(const std::wstring& folder, const std::wstring& path) {
  std::wstring p = text::upper(text::trim(path));
  for (wchar_t& c : p)
    if (c == L'/') c = L'\\';
  const bool rooted = p.find(L':') != std::wstring::npos || p.starts_with(L"\\");
  if (!rooted) p = text::upper(folder) + L"\\" + p;
  for (std::size_t at; (at = p.find(L"\\.\\")) != std::wstring::npos;) p.erase(at, 2);
  return p;
}

std::wstring strPieceToNextSlash(const std::wstring& s, std::size_t at) {
  // The firmware file set aside ends an option's value as a "/" does.
  const std::size_t end = s.find_first_of(std::wstring{L'/', kPlaceholder}, at + 1);
  return s.substr(at, end == std::wstring::npos ? std::wstring::npos : end - at);
}

std::optional<ArgumentSpan> firmwareSpan(const std::wstring& s) {
  // "/UN" is an option of its own, not the firmware file.
  std::size_t option = s.find(L"/U");
  while (option != std::wstring::npos && option + 2 < s.size() && s[option + 2] == L'N') {
    option = s.find(L"/U", option + 1);
  }
  if (option == std::wstring::npos) return std::nullopt;
  const std::size_t bin = s.find(L".BIN", option + 2);
  if (bin == std::wstring::npos) return std::nullopt;
  // The file name is the word that holds ".BIN", to its end ("CONFIG.BIN.BAK"
  // is no "CONFIG.BIN"): an option written as a word of its own between "/U"
  // and the name is still an option. Words before it that are pieces of a
  // path (a folder with a blank in its name) belong to the name.
  const std::size_t from = option + 2;
  std::size_t begin = from;
  for (std::size_t blank = s.find_last_of(L' ', bin); blank != std::wstring::npos && blank >= from;) {
    begin = blank + 1;
    const std::size_t before = s.find_last_not_of(L' ', blank);
    if (before == std::wstring::npos || before < from) break;
    const std::size_t previous = std::max(from, s.find_last_of(L' ', before) == std::wstring::npos
                                                    ? from
                                                    : s.find_last_of(L' ', before) + 1);
    const std::wstring_view word = std::wstring_view(s).substr(previous, before + 1 - previous);
    const bool pathPiece = word.find_first_of(L"/\\") != std::wstring_view::npos &&
                           !(word.front() == L'/' && word.find_first_of(L"/\\.", 1) == std::wstring_view::npos);
    if (!pathPiece) break;
    begin = previous;
    blank = previous > from ? s.find_last_of(L' ', previous - 1) : std::wstring::npos;
  }
  const std::size_t end = std::min(s.find_first_of(L" /", bin + 4), s.size());
  return ArgumentSpan{begin, end};
}

void FirmwareArgument::setAside(std::wstring& s) {
  if (s.find(kPlaceholder) != std::wstring::npos) return;
  const std::optional<ArgumentSpan> span = firmwareSpan(s);
  if (!span) return;
  text_ = s.substr(span->begin, span->end - span->begin);
  s.replace(span->begin, span->end - span->begin, 1, kPlaceholder);
  setAside_ = true;
}

void FirmwareArgument::restore(std::wstring& s) const {
  if (!setAside_) return;
  const std::size_t at = s.find(kPlaceholder);
  if (at != std::wstring::npos) s.replace(at, 1, text_);
}

}  // namespace cmdline

namespace {

// Option parsing is a step of the dialog's initialisation; its log lines
// carry that method's name.
constexpr const char* kStartUpMethod = "hbx::ZAr763ORIdirevaVodoRev::OnInitDialog()";

// The low byte of a hexadecimal option value.
std::uint8_t hexByte(const std::wstring& value) {
  return static_cast<std::uint8_t>(CHubUtility::ulHexTextToValue(value) & 0xFF);
}

}  // namespace

StepResult ZAr763ORIdirevaVodoRev::ParseCommandLine(std::wstring S) {
  CHubUtility& utility = utility_;
  cmdline::FirmwareArgument firmware;
  firmware.setAside(S);
  std::size_t at = 0;
  // "/DOS" and blanks only ("/DOS \"\"" once the quotes are gone).
  const bool dosAlone = text::trim(S) == L"/DOS";

  if (S.find(L"/?") != std::wstring::npos) {
    m_bHelp = 1;
    return vShowUsage(exitValue(ExitCode::kOk));
  }

  if ((at = S.find(L"/DBG")) != std::wstring::npos) {
    std::wstring piece = cmdline::strPieceToNextSlash(S, at);
    text::removeAll(S, piece);
    text::removeAll(piece, L"/DBG");
    log::vDEBUG_SetLevel(hexByte(text::trim(piece)));
  }
  m_bUpdate = 1;

  if (text::removeAll(S, L"/DOS") > 0) {
    m_bConsole = 1;
    ports_.system.allocConsole();
    // "/DOS" alone is a request for help; with "/REPORT" and no file it is
    // the error below.
    if ((S.empty() || dosAlone) && !m_bReportFileMissing) {
      m_bHelp = 1;
      return vShowUsage(exitValue(ExitCode::kOk));
    }
  }
  if (text::removeAll(S, L"/MP") > 0) m_bMP = 1;
  if (text::removeAll(S, L"/SILENT") > 0) {
    m_bSilent = 1;
    SetWindowPos(ui::swp::kHideWindow);
    m_ucMsgBoxLevel = 0xFF;
  }
  // From here on the plain boxes of the utility object follow the run mode.
  utility.setUnattendedMode(m_bSilent != 0, m_bConsole != 0);

  if (text::removeAll(S, L"/A") > 0) m_bAuto = 1;
  if (text::removeAll(S, L"/O") > 0) {
    m_bOutputVer = 1;
    m_Model.setItemText(ui::ctrl::kVersionCaption, L"Output Hub Version:");
  }

  if ((at = S.find(L"/VID")) != std::wstring::npos) {
    const std::wstring taken = S.substr(at, 4 + 5);
    text::removeAll(S, taken);
    m_bAssignVID = 1;
    utility.m_strVID_Indetify = text::trim(std::wstring_view(taken).substr(4));
    log::writeAt(log::Level::Msg, kStartUpMethod, __LINE__,
                 L"%s:%d:  Assign Target VID Hubs!!, pUtility.m_strVID_Indetify=[%s]", utility.m_strVID_Indetify);
  }

  // "/P3" and "/P2" take four characters after a separator and exclude each other.
  const auto takeProductId = [&](const wchar_t* option, const wchar_t* other, std::wstring& target) {
    const std::size_t found = S.find(option);
    const std::wstring value = found + 4 < S.size() ? S.substr(found + 4, 4) : std::wstring();
    S.erase(found, std::min(S.size() - found, 4 + value.size()));
    target = text::trim(value);
    if (S.find(other) == std::wstring::npos) return StepResult::goOn();
    nShowMessage(L"You can not check /P3 /P2 at the same time!!! ", msgkind::kError, platform::mb::kOk);
    return StepResult::endProcess(exitValue(ExitCode::kCommandLineError));
  };
  if (S.find(L"/P3") != std::wstring::npos) {
    if (const StepResult r = takeProductId(L"/P3", L"/P2", utility.m_strPID30_Indetify); r.endsProcess()) return r;
  } else if (S.find(L"/P2") != std::wstring::npos) {
    if (const StepResult r = takeProductId(L"/P2", L"/P3", utility.m_strPID20_Indetify); r.endsProcess()) return r;
  }

  if ((at = S.find(L"/MSTR")) != std::wstring::npos) {
    const std::wstring piece = cmdline::strPieceToNextSlash(S, at);
    S.erase(at, piece.size());
    utility.m_bCheckManuString = 1;
    utility.m_strManuString_Indetify = text::trim(std::wstring_view(piece).substr(5));
  }

  if ((at = S.find(L"/N")) != std::wstring::npos) {
    std::wstring piece = cmdline::strPieceToNextSlash(S, at);
    text::removeAll(piece, L"/N");
    const std::wstring value = text::trim(piece);
    utility.m_ucRequestedHubNumber = hexByte(value);
    utility.m_bRequestedHubNumber = 1;
    text::removeAll(S, L"/N " + value);
  }

  if (text::removeAll(S, L"/UN") > 0) m_bNoUninstall = 1;
  // Taken out like the other options, so that it is never read as a file name.
  if (text::removeAll(S, L"/I") > 0) {
    m_bCmpSN = 1;
    m_Model.setItemText(ui::ctrl::kVersionCaption, L"Compare Serial Number:");
  }
  // Exporting reads the hubs and writes none, so it turns update mode off.
  if (text::removeAll(S, L"/E") > 0) {
    m_bExport = 1;
    m_bUpdate = 0;
  }

  if ((at = S.find(L"/C")) != std::wstring::npos) {
    std::wstring piece = cmdline::strPieceToNextSlash(S, at);
    text::removeAll(S, piece);
    text::removeAll(piece, L"_");
    text::removeAll(piece, L"/C");
    const std::wstring version = text::trim(piece);
    m_bUpdate = 0;
    m_bCheckFW = 1;
    m_Model.setItemText(ui::ctrl::kVersionCaption, L"Check FW Version:");
    if (version.size() != 12) {
      nShowMessage(L"Please Input Correctly FW Version!!! ", msgkind::kError, platform::mb::kOk);
      return vShowUsage(exitValue(ExitCode::kCommandLineError));
    }
    m_strChkFWVer = version;
    // In the groups the run shows it in later.
    m_Model.setItemText(ui::ctrl::kVersionText, version::strDisplayVersion(version));
  }

  // "/REPORT" was taken out before; a report without its file is refused
  // like a check without its version.
  if (m_bReportFileMissing) {
    nShowMessage(L"Please Input Report File!!! ", msgkind::kError, platform::mb::kOk);
    return vShowUsage(exitValue(ExitCode::kCommandLineError));
  }

  firmware.restore(S);
  if (S.find(L"/U") != std::wstring::npos || m_bUpdate) return SelectFirmwareSource(S);
  return StepResult::goOn();
}

}  // namespace hbx
