// The Start button: the version of the firmware source, then the main task.
#include <vector>

#include "update/run_dialog.h"
#include "base/log/debug_log.h"
#include "base/log/format.h"
#include "base/text/text_util.h"
#include "hub/hub_utility.h"
#include "update/exported_image.h"
#include "update/run_display.h"
#include "image/source_check.h"
#include "image/source_file.h"
#include "image/version_rules.h"

namespace hbx {

namespace {

inline constexpr std::uint8_t kConfigType = 1;

std::wstring upperHex4(std::uint16_t value) { return text::upper(wformat(L"%04x", value)); }

}  // namespace

void RunDialog::OnBnClickedButtonStart() {
  update::RunDisplay display(*this, ports_.system);
  m_MainThreadInfo.hWnd = this;
  m_MainThreadInfo.ucState = MAIN_THREAD_START;
  const std::wstring& path = utility_.m_strFWBinFilePath;
  if (update::bIsExportedImagePath(path)) {
    std::vector<std::uint8_t> image;
    update::ExportedTrailer trailer;
    const image::LoadedSource& source = utility_.runSource();
    if (source.read.step != image::ReadStep::Done || !update::bSplitExportedImage(source.bytes, image, trailer)) {
      // Unreadable, or too short to hold its trailer: nothing to start, and
      // a run that did nothing must not end as passed.
      HBX_DLG_ERR(L"%s:%d:  mallco Fail !!! ");
      SetExitcode(exitValue(ExitCode::kFailed));
      return;
    }
    if (trailer.vid != 0) utility_.m_strVID_Indetify = upperHex4(trailer.vid);
    if (trailer.pid30 != 0) utility_.m_strPID30_Indetify = upperHex4(trailer.pid30);
    if (trailer.pid20 != 0) utility_.m_strPID20_Indetify = upperHex4(trailer.pid20);
    m_ucFWType = trailer.fwType;
    utility_.m_strManuString_Indetify = trailer.manufacturer;
    if (!trailer.manufacturer.empty()) utility_.m_bCheckManuString = 1;
    utility_.m_strManuString_Indetify = text::trim(utility_.m_strManuString_Indetify);
    m_strCurFileFWVer = version::strVersionFromBytes(trailer.version);
    display.versionField(m_strCurFileFWVer);
  } else if (m_bUpdate) {
    if (image::sourceKindOf(path) == image::SourceKind::Configuration) m_ucFWType = kConfigType;
    // The version the file holds, whatever its name says.
    m_strCurFileFWVer = image::sourceVersionText(utility_.runSource());
    display.versionField(m_strCurFileFWVer);
  }
  display.enableOk(false);
  // Thread priority is the platform's business; the ports offer none.
  m_RunThreads.startTask([this] { MainThreadFun(&m_MainThreadInfo); });
}

}  // namespace hbx
