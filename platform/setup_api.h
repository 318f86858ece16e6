#pragma once
// SetupAPI: present device interfaces of a class, device registry properties
// and the class installer's property change (device restart).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os_types.h"
#include "platform/registry.h"

namespace hbx::platform {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8]{};
  friend bool operator==(const Guid&, const Guid&) = default;
};

inline constexpr Guid kGuidDevinterfaceUsbHostController{
    0x3ABF6F2D, 0x71C4, 0x462A, {0x8A, 0x92, 0x1E, 0x68, 0x61, 0xE6, 0xAF, 0x27}};
inline constexpr Guid kGuidDevinterfaceUsbHub{
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};

// SPDRP_* property codes.
namespace spdrp {
inline constexpr std::uint32_t kDeviceDesc = 0x00;
inline constexpr std::uint32_t kHardwareId = 0x01;
inline constexpr std::uint32_t kDriver = 0x09;
inline constexpr std::uint32_t kPhysicalDeviceObjectName = 0x0E;
}  // namespace spdrp


// DICS_* state changes and scopes.
namespace dics {
inline constexpr std::uint32_t kPropChange = 3;
inline constexpr std::uint32_t kFlagGlobal = 1;
inline constexpr std::uint32_t kFlagConfigSpecific = 2;
}  // namespace dics

// One device of a device information list (SP_DEVINFO_DATA's DevInst).
struct DeviceInfoData {
  std::uint32_t devInst = 0;
};

struct DeviceInterfaceInfo {
  bool detailOk = false;     // SetupDiGetDeviceInterfaceDetailW succeeded
  std::uint32_t error = 0;   // its error when it failed
  std::wstring devicePath;   // the interface's device path
  DeviceInfoData device;     // the device the interface belongs to
};

struct PropertyValue {
  bool ok = false;
  std::uint32_t error = 0;
  std::uint32_t regType = regtype::kNone;
  std::vector<std::uint8_t> bytes;  // raw value bytes (UTF-16LE for strings)
};

class SetupApiPort {
 public:
  virtual ~SetupApiPort() = default;

  // SetupDiGetClassDevsW(class, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE).
  // Returns kInvalidHandle on failure.
  virtual OsHandle getClassDevs(const Guid& interfaceClass) = 0;
  // SetupDiEnumDeviceInterfaces + SetupDiGetDeviceInterfaceDetailW for the
  // interface at `index`. False when there is no such interface
  // (ERROR_NO_MORE_ITEMS).
  virtual bool enumDeviceInterface(OsHandle list, const Guid& interfaceClass, std::uint32_t index,
                                   DeviceInterfaceInfo& info) = 0;
  // SetupDiGetDeviceRegistryPropertyW into a buffer of `bufferBytes` bytes.
  virtual PropertyValue deviceRegistryProperty(OsHandle list, const DeviceInfoData& device,
                                               std::uint32_t property,
                                               std::uint32_t bufferBytes) = 0;
  // SetupDiSetClassInstallParamsW with SP_PROPCHANGE_PARAMS (DIF_PROPERTYCHANGE).
  virtual bool setPropChangeParams(OsHandle list, const DeviceInfoData& device,
                                   std::uint32_t stateChange, std::uint32_t scope,
                                   std::uint32_t hwProfile, std::uint32_t& error) = 0;
  // SetupDiCallClassInstaller(DIF_PROPERTYCHANGE).
  virtual bool callClassInstallerPropChange(OsHandle list, const DeviceInfoData& device,
                                            std::uint32_t& error) = 0;
  // SetupDiDestroyDeviceInfoList.
  virtual void destroyList(OsHandle list) = 0;
};

}  // namespace hbx::platform
