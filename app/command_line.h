#pragma once
// The command line: collecting it, preparing it for the option search, and
// the helpers of the option parser (ZAr763ORIdirevaVodoRev::ParseCommandLine).
#include <cstddef>
#include <optional>
#include <string_view>
#include <string>

namespace hbx::cmdline {

// The raw line split at tab and line feed only, the pieces joined again: an
// ordinary line with spaces arrives whole.
std::wstring strCollect(const std::wstring& raw);
// Upper case, every double quote removed: the text the options are searched in.
std::wstring strPrepare(const std::wstring& initCmd);

// The run modes the raw line asks for, for what happens before the options
// are parsed (the settings file).
bool bAsksSilent(const std::wstring& raw);
bool bAsksConsole(const std::wstring& raw);

// Where the firmware file argument is in a prepared (upper-case) line: the
// word after "/U" that ends with the first ".BIN" after it (from "/U" on
// when no blank comes between).
struct ArgumentSpan {
  std::size_t begin = 0;
  std::size_t end = 0;  // one past its last character
};
std::optional<ArgumentSpan> firmwareSpan(const std::wstring& s);

// "/REPORT <file>" (any case) taken out of `line` whole, before any other
// option is looked for, so that nothing in the file's name reads as an
// option; a "/REPORT" inside the firmware file's name is no option. The file
// is the word after the option, or the text between double quotes. Nothing
// without the option; an empty name when it has none (the next word is an
// option: "/" and a name without a further "/", "\\" or ".").
std::optional<std::wstring> takeReportFile(std::wstring& line);
// The same for any option that takes a file ("/TRACE"); `option` in upper
// case.
std::optional<std::wstring> takeFileOption(std::wstring& line, std::wstring_view option);

// A path as Windows resolves it, for a comparison: upper case, "\" for "/",
// no "." folders, a name without a drive or root in `folder`.
std::wstring strComparablePath(const std::wstring& folder, const std::wstring& path);

// The text from `at` up to the next "/" after it (or the firmware argument
// set aside), or to the end.
std::wstring strPieceToNextSlash(const std::wstring& s, std::size_t at);

// The firmware file argument (see firmwareSpan). It is set aside
// while the options are searched, so
// that option texts inside a file name ("/U ./CONFIG_X.BIN" holds "/C") are
// not taken for options, and put back before the file is taken.
class FirmwareArgument {
 public:
  // Replaces the argument in `s` by a placeholder.
  void setAside(std::wstring& s);
  // Puts the argument back where the placeholder is.
  void restore(std::wstring& s) const;

 private:
  std::wstring text_;
  bool setAside_ = false;
};

}  // namespace hbx::cmdline
