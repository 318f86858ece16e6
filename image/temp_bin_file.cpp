#include "image/temp_bin_file.h"

namespace hbx::image {

std::wstring tempBinFolder(const std::wstring& programFolder) {
  return programFolder + L"\\" + kTempBinFolderName;
}

std::wstring tempBinFile(const std::wstring& programFolder) {
  return tempBinFolder(programFolder) + L"\\" + kTempBinFileName;
}

bool writeAll(platform::FilePort& files, platform::OsHandle file, std::span<const std::uint8_t> bytes,
              std::uint32_t& error) {
  const platform::FileIoResult written =
      files.writeFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  if (written.ok && written.bytes == bytes.size()) return true;
  error = written.ok ? platform::err::kGenFailure : written.error;
  return false;
}

}  // namespace hbx::image
