#pragma once
// Walk tests: the discovery fixture plus a bench with every kind of device
// the walk must tell apart, and helpers to run a scan and read its records.
#include <string>
#include <vector>

#include "hub/device/zelt_hub_dev.h"
#include "tests/discovery/discovery_fixture.h"

namespace hbx::testing {

// Hubs of our family: "top" (HBX773x, both connections) with "inner"
// (HBX863x, both connections) behind it; "behind" (HBX773x, USB 3.0 only)
// behind a foreign hub; "intel" (one of our chips carrying vendor id 8087);
// "slow" (HBX863x, reached only over USB 2.0); a mouse. One controller of 8
// ports. Position indices: top 9 (USB 2.0) and 13 (USB 3.0), inner 10 on
// both, behind 11, slow 14.
inline std::string topologyBench(const std::string& extraTopKeys = "", const std::string& extraInnerKeys = "") {
  return R"({"hubs": {"devices": [
    {"name": "top", "family": "HBX773x", "firmwareVersion": "250318250c01", "serial": "top1")" + extraTopKeys + R"(,
     "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-20"},
     "usb2": {"pid": "0622", "bcdUSB": "0210", "pdo": "\\Device\\USBPDO-21"}},
    {"name": "inner", "family": "HBX863x", "firmwareVersion": "250318150d02", "serial": "IN2")" + extraInnerKeys + R"(,
     "usb3": {"pid": "0631", "pdo": "\\Device\\USBPDO-22"},
     "usb2": {"pid": "0621", "bcdUSB": "0210", "pdo": "\\Device\\USBPDO-23"}},
    {"name": "behind", "family": "HBX773x", "firmwareVersion": "2503182a0c03", "manufacturer": "Other Maker",
     "usb3": {"pid": "0633", "pdo": "\\Device\\USBPDO-24"}},
    {"name": "intel", "family": "HBX773x", "firmwareVersion": "250318250c05", "vid": "8087",
     "usb3": {"pid": "0635", "pdo": "\\Device\\USBPDO-26"}},
    {"name": "slow", "family": "HBX863x", "firmwareVersion": "250318150c04",
     "usb2": {"pid": "0624", "bcdUSB": "0210", "pdo": "\\Device\\USBPDO-25"}}]},
   "usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_3A7F&DEV_7630#4&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
     "description": "Corvane Host", "ports": 8, "devices": [
       {"port": 1, "chip": "top", "side": "usb2", "devices": [{"port": 2, "chip": "inner", "side": "usb2"}]},
       {"port": 2, "hub": true, "vid": "05e3", "pid": "0626", "bcdUSB": "0310",
        "devices": [{"port": 3, "chip": "behind", "side": "usb3"}]},
       {"port": 3, "chip": "intel", "side": "usb3"},
       {"port": 4, "vid": "046d", "pid": "c077"},
       {"port": 5, "chip": "top", "side": "usb3", "devices": [{"port": 2, "chip": "inner", "side": "usb3"}]},
       {"port": 6, "chip": "slow", "side": "usb2"}]}]}})";
}

class WalkTest : public DiscoveryTest {
 protected:
  CZeltHubDev& hubDev() { return *utility->m_ZeltUSBLib.ensureHubDev(); }

  // Runs the walk alone into the hub device object's records.
  std::vector<DriverInfo> walk() {
    CZeltHubDev& dev = hubDev();
    dev.m_DriverNum = 0;
    utility->GetDeviceList();
    return std::vector<DriverInfo>(dev.m_DriverInfo, dev.m_DriverInfo + dev.m_DriverNum);
  }
  static std::vector<int> positions(const std::vector<DriverInfo>& records) {
    std::vector<int> out;
    for (const DriverInfo& r : records) out.push_back(r.ucPositionIndex);
    return out;
  }
  static std::wstring text(const wchar_t* field) { return std::wstring(field); }

  int scan() { return utility->m_ZeltUSBLib.OpenDev(&list, 1); }

  // The chip of a bench by name, under the bench's lock.
  template <class F>
  void withChip(const char* name, F f) {
    std::lock_guard<std::mutex> lock(host->hubBench().mutex());
    f(*host->hubBench().hub(name));
  }

  DeviceList list;
};

}  // namespace hbx::testing
