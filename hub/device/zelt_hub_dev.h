#pragma once
// CZeltHubDev: the hub device object. It keeps the records of the last walk
// and a pointer to the caller's device list, and offers hub-sized operations
// addressed by device-list index; each opens the hub's device object afresh
// and closes it before returning.
#include <cstdint>
#include <string>
#include <vector>

#include "hub/device/hub_records.h"
#include "hub/device/zelt_filter.h"
#include "platform/ports.h"

namespace hbx {

class CHubUtility;

class CZeltHubDev {
 public:
  explicit CZeltHubDev(CHubUtility& utility);
  virtual ~CZeltHubDev() = default;
  CZeltHubDev(const CZeltHubDev&) = delete;
  CZeltHubDev& operator=(const CZeltHubDev&) = delete;

  // Register access: `length` (1 to 32) bytes read, or the first written.
  int HBX763xAccessRegister(std::uint8_t index, std::uint8_t* buffer, std::uint32_t length,
                            std::uint16_t address, std::uint8_t write);
  // Erases both halves of one image, waiting for each.
  int HBX763xBlockErase(std::uint8_t index, std::uint8_t image);
  int HBX763xConfigRead(std::uint8_t index, std::uint8_t* out, std::uint32_t length,
                        std::uint8_t image, std::uint8_t variant);
  int HBX763xConfigWrite(std::uint8_t index, const std::uint8_t* table, std::uint8_t image,
                         std::uint8_t variant);
  // The firmware area of one image: length + 32 bytes rounded up to 32,
  // starting with the two length bytes. Never writes past `capacity`.
  int HBX763xFirmwareRead(std::uint8_t index, std::uint8_t* out, std::uint32_t capacity,
                          std::uint8_t image, std::uint8_t variant);
  int HBX763xFirmwareWrite(std::uint8_t index, const std::wstring& path, std::uint8_t image,
                           std::uint8_t variant);
  int HBX763xReset(std::uint8_t index, std::uint8_t byRegisters);
  void vInitialPrivateData();

  // Builds the device list from a walk; 0, or -4 when the walk found no hub.
  int OpenDevice(DeviceList* pDevList, std::uint8_t clear);
  void vClearPrivateData();
  // Clears the configuration, update and reload result flags of entries 0-7.
  void vClearResultFlags();

  // The descriptor values of the connection examined last.
  std::wstring m_strPID;
  std::wstring m_strVID;
  std::wstring m_strSN;
  std::wstring m_strManufacturer;
  std::wstring m_strProduct;
  std::wstring m_strBcdDevice;
  std::wstring m_strBcdUSB;
  DeviceList* m_pDevList = nullptr;
  DriverInfo m_DriverInfo[kMaxDriverRecords] = {};
  std::uint8_t m_ucListPosition = 0;
  std::uint8_t m_DriverNum = 0;
  // Set by a walk that met more hubs than its records hold: the records
  // are incomplete, so no run may go on with them.
  std::uint8_t m_bRecordsOverflow = 0;
  // Hubs the walk matched that could not be opened or read, each as one
  // line naming it and its place; cleared by OpenDevice.
  std::vector<std::wstring> m_strUnreadHubs;
  // The same hubs as the walk named them, in the same order.
  struct UnreadHub {
    std::wstring driverName;
    std::wstring rootHubName;
    std::vector<std::uint8_t> chain;
    bool usb3 = false;  // its bcdUSB is 3.x
  };
  std::vector<UnreadHub> m_UnreadHubs;
  void vNoteUnreadHub(const std::wstring& driverName, const std::wstring& rootHubName,
                      const std::vector<std::uint8_t>& chain, const std::wstring& bcdUSB);

  CZELTFILTER0 ZELTFILTER0;

 private:
  // The device object of list entry `index`; empty when there is none.
  std::wstring objectName(std::uint8_t index) const;
  bool recordHasObject(std::uint8_t index) const;
  // The steps of OpenDevice (open_device.cpp).
  void vProbeRecords();
  void vRestartAndRelookup(std::uint8_t index);
  void vClearMarks();
  void vBuildList();
  void vAddRecordToList(const DriverInfo& record);
  // The steps of listing one record (device/open_device.cpp).
  bool readConnectionDescriptor(platform::OsHandle device);
  bool addPairConnection(platform::OsHandle device, const DriverInfo& record, bool usb2);
  void fillListEntry(DeviceListEntry& entry, const DriverInfo& record, const std::wstring& version, bool usb2);
  void readPackageAndChipType(DeviceListEntry& entry);
  bool bPartialVersionPasses(const std::wstring& version, std::uint8_t position) const;
  platform::Ports& ports();

  CHubUtility& utility_;
};

}  // namespace hbx
