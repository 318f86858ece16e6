// Read-back of what an update wrote to a hub: both images' configuration
// tables and image 0's firmware area, compared with the table written and the
// bytes staging wrote (kept in memory: a staged file changed since proves
// nothing). A flash that took the data wrongly fails the hub here instead of
// passing it.
#include <algorithm>
#include <array>
#include <vector>

#include "base/log/debug_log.h"
#include "hub/device/filter_protocol.h"
#include "hub/hub_utility.h"

namespace hbx {

bool CHubUtility::bVerifyWrittenImage(std::uint8_t index, const std::uint8_t* table) {
  CZeltHubDev* dev = m_ZeltUSBLib.hubDev();
  if (dev == nullptr) return false;
  const std::vector<std::uint8_t>& staged = m_TempBinDigest.bytes;
  if (!m_TempBinDigest.recorded || staged.empty()) {
    HBX_LOG_ERR(L"%s:%d: Read-back of target[%d]: nothing was staged in this run", index);
    return false;
  }
  const auto differs = [&](std::uint8_t image, std::size_t offset, std::uint8_t written, std::uint8_t read) {
    HBX_LOG_ERR(L"%s:%d: Read-back of target[%d] differs: image[%d], offset[0x%04X], written[0x%02X], read[0x%02X]",
                index, image, static_cast<std::uint32_t>(offset), written, read);
    return false;
  };

  for (std::uint8_t image : {0, 1}) {
    std::array<std::uint8_t, filter::kConfigTableSize> read;
    read.fill(0xFF);
    if (dev->HBX763xConfigRead(index, read.data(), filter::kConfigTableSize, image, 1) != 0) {
      HBX_LOG_ERR(L"%s:%d: Read-back of target[%d] failed: configuration table of image[%d]", index, image);
      return false;
    }
    const auto [written, got] = std::mismatch(table, table + read.size(), read.begin());
    if (got != read.end()) return differs(image, static_cast<std::size_t>(written - table), *written, *got);
  }

  // The firmware area comes back as its length + 32 bytes, made up to 32.
  std::vector<std::uint8_t> area(filter::kImageSize, 0xFF);
  if (dev->HBX763xFirmwareRead(index, area.data(), static_cast<std::uint32_t>(area.size()), 0, 1) != 0) {
    HBX_LOG_ERR(L"%s:%d: Read-back of target[%d] failed: firmware area of image[0]", index);
    return false;
  }
  const auto [written, got] = std::mismatch(staged.begin(), staged.end(), area.begin());
  if (written != staged.end())
    return differs(0, filter::kFirmwareAreaOffset + static_cast<std::size_t>(written - staged.begin()), *written, *got);
  return true;
}

}  // namespace hbx
