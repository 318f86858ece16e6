// Whether what a hub's flash holds in image 0 is the firmware of a version,
// whole and bootable: the proof that a hub needs no update, where the
// version it runs is none.
#include <array>
#include <span>
#include <vector>

#include "base/log/debug_log.h"
#include "hub/device/filter_protocol.h"
#include "hub/hub_utility.h"
#include "image/image_layout.h"
#include "image/version_rules.h"

namespace hbx {

bool CHubUtility::bImage0HoldsVersion(std::uint8_t index, const std::wstring& version, std::uint8_t majorType) {
  CZeltHubDev* dev = m_ZeltUSBLib.hubDev();
  if (dev == nullptr) return false;
  std::array<std::uint8_t, filter::kConfigTableSize> table;
  table.fill(0xFF);
  if (dev->HBX763xConfigRead(index, table.data(), filter::kConfigTableSize, 0, 1) != 0) {
    HBX_LOG_ERR(L"%s:%d: Image 0 of target[%d]: its configuration table could not be read", index);
    return false;
  }
  if (!image::bConfigTableSealed(table)) {
    HBX_LOG_ERR(L"%s:%d: Image 0 of target[%d]: its configuration table is not sealed", index);
    return false;
  }
  // The firmware area comes back as its length + 32 bytes, made up to 32.
  std::vector<std::uint8_t> area(filter::kImageSize, 0xFF);
  if (dev->HBX763xFirmwareRead(index, area.data(), static_cast<std::uint32_t>(area.size()), 0, 1) != 0) {
    HBX_LOG_ERR(L"%s:%d: Image 0 of target[%d]: its firmware area could not be read", index);
    return false;
  }
  const image::AreaFault fault = image::firmwareAreaFault(area, majorType);
  if (fault != image::AreaFault::None) {
    HBX_LOG_ERR(L"%s:%d: Image 0 of target[%d]: %s", index, std::wstring(image::areaFaultText(fault)));
    return false;
  }
  const auto held = image::versionBytesAt(area, image::kFirmwareLengthBytes + image::kVersionInCode);
  const std::wstring heldVersion = held ? version::strVersionFromBytes(*held) : L"";
  if (!version::bVersionEquals(heldVersion, version)) {
    HBX_LOG_ERR(L"%s:%d: Image 0 of target[%d] holds version [%s], not [%s]", index, heldVersion, version);
    return false;
  }
  return true;
}

}  // namespace hbx
