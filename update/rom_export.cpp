// The export step of a worker: the hub's configuration table and the start of
// its ROM into program folder\HBXFW_Temp\HBX763xFW[i].bin.
#include <vector>

#include "update/run_dialog.h"
#include "base/log/format.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "image/temp_bin_file.h"
#include "platform/handles.h"
#include "update/hub_worker.h"
#include "update/run_log.h"

namespace hbx::update {

namespace {

inline constexpr std::size_t kRomBufferBytes = 0xFF00;
inline constexpr std::size_t kTableBytes = 256;

}  // namespace

HubWorker::Outcome HubWorker::exportRom() {
  HBX_WORKER_MSG(L"%s:%d: ucTargetNumber[%d], export SPIROM data into a  file", i_);
  std::array<std::uint8_t, kTableBytes> table{};
  if (!utility_.vWrRdConfiguration(i_, 0, table.data(), 0, 1)) {
    HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], Read Configuration fail , dwErrorCode : %s", i_,
                   systemErrorText(ports_.system.lastError()));
    dev_.m_bExportResult = 0;
    return Outcome::Failure;
  }
  std::vector<std::uint8_t> rom(kRomBufferBytes, 0);
  const bool read = dialog_.m_RunHooks.readSpiRom && dialog_.m_RunHooks.readSpiRom(i_, rom.data());
  if (!read || cancelled()) {
    HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], bReadFirmware fail , dwErrorCode : %s",
                   i_, systemErrorText(ports_.system.lastError()));
    dev_.m_bExportResult = 0;
    return Outcome::Failure;
  }
  // The read-back holds the table in bytes 0-255 and the firmware area from
  // byte 256, which starts with its 16-bit length len. The file holds the
  // table, then the first len + 32 bytes of the firmware area, written as
  // len + 260 bytes; a length that would run past the buffer comes from a
  // blank or damaged ROM and is refused.
  const std::size_t len = static_cast<std::size_t>(rom[kTableBytes] | (rom[kTableBytes + 1] << 8));
  const std::size_t fileBytes = len + kTableBytes + 4;
  if (kTableBytes + len + 32 > kRomBufferBytes) {
    HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], bReadFirmware fail , dwErrorCode : %d", i_, 0);
    dev_.m_bExportResult = 0;
    return Outcome::Failure;
  }
  std::vector<std::uint8_t> fileImage(kRomBufferBytes, 0);
  std::copy(table.begin(), table.end(), fileImage.begin());
  const auto firmwareArea = rom.begin() + static_cast<std::ptrdiff_t>(kTableBytes);
  std::copy(firmwareArea, firmwareArea + static_cast<std::ptrdiff_t>(len + 32),
            fileImage.begin() + static_cast<std::ptrdiff_t>(kTableBytes));

  const std::wstring folder = image::tempBinFolder(utility_.strProgramFolder());
  std::uint32_t error = 0;
  ports_.files.createDirectory(folder, error);  // an existing folder is fine
  const std::wstring path =
      wformat(L"%s\\%s\\%s[%d].bin", utility_.strProgramFolder(), image::kTempBinFolderName, L"HBX763xFW", i_);
  ports_.files.deleteFile(path, error);
  const platform::OpenResult opened =
      ports_.files.createFile(path, platform::access::kGenericWrite, platform::share::kWrite | platform::share::kDelete,
                              platform::creation::kOpenAlways, platform::fileflag::kWriteThrough);
  if (opened.handle == platform::kInvalidHandle) {
    HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], CreateFile[%s] fail , dwErrorCode : %s",
                   i_, path, systemErrorText(opened.error));
    dev_.m_bExportResult = 0;
    return Outcome::Failure;
  }
  bool written = false;
  {
    const platform::FileHandle file(ports_.files, opened.handle);
    written = image::writeAll(ports_.files, file.get(), std::span(fileImage.data(), fileBytes), error);
  }
  if (!written) {
    HBX_WORKER_ERR(L"%s:%d: ucTargetNumber[%d], WriteFile[%s] fail , dwErrorCode : %s",
                   i_, path, systemErrorText(error));
    dev_.m_bExportResult = 0;
    return Outcome::Failure;
  }
  dev_.m_bExportResult = 1;
  return Outcome::Success;
}

}  // namespace hbx::update
