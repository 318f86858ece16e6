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

  if (IsWow64()) {
    // From here on the process sees the real 64-bit system folders.
    std::uint32_t error = 0;
    if (ports_.system.disableFsRedirection(m_RedirectionToken, error)) {
      m_bRedirectionDisabled = true;
    } else {
      HBX_LOG_ERR(L"%s:%d:   f_Wow64DisableWow64FsRedirection failed, Erroe=%s", systemErrorText(error));
    }
  }
}

CHubUtility::~CHubUtility() {
  if (m_bRedirectionDisabled) {
    std::uint32_t error = 0;
    if (!ports_.system.revertFsRedirection(m_RedirectionToken, error)) {
      HBX_LOG_ERR(L"%s:%d: f_Wow64RevertWow64FsRedirection failed, Erroe=%s", systemErrorText(error));
    }
    m_bRedirectionDisabled = false;
    m_RedirectionToken = 0;
  }
}

std::uint32_t CHubUtility::ulHexTextToValue(const std::wstring& text) { return text::hexTextValue(text); }

}  // namespace hbx
