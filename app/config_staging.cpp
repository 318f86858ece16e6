// Staging a configuration file (a whole image) as the download file.
#include <algorithm>
#include <vector>

#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "image/image_layout.h"
#include "image/source_check.h"
#include "image/source_file.h"
#include "image/temp_bin_file.h"
#include "platform/handles.h"

namespace hbx {

using namespace platform;

bool ZAr763ORIdirevaVodoRev::bConfig_File2TempBinFile(const std::wstring& strConfig_File) {
  HBX_LOG_MSG(L"%s:%d:  11::strConfig_File[%s]", strConfig_File);
  utility_.m_ucMConfigInfo.fill(0xFF);
  utility_.m_TempBinDigest.clear();

  const image::LoadedSource& source = utility_.readSource(strConfig_File);
  const image::SourceRead& read = source.read;
  switch (read.step) {
    case image::ReadStep::Open:
      HBX_LOG_ERR(L"%s:%d: CreateFile failed to open [%s]. ErrorCode[%s]", strConfig_File, systemErrorText(read.error));
      return false;
    case image::ReadStep::Size:
      HBX_LOG_ERR(L"%s:%d: GetFileSize failed. ErrorCode[%s]", systemErrorText(read.error));
      return false;
    default:
      break;
  }
  HBX_LOG_MSG(L"%s:%d:  112::uiFileSize[%d]", read.size);
  if (read.step == image::ReadStep::TooLarge || read.step == image::ReadStep::Memory) {
    HBX_LOG_ERR(L"%s:%d: Memory allocation failed");
    return false;
  }
  if (read.step == image::ReadStep::Read) {
    HBX_LOG_ERR(L"%s:%d: ReadFile failed. ErrorCode[%s]", systemErrorText(read.error));
    return false;
  }
  return bStageConfigImage(source.bytes);
}

bool ZAr763ORIdirevaVodoRev::bStageConfigImage(std::span<const std::uint8_t> content) {
  FilePort& files = ports_.files;
  utility_.m_ucMConfigInfo.fill(0xFF);
  utility_.m_TempBinDigest.clear();
  const std::optional<std::span<const std::uint8_t>> area = image::firmwareAreaOfImage(content);
  if (!area) {
    // A file shorter than its configuration table has no firmware area.
    HBX_LOG_ERR(L"%s:%d: Memory allocation failed");
    return false;
  }
  // Only an image that the classification accepts is staged: a hub given
  // anything else is left with no firmware it boots.
  if (image::checkSource(image::SourceKind::Configuration, content).verdict != image::SourceVerdict::Accepted) {
    HBX_LOG_ERR(L"%s:%d: [%s] is not a firmware image a hub boots", utility_.m_strFWBinFilePath);
    return false;
  }
  std::copy_n(content.begin(), image::kConfigTableSize, utility_.m_ucMConfigInfo.begin());

  const std::wstring folder = image::tempBinFolder(utility_.strProgramFolder());
  const std::wstring path = image::tempBinFile(utility_.strProgramFolder());
  std::uint32_t error = 0;
  files.createDirectory(folder, error);  // an existing folder is fine
  if (!files.deleteFile(path, error))
    HBX_LOG_MSG(L"%s:%d: DeleteFile failed or file not found [%s]. ErrorCode[%s]", path, systemErrorText(error));

  const OpenResult out = files.createFile(path, access::kGenericWrite, share::kRead | share::kWrite,
                                          creation::kCreateAlways, fileflag::kWriteThrough);
  if (out.handle == kInvalidHandle) {
    HBX_LOG_ERR(L"%s:%d: CreateFile failed to create [%s]. ErrorCode[%s]", path, systemErrorText(out.error));
    return false;
  }
  bool written = false;
  {
    const platform::FileHandle file(files, out.handle);
    written = image::writeAll(files, file.get(), *area, error);
  }
  if (!written) {
    HBX_LOG_ERR(L"%s:%d: WriteFile failed. ErrorCode[%s]", systemErrorText(error));
    return false;
  }
  utility_.m_TempBinDigest.record(*area);
  return true;
}

}  // namespace hbx
