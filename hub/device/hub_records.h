#pragma once
// The three records a hub travels in: the discovered-hub record of the walk,
// the by-value hub description, and the device list with one entry per
// physical hub.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hbx {

inline constexpr std::size_t kNameChars = 260;
// Sixteen connections (eight hubs, both functions each) and the record the
// walk fills before it knows whether the hub still fits.
inline constexpr std::size_t kMaxDriverRecords = 17;
inline constexpr std::size_t kMaxDevices = 16;
// Ports from the root hub down to a hub; USB allows five hubs in a row, the
// room beyond is for trees the walk may still meet.
inline constexpr std::size_t kMaxPortChain = 16;

// One listed hub connection. Texts are zero-terminated in fixed fields.
struct DriverInfo {
  wchar_t DriverName[kNameChars];
  wchar_t DeviceObjectName[kNameChars];
  wchar_t ExtraText[kNameChars];
  wchar_t VID[kNameChars];
  wchar_t PID[kNameChars];
  wchar_t Speed[kNameChars];
  char InterfacePath[kNameChars];
  wchar_t RootHubName[kNameChars];
  wchar_t HostControllerName[kNameChars];
  std::uint8_t FWVersion[16];
  std::uint8_t ucPortIndex;
  std::uint8_t ucDepth;
  std::uint8_t ucPositionIndex;
  std::uint8_t bPowerSettingChanged;
  // The port on the root hub, then on each hub below, down to this hub's own
  // port: where the hub is, unlike its position index, which others share.
  std::uint8_t ucPortChain[kMaxPortChain];
  std::uint8_t ucPortChainLength;
};

// Zeroes a record, as the walk does before it fills one.
void vClearDriverInfo(DriverInfo& info);
// Copies `text` into a fixed field, cut to leave room for the terminator.
void vSetField(wchar_t (&field)[kNameChars], const std::wstring& text);
// The text of a record field, up to its terminating zero.
std::wstring strField(const wchar_t (&field)[kNameChars]);
// The record's chain of ports.
std::vector<std::uint8_t> portChainOf(const DriverInfo& info);
// A chain of ports as text: "5.2" for port 2 of the hub on root port 5.
std::wstring strPortChain(const std::vector<std::uint8_t>& chain);

// A hub handed by value to power management and the hub-interface lookup.
struct HubInfo {
  std::wstring strConnectedHubName;
  std::wstring strVID;
  std::wstring strPID;
  std::wstring strbcdUSB;
  wchar_t strHostDesc[512] = {};
  std::wstring strInterfacePath;
  std::uint8_t bCorvaneHost = 0;
};

// One physical hub, whichever of its connections were seen.
struct DeviceListEntry {
  std::uint8_t m_ucTargetNumber = 0xFF;
  std::uint8_t m_ucPortIndex = 0;
  std::uint8_t m_ucPairPortIndex = 0;
  std::uint8_t m_ucOldPositionIndex = 0;
  // Where the connection that made the entry sits (DriverInfo::ucPortChain).
  std::vector<std::uint8_t> m_PortChain;
  std::wstring m_strExtraText;
  std::wstring m_strRootHubName;
  std::wstring m_strPairRootHubName;
  std::wstring m_strObjectName;
  std::wstring m_strVID;
  std::wstring m_strPID30 = L"----";
  std::wstring m_strPID20 = L"----";
  std::wstring m_strSN = L"----";
  std::wstring m_strManufacturer;
  std::wstring m_strProduct = L"----";
  std::wstring m_strBcdDevice;
  std::wstring m_strBcdUSB;
  std::wstring m_strPairBcdUSB;
  std::wstring m_strFWVersion;
  std::wstring m_strDriverName;
  std::wstring m_strSpeed;
  std::array<std::uint8_t, 256> m_ucConfigTable{};
  std::uint8_t m_ucChipType = 0;
  std::uint8_t m_ucPackage = 0;
  std::uint8_t m_ucHubDepth = 0;
  std::uint8_t m_bConfigResult = 0;
  std::uint8_t m_bUpdateFWResult = 0;
  std::uint8_t m_bReloadFWResult = 0;
  std::uint8_t m_bChkFWResult = 0;
  std::uint8_t m_bExportResult = 0;
};

// m_ucChipType of a hub whose chip revision register could not be read.
inline constexpr std::uint8_t kChipTypeUnknown = 0xFF;

// The device list: entries 0 to DevNums - 1 are in use.
struct DeviceList {
  std::int32_t DevNums = 0;
  std::array<DeviceListEntry, kMaxDevices> Devs{};
};

}  // namespace hbx
