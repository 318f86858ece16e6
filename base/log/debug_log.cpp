#include "base/log/debug_log.h"

#include <atomic>
#include <mutex>

#include "platform/system.h"

namespace hbx::log {

namespace {

std::atomic<int> g_iDebugLevel{0};
std::atomic<platform::SystemPort*> g_output{nullptr};
std::mutex m_PrintCriticalSection;

const wchar_t* prefixOf(Level level) {
  switch (level) {
    case Level::Err: return L"\r\nERR::";
    case Level::Wrn: return L"\r\nWRN::";
    case Level::Msg: return L"\r\nMSG::";
  }
  return L"";
}

}  // namespace

void vDEBUG_Initial_printf() {
  // A std::mutex cannot fail to be created; nothing else to prepare.
}

void vDEBUG_SetLevel(int level) { g_iDebugLevel.store(level); }

int debugLevel() { return g_iDebugLevel.load(); }

void setDebugOutput(platform::SystemPort* system) { g_output.store(system); }

void writeLine(Level level, std::wstring_view format, std::span<const FormatArg> args) {
  if (g_iDebugLevel.load() < static_cast<int>(level)) return;
  std::lock_guard<std::mutex> lock(m_PrintCriticalSection);
  std::wstring line = prefixOf(level);
  line += formatWideArgs(format, args, kLineChars - 1);
  if (line.size() > kLineChars - 1) line.resize(kLineChars - 1);
  if (platform::SystemPort* out = g_output.load()) out->outputDebugString(line);
}

std::wstring methodName(std::string_view pretty) {
  // Cut the parameter list: the first '(' outside template brackets.
  int depth = 0;
  std::size_t end = pretty.size();
  for (std::size_t i = 0; i < pretty.size(); ++i) {
    const char c = pretty[i];
    if (c == '<') ++depth;
    else if (c == '>') --depth;
    else if (c == '(' && depth == 0) { end = i; break; }
  }
  std::string_view head = pretty.substr(0, end);
  // Drop the return type: everything up to the last blank outside brackets.
  depth = 0;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < head.size(); ++i) {
    const char c = head[i];
    if (c == '<') ++depth;
    else if (c == '>') --depth;
    else if (c == ' ' && depth == 0) begin = i + 1;
  }
  head = head.substr(begin);
  // Keep the last two names of the qualified name.
  std::size_t cut = std::string_view::npos;
  const std::size_t last = head.rfind("::");
  if (last != std::string_view::npos && last > 0) {
    const std::size_t before = head.rfind("::", last - 1);
    cut = before == std::string_view::npos ? 0 : before + 2;
  }
  if (cut != std::string_view::npos) head = head.substr(cut);
  return std::wstring(head.begin(), head.end());
}

}  // namespace hbx::log
