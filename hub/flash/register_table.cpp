// The utility object's register table.
#include "base/log/debug_log.h"
#include "hub/hub_utility.h"

namespace hbx {

void CHubUtility::vLoadRegTableFromFile(const std::wstring& strFile) {
  // The program always passes an empty name: only the built-in table exists.
  if (!strFile.empty()) HBX_LOG_WRN(L"%s:%d: [%s] ignored, built-in register table used", strFile);
  m_ucRegTable = image::kDefaultRegisterTable;
}

}  // namespace hbx
