// Staging a firmware file (firmware code only) as the download file.
#include <vector>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "image/image_layout.h"
#include "image/source_file.h"
#include "image/temp_bin_file.h"
#include "image/version_rules.h"
#include "platform/handles.h"

namespace hbx {

using namespace platform;

const image::LoadedSource& CHubUtility::readSource(const std::wstring& path) {
  m_Source = image::loadSource(ports_.files, path);
  return m_Source;
}

const image::LoadedSource& CHubUtility::sourceOf(const std::wstring& path) {
  return m_Source.path == path && !path.empty() ? m_Source : readSource(path);
}

bool CHubUtility::vCreateTempBinDataFile(const std::wstring& strFWFile) {
  m_TempBinDigest.clear();
  HBX_LOG_MSG(L"%s:%d: theFile.Open: [%s]", strFWFile);
  const image::LoadedSource& source = readSource(strFWFile);
  const image::SourceRead& read = source.read;
  if (read.step == image::ReadStep::TooLarge || read.step == image::ReadStep::Memory) {
    HBX_LOG_ERR(L"%s:%d: malloc.  uiFWBinDataFileSize: [%x]", read.size);
    return false;
  }
  if (read.step == image::ReadStep::Read) {
    HBX_LOG_WRN(L"%s:%d: vCreateTempBinDataFile: FW[%s] ReadFileSize != FWFileSize ", m_strFWBinFilePath,
                read.bytesRead, read.size);
    return false;
  }
  if (read.step != image::ReadStep::Done) {
    HBX_LOG_ERR(L"%s:%d: vCreateTempBinDataFile: m_strFWBinFilePath : %s , dwErrorCode %s", m_strFWBinFilePath,
                systemErrorText(read.error));
    return false;
  }
  return bStageFirmwareCode(source.bytes);
}

bool CHubUtility::bStageFirmwareCode(std::span<const std::uint8_t> code) {
  FilePort& files = ports_.files;
  m_TempBinDigest.clear();
  std::uint32_t error = 0;
  try {
    const std::wstring folder = image::tempBinFolder(m_strProgramFolder);
    const std::wstring path = image::tempBinFile(m_strProgramFolder);
    HBX_LOG_MSG(L"%s:%d: strTempBinDirectory = [%s]", folder);
    files.createDirectory(folder, error);  // an existing folder is fine
    if (!files.deleteFile(path, error)) {
      HBX_LOG_WRN(L"%s:%d: vCreateTempBinDataFile: No strTempBinDataFilePath[%s] to Delete  , ErrorCode = %s",
                  path, systemErrorText(error));
    }
    {
      const OpenResult created = files.createFile(path, access::kGenericWrite, share::kWrite | share::kDelete,
                                                  creation::kOpenAlways, fileflag::kWriteThrough);
      const platform::FileHandle createdFile(files, created.handle);
      if (!createdFile.valid()) {
        HBX_LOG_ERR(L"%s:%d: CreateFile Failed: [%s], ErrorCode = %s", path, systemErrorText(created.error));
        return false;
      }
    }

    // The marker comes from the version bytes and the length must fit its
    // 16 bits: without both there is nothing sound to stage.
    const std::optional<image::VersionBytes> version = image::versionBytesAt(code, image::kVersionInCode);
    if (version) HBX_LOG_MSG(L"%s:%d: FW from binary: [%s]", version::strLogVersion(*version));
    const std::optional<std::vector<std::uint8_t>> area = image::firmwareAreaFromCode(code);
    if (!area) {
      HBX_LOG_ERR(L"%s:%d: vCreateTempBinDataFile: FW[%s] of %d bytes cannot be staged", m_strFWBinFilePath,
                  static_cast<std::int64_t>(code.size()));
      return false;
    }

    // Written with truncation: a file that could not be deleted above must not
    // keep bytes of an earlier staging behind the new ones.
    const OpenResult out = files.createFile(path, access::kGenericWrite, share::kWrite | share::kDelete,
                                            creation::kCreateAlways, fileflag::kWriteThrough);
    if (out.handle == kInvalidHandle) {
      HBX_LOG_ERR(L"%s:%d: vCreateTempBinDataFile: m_strFWBinFilePath : %s , dwErrorCode %s", m_strFWBinFilePath,
                  systemErrorText(out.error));
      return false;
    }
    bool written = false;
    {
      const platform::FileHandle file(files, out.handle);
      written = image::writeAll(files, file.get(), *area, error);
    }
    if (!written) {
      HBX_LOG_ERR(L"%s:%d: vCreateTempBinDataFile: m_strFWBinFilePath : %s , dwErrorCode %s", m_strFWBinFilePath,
                  systemErrorText(error));
      return false;
    }
    m_TempBinDigest.record(*area);
    return true;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: vCreateTempBinDataFile: m_strFWBinFilePath : %s , dwErrorCode %s", m_strFWBinFilePath,
                systemErrorText(error));
    return false;
  }
}

}  // namespace hbx
