#pragma once
// The diagnostic log: three levels written to the debug-output channel,
// each line atomic under one process-wide lock.
//
// Every line starts with "Class::Method" and a source line number; the
// HBX_LOG_* macros fill both from the calling function, so a call reads
//   HBX_LOG_ERR(L"%s:%d: vLoadINIFile Failed[%s]", path);
#include <array>
#include <string>
#include <string_view>

#include "base/log/format.h"

namespace hbx::platform {
class SystemPort;
}

namespace hbx::log {

enum class Level { Err = 1, Wrn = 2, Msg = 3 };

// Lines are at most this many characters, terminator included.
inline constexpr std::size_t kLineChars = 4096;

// Creates the log lock. Called once at program start.
void vDEBUG_Initial_printf();
// The level of the /DBG option: 0 shows nothing, 1 errors, 2 warnings, 3 all.
void vDEBUG_SetLevel(int level);
int debugLevel();
// The channel that receives the lines (OutputDebugStringW); null drops them.
void setDebugOutput(platform::SystemPort* system);

// Formats and writes one line when the level allows it.
void writeLine(Level level, std::wstring_view format, std::span<const FormatArg> args);

template <class... A>
void vDEBUG_ERR_printf(std::wstring_view format, const A&... args) {
  const std::array<FormatArg, sizeof...(A)> list{FormatArg(args)...};
  writeLine(Level::Err, format, list);
}
template <class... A>
void vDEBUG_WRN_printf(std::wstring_view format, const A&... args) {
  const std::array<FormatArg, sizeof...(A)> list{FormatArg(args)...};
  writeLine(Level::Wrn, format, list);
}
template <class... A>
void vDEBUG_MSG_printf(std::wstring_view format, const A&... args) {
  const std::array<FormatArg, sizeof...(A)> list{FormatArg(args)...};
  writeLine(Level::Msg, format, list);
}

// "Class::Method" from a compiler function signature such as
// "bool hbx::Ini::vLoadINIFile(const std::wstring&)": the last two names.
std::wstring methodName(std::string_view prettyFunction);

// Writes a line whose format starts with "%s:%d: ", filling the method name
// and line. The name is worked out only when the level lets the line through.
template <class... A>
void writeAt(Level level, const char* prettyFunction, int line, std::wstring_view format,
             const A&... args) {
  if (debugLevel() < static_cast<int>(level)) return;
  const std::wstring name = methodName(prettyFunction);
  const std::array<FormatArg, sizeof...(A) + 2> list{FormatArg(name), FormatArg(line),
                                                     FormatArg(args)...};
  writeLine(level, format, list);
}

// Writes a line like writeAt for `function` named as a member of `className`
// (for code whose log lines belong to another class than the one defining it).
template <class... A>
void writeAs(Level level, std::string_view className, std::string_view function, int line,
             std::wstring_view format, const A&... args) {
  if (debugLevel() < static_cast<int>(level)) return;
  std::wstring name(className.begin(), className.end());
  name += L"::";
  name.append(function.begin(), function.end());
  const std::array<FormatArg, sizeof...(A) + 2> list{FormatArg(name), FormatArg(line),
                                                     FormatArg(args)...};
  writeLine(level, format, list);
}

}  // namespace hbx::log

#define HBX_LOG_ERR(format, ...) \
  ::hbx::log::writeAt(::hbx::log::Level::Err, __PRETTY_FUNCTION__, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_LOG_WRN(format, ...) \
  ::hbx::log::writeAt(::hbx::log::Level::Wrn, __PRETTY_FUNCTION__, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)
#define HBX_LOG_MSG(format, ...) \
  ::hbx::log::writeAt(::hbx::log::Level::Msg, __PRETTY_FUNCTION__, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)
