// Stand-ins for the dialog's image operations, built only while the image
// library that defines them is not part of the build (see CMakeLists.txt).
#include "app/fw_update_dlg.h"

namespace hbx {

// No carried image to restore: m_strDefaultFWFile stays as it is.
bool ZAr763ORIdirevaVodoRev::vExtractBinFiles() { return false; }

// Every source counts as major type 0.
std::uint8_t ZAr763ORIdirevaVodoRev::vIsValidHubFirmware(const std::wstring& /*path*/) { return 0; }

}  // namespace hbx
