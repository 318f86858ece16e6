// Classifying the firmware source a run will write.
#include <vector>

#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "update/exported_image.h"
#include "image/source_check.h"
#include "image/source_file.h"
#include "image/version_rules.h"
#include "image/temp_bin_file.h"

namespace hbx {

std::uint8_t ZAr763ORIdirevaVodoRev::vIsValidHubFirmware(const std::wstring& strFilePath) {
  return vIsValidHubFirmware(utility_.readSource(strFilePath));
}

std::uint8_t ZAr763ORIdirevaVodoRev::vIsValidHubFirmware(const image::LoadedSource& source) {
  const std::wstring& strFilePath = source.path;
  std::uint32_t error = 0;
  try {
    HBX_LOG_MSG(L"%s:%d: strFilePath[%s], strFileExtention[%s].", strFilePath, image::extensionOf(strFilePath));
    image::SourceKind kind = image::sourceKindOf(strFilePath);
    if (kind == image::SourceKind::None) {
      HBX_LOG_ERR(L"%s:%d: bMajorType[%01X]. ERROR", image::kNotASource);
      return image::kNotASource;
    }

    const image::SourceRead& read = source.read;
    if (read.step == image::ReadStep::TooLarge && kind == image::SourceKind::Firmware)
      return image::kFirmwareTooLong;
    if (read.step == image::ReadStep::Open) return image::kNotASource;
    if (read.step != image::ReadStep::Done) {
      HBX_LOG_ERR(L"%s:%d: vReadConfigFromFile: strFilePath : %s , dwErrorCode %s",
                  strFilePath, systemErrorText(read.error));
      return image::kNotASource;
    }
    std::span<const std::uint8_t> content = source.bytes;
    // An exported image is checked as what it is written as: its image part,
    // of the kind its trailer names, like any other source of that kind.
    std::vector<std::uint8_t> exported;
    if (update::bIsExportedImagePath(strFilePath)) {
      update::ExportedTrailer trailer;
      if (!update::bSplitExportedImage(source.bytes, exported, trailer)) {
        HBX_LOG_ERR(L"%s:%d: strFilePath[%s] is too short for its trailer. ERROR", strFilePath);
        return image::kNotASource;
      }
      kind = trailer.fwType == update::kExportedConfigType ? image::SourceKind::Configuration
                                                           : image::SourceKind::Firmware;
      content = exported;
    }

    const image::SourceCheck check = image::checkSource(kind, content);
    if (check.verdict == image::SourceVerdict::TooShort) {
      HBX_LOG_ERR(L"%s:%d: strFilePath[%s] of %d bytes ends before its version bytes. ERROR", strFilePath,
                  static_cast<std::int64_t>(content.size()));
      return image::kNotASource;
    }
    const image::VersionBytes& v = *check.version;
    const std::wstring strVersion = wformat(L"%02X%02X%02X%02X%02X%02X", v[0], v[1], v[2], v[3], v[4], v[5]);
    HBX_LOG_MSG(L"%s:%d: vRead Firmware Version from Binary: %s", strVersion);
    HBX_LOG_MSG(L"%s:%d: bMajorType %01x", check.majorType);
    if (check.verdict == image::SourceVerdict::BadMajorType)
      HBX_LOG_ERR(L"%s:%d: bMajorType[%01X]. ERROR", check.majorType);
    if (check.verdict == image::SourceVerdict::BadTable)
      HBX_LOG_ERR(L"%s:%d: strFilePath[%s]: configuration table checksum [%02X], sum of bytes 4-254 [%02X]. ERROR",
                  strFilePath, content[image::kConfigChecksumOffset],
                  image::configTableChecksum(content.first<image::kConfigTableSize>()));
    if (check.verdict == image::SourceVerdict::NotBootable)
      HBX_LOG_ERR(L"%s:%d: strFilePath[%s]: no hub boots this firmware: %s. ERROR", strFilePath,
                  image::areaFaultText(check.areaFault));
    // The version of a run is the content's; a name that promises another
    // one names the wrong file.
    const std::optional<std::wstring> named = image::versionInName(strFilePath);
    if (check.result <= 3 && named && !version::bVersionEquals(*named, strVersion)) {
      HBX_LOG_ERR(L"%s:%d: strFilePath[%s]: the name carries version [%s], the content [%s]. ERROR", strFilePath,
                  *named, strVersion);
      return image::kNotASource;
    }
    return check.result;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: vReadConfigFromFile: strFilePath : %s , dwErrorCode %s", strFilePath, systemErrorText(error));
    return image::kNotASource;
  }
}

}  // namespace hbx
