#pragma once
// The program's hub layer on a simulated host with one hub of each family:
// hub0 HBX763x, hub1 HBX863x, hub2 HBX773x, hub3 HBX963x, each with a USB 3.0
// and a USB 2.0 device object.
#include <gtest/gtest.h>

#include <vector>

#include "hub/hub_utility.h"
#include "hub/device/filter_protocol.h"
#include "hub/device/zelt_filter.h"
#include "sim/hub/filter_driver.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_clock.h"
#include "sim/sim_host.h"
#include "tests/sim/family_bench.h"

namespace hbx::testing {

class HubLayerTest : public ::testing::Test {
 protected:
  // Virtual time by default: simulated time moves only while every thread
  // waits, so measured waits are exact and a stall never becomes a time-out.
  explicit HubLayerTest(double scale = 0)
      : host(benchFolder.options(scale)), ports(host.ports()), utility(ports), filter(ports) {}

  static std::wstring usb3Object(int hub) { return L"\\\\.\\USBPDO_" + std::to_wstring(10 + 2 * hub) + L"0001"; }
  sim::hub::HubBench& bench() { return host.hubBench(); }
  sim::hub::HubChip& chip(int hub) { return *bench().hubs()[hub]; }

  platform::OsHandle open(int hub) {
    const auto opened = ports.deviceIo.openDevice(usb3Object(hub), 0, 0, platform::fileflag::kOverlapped);
    EXPECT_NE(opened.handle, platform::kInvalidHandle);
    handles.push_back(opened.handle);
    return opened.handle;
  }
  void TearDown() override {
    for (auto h : handles) ports.deviceIo.closeHandle(h);
    EXPECT_EQ(host.deviceIo().openHandles(), 0u) << "a handle or event was left open";
  }

  // The hub device object with the four hubs listed by their USB 3.0 objects.
  CZeltHubDev& hubDev() {
    CZeltHubDev& dev = *utility.m_ZeltUSBLib.ensureHubDev();
    dev.m_pDevList = &list;
    dev.m_DriverNum = 4;
    for (int i = 0; i < 4; ++i) {
      list.Devs[i].m_strObjectName = usb3Object(i);
      vSetField(dev.m_DriverInfo[i].DeviceObjectName, usb3Object(i));
    }
    list.DevNums = 4;
    return dev;
  }

  std::vector<sim::hub::TraceEntry> trace() { return bench().trace(); }
  std::int64_t virtualMs() { return host.clock().virtualMs(); }

  FamilyBenchFolder benchFolder;
  sim::SimHost host;
  platform::Ports ports;
  CHubUtility utility;
  CZELTFILTER0 filter;
  DeviceList list;
  std::vector<platform::OsHandle> handles;
};

}  // namespace hbx::testing
