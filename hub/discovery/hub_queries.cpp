// The questions discovery asks the USB hub driver: root hub names, device
// descriptors and strings, the names of downstream hubs, connected ports,
// and the name rewrite of the MCCI USB 3.0 stack.
#include <algorithm>
#include <cwctype>
#include <new>

#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/hub_utility.h"
#include "platform/handles.h"

namespace hbx {

namespace {

using namespace usblayout;

// No hub driver answers a name this long; a larger length is bad data.
constexpr std::uint32_t kMaxNameReplyBytes = 65536;

std::wstring hexWord(std::uint16_t value) {
  return wformat(L"%02x%02x", static_cast<unsigned>(value >> 8), static_cast<unsigned>(value & 0xFF));
}

// A device name ends with its interface class "{...}"; anything after the
// first "}" is dropped, and a name without one is no name.
std::wstring cutAfterFirstBrace(const std::wstring& name) {
  const std::size_t end = name.find(L'}');
  return end == std::wstring::npos ? std::wstring() : name.substr(0, end + 1);
}

std::uint32_t connectedBit(std::uint32_t port) {
  switch (port) {
    case 2: return 2;
    case 3: return 4;
    case 4: return 8;
    default: return 1;
  }
}

}  // namespace

bool CHubUtility::GetRootHubName(platform::OsHandle hHostController) {
  platform::HubIoPort& hubIo = ports_.hubIo;
  try {
    std::vector<std::uint8_t> first(kRootHubNameFirstBytes, 0);
    const platform::HubIoctlResult lengthReply = hubIo.hubIoctl(hHostController, platform::ioctl::kUsbGetRootHubName, first);
    if (!lengthReply.ok) {
      HBX_LOG_ERR(L"%s:%d: GetRootHubName: Get ActualLength Fail , dwErrorCode %s", systemErrorText(lengthReply.error));
      return false;
    }
    const std::uint32_t actualLength = read32(first, 0);
    // A length that cannot hold a name, or no driver would give, is refused
    // as an allocation that cannot be made.
    if (actualLength < kRootHubNameFirstBytes || actualLength > kMaxNameReplyBytes) {
      HBX_LOG_ERR(L"%s:%d: GetRootHubName: Malloc ActualLength[%u] Fail , dwErrorCode %s", actualLength,
                  systemErrorText(platform::err::kNotEnoughMemory));
      return false;
    }
    std::vector<std::uint8_t> full(actualLength, 0);
    const platform::HubIoctlResult nameReply = hubIo.hubIoctl(hHostController, platform::ioctl::kUsbGetRootHubName, full);
    if (!nameReply.ok) {
      HBX_LOG_ERR(L"%s:%d: GetRootHubName: Get Root Hub Name Fail , dwErrorCode %s", systemErrorText(nameReply.error));
      return false;
    }
    m_strRootHubName = WideStrToMultiStr(readText(full, kRootHubNameText));
    return true;
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: GetRootHubName: dwErrorCode %s", systemErrorText(ports_.system.lastError()));
    return false;
  }
}

void CHubUtility::GetDeviceDescriptor(platform::OsHandle hHub, std::uint32_t ulPortIndex, std::uint16_t uspLanguageID,
                                      const UsbDeviceDescriptor& descriptor) {
  try {
    strbcdUSB = hexWord(descriptor.bcdUSB);
    strVID = hexWord(descriptor.idVendor);
    strPID = hexWord(descriptor.idProduct);
    strBcdDevice = hexWord(descriptor.bcdDevice);
    HBX_LOG_MSG(L"%s:%d: bcdUSB %s", strbcdUSB);
    HBX_LOG_MSG(L"%s:%d: wVendorID %s", strVID);
    HBX_LOG_MSG(L"%s:%d: wProductID %s", strPID);
    // The manufacturer text is read where the descriptor says it is, since
    // the manufacturer filter compares it. The other two are read only at
    // their usual index; with another index they keep the text of the
    // device examined before.
    if (descriptor.iManufacturer != 0) {
      strIManufacture = GetStringDescriptor(hHub, ulPortIndex, uspLanguageID, descriptor.iManufacturer);
      HBX_LOG_MSG(L"%s:%d: iManufacturer %s", strIManufacture);
    }
    if (descriptor.iProduct == 3) {
      strIProduct = GetStringDescriptor(hHub, ulPortIndex, uspLanguageID, 3);
      HBX_LOG_MSG(L"%s:%d: iProduct %s", strIProduct);
    }
    if (descriptor.iSerialNumber == 1) {
      strISerialNumber = GetStringDescriptor(hHub, ulPortIndex, uspLanguageID, 1);
      HBX_LOG_MSG(L"%s:%d: iSerialNumber %s", strISerialNumber);
    }
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: GetDeviceDescriptor , dwErrorCode %s", systemErrorText(ports_.system.lastError()));
  }
}

std::wstring CHubUtility::GetStringDescriptor(platform::OsHandle hHub, std::uint32_t ulPortIndex,
                                              std::uint16_t& uspLanguageID, std::uint8_t ucIndex) {
  try {
    auto request = [&](std::vector<std::uint8_t>& buffer, std::uint16_t wValue, std::uint16_t wIndex,
                       std::uint16_t wLength) {
      std::fill(buffer.begin(), buffer.end(), 0);
      write32(buffer, 0, ulPortIndex);
      buffer[kSetupPacket] = 0x80;      // device to host, standard, device
      buffer[kSetupPacket + 1] = 6;     // GET_DESCRIPTOR
      write16(buffer, kSetupPacket + 2, wValue);
      write16(buffer, kSetupPacket + 4, wIndex);
      write16(buffer, kSetupPacket + 6, wLength);
      return ports_.hubIo.hubIoctl(hHub, platform::ioctl::kUsbGetDescriptorFromNodeConnection, buffer);
    };
    std::vector<std::uint8_t> buffer(kDescriptorRequestBytes, 0);
    const platform::HubIoctlResult languages = request(buffer, 0x0300, 0, 4);
    if (!languages.ok) {
      HBX_LOG_ERR(L"%s:%d: GetStringDescriptor : IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION Get uspLanguageID Fail , "
                  L"dwErrorCode %s",
                  systemErrorText(languages.error));
      return L"";
    }
    uspLanguageID = read16(buffer, kDescriptorData + 2);
    const platform::HubIoctlResult text =
        request(buffer, static_cast<std::uint16_t>(0x0300 | ucIndex), uspLanguageID, 255);
    if (!text.ok) {
      HBX_LOG_ERR(L"%s:%d: GetStringDescriptor : IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION Fail , dwErrorCode %s",
                  systemErrorText(text.error));
      return L"";
    }
    // The text is what came back, up to its first zero: whole units only (a
    // reply of odd length loses its last half unit), and nothing the driver
    // left after the reply. The descriptor's length byte is not consulted.
    buffer.resize(std::min<std::size_t>(text.bytes, buffer.size()));
    return readText(buffer, kDescriptorData + 2);
  } catch (...) {
    HBX_LOG_ERR(L"%s:%d: GetStringDescriptor : ulPortIndex : %d , uspLanguageID : %d , ucIndex : %d , dwErrorCode %s",
                ulPortIndex, uspLanguageID, ucIndex, systemErrorText(ports_.system.lastError()));
    return L"";
  }
}

std::wstring CHubUtility::strGetExternalHubName(platform::OsHandle hHub, std::uint8_t ulPortIndex) {
  if (hHub == platform::kNullHandle) return L"";
  platform::HubIoPort& hubIo = ports_.hubIo;
  platform::ClockPort& clock = ports_.clock;
  for (int iRetry = 0; iRetry < 3; ++iRetry) {
    std::wstring name;
    std::vector<std::uint8_t> first(kConnectionNameFirstBytes, 0);
    write32(first, 0, ulPortIndex);
    const platform::HubIoctlResult lengthReply =
        hubIo.hubIoctl(hHub, platform::ioctl::kUsbGetNodeConnectionName, first);
    if (!lengthReply.ok) {
      HBX_LOG_ERR(L"%s:%d: IOCTL_USB_GET_NODE_CONNECTION_NAME, Retry[%d],   dwErrorCode %s", iRetry,
                  systemErrorText(lengthReply.error));
      clock.sleepMs(2500);
    } else {
      const std::uint32_t nBytes = read32(first, kConnectionNameActualLength);
      if (nBytes <= kConnectionNameFirstBytes) {
        HBX_LOG_ERR(L"%s:%d: Retry[%d], Allocate space to hold the external hub name Fail nBytes=%x, "
                    L"sizeof(extHubName)=%x, dwErrorCode %s",
                    iRetry, nBytes, static_cast<std::uint32_t>(kConnectionNameFirstBytes),
                    systemErrorText(ports_.system.lastError()));
        clock.sleepMs(500);
      } else {
        std::vector<std::uint8_t> full;
        // A length no driver would give is bad data: the buffer is not made.
        if (nBytes <= kMaxNameReplyBytes) full.assign(nBytes, 0);
        if (full.empty()) {
          HBX_LOG_ERR(L"%s:%d:  iRetry[%d], malloc extHubNameW Fail dwRet=%x, dwErrorCode %s", iRetry, nBytes,
                      systemErrorText(platform::err::kNotEnoughMemory));
          clock.sleepMs(200);
        } else {
          write32(full, 0, ulPortIndex);
          const platform::HubIoctlResult nameReply =
              hubIo.hubIoctl(hHub, platform::ioctl::kUsbGetNodeConnectionName, full);
          if (!nameReply.ok) {
            HBX_LOG_ERR(L"%s:%d: Retry[%d], IOCTL_USB_GET_NODE_CONNECTION_NAME Fail , dwErrorCode %s", iRetry,
                        systemErrorText(nameReply.error));
            clock.sleepMs(200);
          } else {
            name = cutAfterFirstBrace(WideStrToMultiStr(readText(full, kConnectionNameText)));
          }
        }
      }
    }
    if (!name.empty()) {
      HBX_LOG_MSG(L"%s:%d: Retry[%d], Get connected Hub Name[%s]", iRetry, name);
      return name;
    }
    clock.sleepMs(400);
  }
  return L"";
}

bool CHubUtility::bGetHubPortCount(platform::OsHandle hHub, std::uint32_t& ulPortCount, std::uint32_t& dwErrorCode) {
  std::vector<std::uint8_t> info(kNodeInformationBytes, 0);
  const platform::HubIoctlResult reply = ports_.hubIo.hubIoctl(hHub, platform::ioctl::kUsbGetNodeInformation, info);
  dwErrorCode = reply.error;
  if (!reply.ok) return false;
  ulPortCount = info[kNodePortCount];
  return true;
}

bool CHubUtility::bGetConnectionInformation(platform::OsHandle hHub, std::uint32_t ulPortIndex,
                                            std::vector<std::uint8_t>& info) {
  info.assign(kConnectionInfoExBytes, 0);
  write32(info, kConnectionIndex, ulPortIndex);
  if (ports_.hubIo.hubIoctl(hHub, platform::ioctl::kUsbGetNodeConnectionInformationEx, info).ok) return true;
  std::vector<std::uint8_t> older(kConnectionInfoBytes, 0);
  write32(older, kConnectionIndex, ulPortIndex);
  if (!ports_.hubIo.hubIoctl(hHub, platform::ioctl::kUsbGetNodeConnectionInformation, older).ok) return false;
  // Field by field: the two layouts agree up to the pipe list, except that
  // the older one has LowSpeed where the EX one has Speed.
  info.assign(kConnectionInfoExBytes, 0);
  write32(info, kConnectionIndex, read32(older, kConnectionIndex));
  UsbDeviceDescriptor::parse(older, kDeviceDescriptor).store(info, kDeviceDescriptor);
  info[kCurrentConfigurationValue] = older[kCurrentConfigurationValue];
  info[kSpeed] = 0;
  info[kDeviceIsHub] = older[kDeviceIsHub];
  write16(info, kDeviceAddress, read16(older, kDeviceAddress));
  write32(info, kNumberOfOpenPipes, read32(older, kNumberOfOpenPipes));
  write32(info, kConnectionStatus, read32(older, kConnectionStatus));
  std::copy(older.begin() + kPipeList, older.end(), info.begin() + kPipeList);
  return true;
}

std::uint32_t CHubUtility::GetPortStatus(const std::wstring& strHubName, std::uint8_t ucPortMask) {
  const platform::OpenResult opened = ports_.hubIo.openHub(
      L"\\\\?\\" + strHubName, platform::access::kGenericWrite, platform::share::kWrite);
  const platform::HubHandle hub(ports_.hubIo, opened.handle);
  std::uint32_t portCount = 0;
  std::uint32_t error = opened.error;
  if (!hub.valid() || !bGetHubPortCount(hub.get(), portCount, error)) {
    HBX_LOG_ERR(L"%s:%d: GetPortData: IOCTL_USB_GET_NODE_INFORMATION (ConnectedHubHandle) Fail , dwErrorCode %s",
                systemErrorText(error));
    return 0;
  }
  std::uint32_t connected = 0;
  for (std::uint32_t port = 1; port <= portCount; ++port) {
    const bool selected = port <= 8 && ((ucPortMask >> (port - 1)) & 1) != 0;
    if (!selected) {
      HBX_LOG_MSG(L"%s:%d: This Port[%d] is disabel, do not check[%x] , continue....\n", port, ucPortMask);
      continue;
    }
    std::vector<std::uint8_t> info(kConnectionInfoBytes, 0);
    write32(info, kConnectionIndex, port);
    const bool ok =
        ports_.hubIo.hubIoctl(hub.get(), platform::ioctl::kUsbGetNodeConnectionInformationEx, info).ok;
    if (ok && read32(info, kConnectionStatus) == kDeviceConnected) connected |= connectedBit(port);
  }
  return connected;
}

std::wstring CHubUtility::strChangeDeviceNameForMCCI(const std::wstring& strHubName) {
  // Shorter than "{" + 8 digits + "}" is no name of that stack either.
  if (strHubName.size() < 10 || strHubName.front() != L'{' || strHubName.back() != L'}') return strHubName;
  // The first group: up to 8 hexadecimal digits after "{" (others end it).
  std::uint32_t group = 0;
  for (std::size_t i = 1; i < 9 && i < strHubName.size(); ++i) {
    const wchar_t c = static_cast<wchar_t>(std::towupper(strHubName[i]));
    int digit = -1;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    if (digit < 0) break;
    group = group * 16 + static_cast<std::uint32_t>(digit);
  }
  std::wstring changed = wformat(L"{%08x", group - 1u) + strHubName.substr(9);
  for (wchar_t& c : changed) c = c == L'-' ? L'_' : static_cast<wchar_t>(std::towlower(c));
  return changed;
}

}  // namespace hbx
