// The utility object's lifetime (constructor, destructor) and the hex reader.
#include "hub/hub_utility.h"

#include "base/text/text_util.h"

#include "base/log/debug_log.h"
#include "base/log/system_error.h"

namespace hbx {

CHubUtility* pUtility = nullptr;

namespace {

// GetModuleFileNameW's buffer for the module path, in characters.
constexpr std::uint32_t kModulePathChars = 255;

}  // namespace

CHubUtility::CHubUtility(platform::Ports ports) : ports_(ports) {
  log::vDEBUG_Initial_printf();
  m_ulOldPositionIndex.fill(0xFFFFFFFFu);

  m_strModulePath = ports_.system.moduleFileName(kModulePathChars);
  const std::size_t cut = m_strModulePath.find_last_of(L'\\');
  // A path without any backslash cannot come from Windows; keep it whole
  // rather than making an empty folder current.
  m_strProgramFolder = cut == std::wstring::npos ? m_strModulePath : m_strModulePath.substr(0, cut);
  ports_.system.setCurrentDirectory(m_strProgramFolder);

  m_ucOSCode = GetOSVersion();
  m_llCounterFrequency = ports_.clock.performanceFrequency();

  // File-system redirection stays as Windows starts the process: it is
  // turned off only around what needs the real system folder
  // (host/native_system_view.h).
}

CHubUtility::~CHubUtility() = default;

std::uint32_t CHubUtility::ulHexTextToValue(const std::wstring& text) { return text::hexTextValue(text); }

}  // namespace hbx
