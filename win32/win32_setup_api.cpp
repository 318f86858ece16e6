// SetupAPI: present device interfaces, device registry properties and the
// class installer's property change.
#include <windows.h>
#include <setupapi.h>

#include <cstring>

#include "win32/win32_handles.h"
#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

GUID toGuid(const platform::Guid& g) {
  GUID out{};
  out.Data1 = g.data1;
  out.Data2 = g.data2;
  out.Data3 = g.data3;
  std::memcpy(out.Data4, g.data4, sizeof(out.Data4));
  return out;
}

HDEVINFO toList(platform::OsHandle list) { return reinterpret_cast<HDEVINFO>(list); }

// The property and class-install calls take the SP_DEVINFO_DATA that the same
// list handed out: look the device up in that list by its DevInst.
bool deviceOf(platform::OsHandle list, const platform::DeviceInfoData& device, SP_DEVINFO_DATA& data,
              std::uint32_t& error) {
  for (DWORD i = 0;; ++i) {
    data = SP_DEVINFO_DATA{};
    data.cbSize = sizeof(data);
    if (!SetupDiEnumDeviceInfo(toList(list), i, &data)) {
      error = GetLastError();
      // A device that is not in the list: what Windows answers for a DevInst
      // it does not know.
      if (error == ERROR_NO_MORE_ITEMS) error = ERROR_NO_SUCH_DEVINST;
      return false;
    }
    if (data.DevInst == device.devInst) return true;
  }
}

class Win32SetupApi final : public platform::SetupApiPort {
 public:
  platform::OsHandle getClassDevs(const platform::Guid& interfaceClass) override {
    const GUID guid = toGuid(interfaceClass);
    HDEVINFO list = SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (list == INVALID_HANDLE_VALUE) return platform::kInvalidHandle;
    return reinterpret_cast<platform::OsHandle>(list);
  }

  bool enumDeviceInterface(platform::OsHandle list, const platform::Guid& interfaceClass, std::uint32_t index,
                           platform::DeviceInterfaceInfo& info) override {
    const GUID guid = toGuid(interfaceClass);
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(toList(list), nullptr, &guid, index, &interfaceData)) return false;

    info = platform::DeviceInterfaceInfo{};
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(toList(list), &interfaceData, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
      info.error = GetLastError();
      return true;
    }
    // DWORD-aligned storage for the variable-length detail structure.
    std::vector<DWORD> storage((required + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiGetDeviceInterfaceDetailW(toList(list), &interfaceData, detail, required, nullptr, &device)) {
      info.error = GetLastError();
      return true;
    }
    info.detailOk = true;
    info.devicePath = detail->DevicePath;
    info.device.devInst = device.DevInst;
    return true;
  }

  platform::PropertyValue deviceRegistryProperty(platform::OsHandle list, const platform::DeviceInfoData& device,
                                                 std::uint32_t property, std::uint32_t bufferBytes) override {
    platform::PropertyValue value;
    SP_DEVINFO_DATA data{};
    if (!deviceOf(list, device, data, value.error)) return value;
    std::vector<std::uint8_t> buffer(bufferBytes ? bufferBytes : 1);
    DWORD type = 0;
    DWORD required = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(toList(list), &data, property, &type, buffer.data(), bufferBytes,
                                           &required)) {
      value.error = GetLastError();
      value.regType = type;
      return value;
    }
    value.ok = true;
    value.regType = type;
    buffer.resize(required <= bufferBytes ? required : bufferBytes);
    value.bytes = std::move(buffer);
    return value;
  }

  bool setPropChangeParams(platform::OsHandle list, const platform::DeviceInfoData& device,
                           std::uint32_t stateChange, std::uint32_t scope, std::uint32_t hwProfile,
                           std::uint32_t& error) override {
    SP_DEVINFO_DATA data{};
    if (!deviceOf(list, device, data, error)) return false;
    SP_PROPCHANGE_PARAMS params{};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = stateChange;
    params.Scope = scope;
    params.HwProfile = hwProfile;
    if (!SetupDiSetClassInstallParamsW(toList(list), &data, &params.ClassInstallHeader, sizeof(params))) {
      error = GetLastError();
      return false;
    }
    error = 0;
    return true;
  }

  bool callClassInstallerPropChange(platform::OsHandle list, const platform::DeviceInfoData& device,
                                    std::uint32_t& error) override {
    SP_DEVINFO_DATA data{};
    if (!deviceOf(list, device, data, error)) return false;
    if (!SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, toList(list), &data)) {
      error = GetLastError();
      return false;
    }
    error = 0;
    return true;
  }

  void destroyList(platform::OsHandle list) override {
    if (list != platform::kInvalidHandle && list != platform::kNullHandle) SetupDiDestroyDeviceInfoList(toList(list));
  }
};

}  // namespace

platform::SetupApiPort& setupApiPort() {
  static Win32SetupApi port;
  return port;
}

}  // namespace hbx::win32
