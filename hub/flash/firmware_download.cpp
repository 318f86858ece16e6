// The firmware download of one hub, one hub at a time.
#include <vector>

#include "base/log/debug_log.h"
#include "hub/hub_utility.h"
#include "image/temp_bin_file.h"
#include "platform/handles.h"

namespace hbx {

using namespace platform;

namespace {

constexpr std::uint32_t kPauseAfterDownloadMs = 800;
// HBX763xFirmwareWrite's own code for "no discovered hub".
constexpr int kNoHubDevice = -4;

}  // namespace

bool CHubUtility::vUpdateFirmware(std::uint8_t index, std::uint8_t image, std::uint8_t variant) {
  const std::wstring path = image::tempBinFile(m_strProgramFolder);
  FilePort& files = ports_.files;
  bool result = true;
  {
    std::lock_guard<std::mutex> lock(m_UpdateFirmwareCriticalSection);

    // The file is held open without write or delete sharing for the whole
    // download, so what was checked here is what the hub layer reads.
    const platform::FileHandle held(
        files, files.createFile(path, access::kGenericRead, share::kRead, creation::kOpenExisting, 0).handle);
    std::vector<std::uint8_t> bytes;
    bool sameAsStaged = false;
    if (held.valid()) {
      std::int64_t size = 0;
      std::uint32_t error = 0;
      if (files.fileSize(held.get(), size, error) && size >= 0 &&
          static_cast<std::uint64_t>(size) == m_TempBinDigest.size && m_TempBinDigest.recorded) {
        bytes.resize(static_cast<std::size_t>(size));
        const FileIoResult read = files.readFile(held.get(), bytes.data(), static_cast<std::uint32_t>(size));
        sameAsStaged = read.ok && read.bytes == size && m_TempBinDigest.matches(bytes);
      }
    }

    if (!sameAsStaged) {
      HBX_LOG_ERR(L"%s:%d: [%s] is not the file staged for this run, not sent to target[%d]", path, index);
      result = false;
    } else {
      CZeltHubDev* dev = m_ZeltUSBLib.hubDev();
      const int nRet = dev != nullptr ? dev->HBX763xFirmwareWrite(index, path, image, variant) : kNoHubDevice;
      if (nRet != 0) {
        HBX_LOG_ERR(L"%s:%d: HBX763xFirmwareWrite , dwErrorCode %d", nRet);
        result = false;
      }
    }
  }
  ports_.clock.sleepMs(kPauseAfterDownloadMs);
  return result;
}

}  // namespace hbx
