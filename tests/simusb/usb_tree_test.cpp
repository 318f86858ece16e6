// The simulated USB tree on its own: the built-in tree, names and device
// objects, restarts and re-enumeration, the packed layouts, the bench
// section, the registry content and the device console.
#include <gtest/gtest.h>

#include <fstream>

#include "base/log/format.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_clock.h"
#include "sim/sim_devices.h"
#include "sim/sim_host.h"
#include "sim/sim_processes.h"
#include "sim/sim_registry.h"
#include "sim/sim_system.h"
#include "sim/usb/usb_host.h"
#include "tests/sim/family_bench.h"
#include "tests/sim/temp_folder.h"

namespace hbx::sim::usb {
namespace {

using testing::TempFolder;

std::unique_ptr<SimHost> makeHost(TempFolder& folder, const std::string& benchJson = "") {
  if (!benchJson.empty()) folder.write("bench.json", benchJson);
  SimHostOptions options;
  options.benchFolder = folder.path();
  options.timeScale = 0.001;
  options.standardOutput = [](const std::string&) {};
  return std::make_unique<SimHost>(options);
}

bool objectOpens(SimHost& host, const std::wstring& pdo) {
  const auto opened = host.deviceIo().openDevice(hub::deviceObjectNameFor(pdo), 0, 0, platform::fileflag::kOverlapped);
  if (opened.handle == platform::kInvalidHandle) return false;
  host.deviceIo().closeHandle(opened.handle);
  return true;
}

std::size_t hubInterfaces(SimHost& host) {
  SimSetupApi& api = host.setupApi();
  const auto list = api.getClassDevs(platform::kGuidDevinterfaceUsbHub);
  platform::DeviceInterfaceInfo info;
  std::uint32_t n = 0;
  while (api.enumDeviceInterface(list, platform::kGuidDevinterfaceUsbHub, n, info)) ++n;
  api.destroyList(list);
  return n;
}

TEST(UsbTree, BuiltInTreePlacesTheDefaultHubs) {
  TempFolder folder;
  auto host = makeHost(folder);
  const std::vector<std::string> lines = host->usbTree().describe();
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  EXPECT_NE(all.find("controller 0 stack=inbox ports=20 [Corvane USB 3.1 eXtensible Host Controller]"), std::string::npos);
  EXPECT_NE(all.find("tier=1 port=13 2e8b:0632 bcdUSB=0300 hub ports=4 chip=hub2 usb3 pdo=\\Device\\USBPDO-14"),
            std::string::npos);
  EXPECT_NE(all.find("tier=2 port=2 2e8b:0630 bcdUSB=0300 hub ports=4 chip=hub0 usb3"), std::string::npos);
  EXPECT_NE(all.find("tier=1 port=14 8087:0b41 bcdUSB=0310 hub ports=4 pdo="), std::string::npos);
  EXPECT_NE(all.find("tier=2 port=1 2e8b:0631 bcdUSB=0300 hub ports=4 chip=hub1 usb3"), std::string::npos);
  EXPECT_NE(all.find("tier=1 port=5 046d:c077 bcdUSB=0200 device"), std::string::npos);
  EXPECT_NE(all.find("controller 1 stack=inbox ports=8 [Standard Enhanced PCI to USB Host Controller]"),
            std::string::npos);
  EXPECT_NE(all.find("tier=1 port=1 2e8b:0623 bcdUSB=0210 hub ports=4 chip=hub3 usb2"), std::string::npos);
  EXPECT_EQ(hubInterfaces(*host), 9u);
  // A fresh computer: three targets of the carried image's chip type (2),
  // running older firmware than its 25031825010C, and no filter driver yet.
  for (const char* name : {"hub0", "hub1", "hub2"}) {
    const hub::HubConfig& chip = host->hubBench().hub(name)->config();
    EXPECT_EQ(chip.chipType(), 2) << name;
    EXPECT_EQ(chip.familyCode, (std::array<std::uint8_t, 3>{7, 7, 3})) << name;
    ASSERT_TRUE(chip.firmwareVersion) << name;
    EXPECT_EQ((*chip.firmwareVersion)[3] >> 4, 2) << name;
    EXPECT_LT(*chip.firmwareVersion, (std::array<std::uint8_t, 6>{0x25, 0x03, 0x18, 0x25, 0x01, 0x0C})) << name;
  }
  EXPECT_FALSE(objectOpens(*host, L"\\Device\\USBPDO-14"));
  // Once installed, the chips keep their device objects.
  host->hubBench().setDriverInstalled(true);
  EXPECT_TRUE(objectOpens(*host, L"\\Device\\USBPDO-14"));
}

TEST(UsbTree, HubsOfABenchWithoutUsbSectionGoOnTheRootHub) {
  TempFolder folder;
  auto host = makeHost(folder, R"({"hubs": {"devices": [{"name": "solo", "family": "HBX773x",
      "usb3": {"pid": "0701", "pdo": "\\Device\\USBPDO-40"}, "usb2": {"pid": "0702", "pdo": "\\Device\\USBPDO-41"}}]}})");
  ASSERT_EQ(host->benchError(), "");
  EXPECT_EQ(host->usbTree().node(host->usbTree().findChipFunction("solo", hub::Connection::Usb3)).config.port, 11u);
  EXPECT_EQ(host->usbTree().node(host->usbTree().findChipFunction("solo", hub::Connection::Usb2)).config.port, 1u);
  EXPECT_EQ(hubInterfaces(*host), 4u);  // with the two functions of the Intel hub
}

TEST(UsbTree, RestartTakesTheHubAwayAndBringsItBackUnderANewObject) {
  TempFolder folder;
  auto host = makeHost(folder, testing::withFamilyHubs(R"({"os": {"wow64": false}, "usb": {"restartMs": 60000}})"));
  UsbTree& tree = host->usbTree();
  const auto node = static_cast<std::uint32_t>(tree.findChipFunction("hub2", hub::Connection::Usb3));
  const std::wstring before = tree.pdoNameOf(node);
  {
    std::lock_guard<std::mutex> lock(tree.mutex());
    tree.restartLocked(tree.nodesLocked()[node], "test");
  }
  const std::wstring after = tree.pdoNameOf(node);
  EXPECT_NE(after, before);
  EXPECT_FALSE(objectOpens(*host, before));
  // hub2's function and hub0's below it are away.
  EXPECT_EQ(hubInterfaces(*host), 7u);
  host->clock().sleepMs(61000);
  EXPECT_EQ(hubInterfaces(*host), 9u);
  EXPECT_EQ(tree.pdoNameOf(node), after);
  EXPECT_TRUE(objectOpens(*host, after));
  EXPECT_EQ(tree.restarts().size(), 2u);  // with hub0's function below it
}

TEST(UsbTree, ReEnumeratedChipGetsNewObjects) {
  TempFolder folder;
  auto host = makeHost(folder, testing::familyBenchJson());
  UsbTree& tree = host->usbTree();
  const auto node = static_cast<std::uint32_t>(tree.findChipFunction("hub1", hub::Connection::Usb2));
  const std::wstring before = tree.pdoNameOf(node);
  {
    std::lock_guard<std::mutex> lock(host->hubBench().mutex());
    host->hubBench().hub("hub1")->powerOff();
    host->hubBench().hub("hub1")->powerOn(host->clock().performanceCounter());
  }
  EXPECT_NE(tree.pdoNameOf(node), before);
  EXPECT_TRUE(objectOpens(*host, tree.pdoNameOf(node)));
  EXPECT_EQ(tree.restarts().back().how, "re-enumeration");
}

TEST(UsbTree, HubDriverRefusesBuffersTooSmallForTheFixedPart) {
  TempFolder folder;
  auto host = makeHost(folder);
  SimHubIo& io = host->hubIo();
  std::wstring rootHub;
  {
    std::lock_guard<std::mutex> lock(host->usbTree().mutex());
    rootHub = host->usbTree().controllersLocked()[0].rootHubName;
  }
  const auto root = io.openHub(L"\\\\.\\" + rootHub, 0, 0);
  ASSERT_NE(root.handle, platform::kInvalidHandle);
  struct Case {
    std::uint32_t code;
    std::size_t size;
    bool ok;
  };
  const Case cases[] = {
      {platform::ioctl::kUsbGetNodeInformation, 75, false},
      {platform::ioctl::kUsbGetNodeInformation, 76, true},
      {platform::ioctl::kUsbGetNodeConnectionInformationEx, 34, false},
      {platform::ioctl::kUsbGetNodeConnectionInformationEx, 35, true},
      {platform::ioctl::kUsbGetNodeConnectionName, 9, false},
      {platform::ioctl::kUsbGetDescriptorFromNodeConnection, 11, false},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> buffer(c.size, 0);
    if (c.size >= 4) buffer[0] = 13;  // the port of hub2's USB 3.0 function
    EXPECT_EQ(io.hubIoctl(root.handle, c.code, buffer).ok, c.ok) << std::hex << c.code << " " << c.size;
  }
  std::vector<std::uint8_t> info(76, 0);
  ASSERT_TRUE(io.hubIoctl(root.handle, platform::ioctl::kUsbGetNodeInformation, info).ok);
  EXPECT_EQ(info[6], 20);
  io.closeHub(root.handle);
  EXPECT_EQ(io.hubIoctl(root.handle, platform::ioctl::kUsbGetNodeInformation, info).error, platform::err::kInvalidHandle);
}

TEST(UsbTree, BenchSectionErrorsNameThePlace) {
  const char* path = R"("path": "\\\\?\\PCI#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}")";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"colour": 1})", "usb/colour: unknown key"},
      {R"({"windows": "95"})", "usb/windows: expected"},
      {R"({"controllers": [{"ports": 4}]})", "usb/controllers/0: needs a path"},
      {std::string(R"({"controllers": [{)") + path + R"(, "ports": 4, "devices": [{"port": 5, "vid": "1", "pid": "1"}]}]})",
       "usb/controllers/0/devices/0/port: expected an integer from 1 to 4"},
      {std::string(R"({"controllers": [{)") + path +
           R"(, "devices": [{"port": 1, "vid": "1", "pid": "1"}, {"port": 1, "vid": "1", "pid": "2"}]}]})",
       "usb/controllers/0/devices/1/port: port used twice"},
      {std::string(R"({"controllers": [{)") + path + R"(, "devices": [{"port": 1, "chip": "nobody", "side": "usb3"}]}]})",
       "usb/controllers/0/devices/0/chip: no such hub"},
      {std::string(R"({"controllers": [{)") + path +
           R"(, "devices": [{"port": 1, "chip": "hub2", "side": "usb3"}, {"port": 2, "chip": "hub2", "side": "usb3"}]}]})",
       "usb/controllers/0/devices/1/chip: this hub function is placed twice"},
      {std::string(R"({"controllers": [{)") + path + R"(, "devices": [{"port": 1, "vid": "1", "pid": "1", "instance": "a#b"}]}]})",
       "usb/controllers/0/devices/0/instance"},
  };
  std::string error;
  auto hubs = hub::HubBench::create(hub::defaultHubBench(), std::nullopt, error);
  for (const auto& [section, expected] : cases) {
    const UsbLoad load = parseUsbSection(nlohmann::json::parse(section), *hubs);
    EXPECT_FALSE(load.config) << section;
    EXPECT_NE(load.error.find(expected), std::string::npos) << load.error;
  }
  // Eight hubs in a chain: the eighth is too deep even for a wrong tree.
  std::string chain = R"({"port": 1, "hub": true, "vid": "1", "pid": "1"})";
  for (int i = 0; i < 7; ++i) chain = R"({"port": 1, "hub": true, "vid": "1", "pid": "1", "devices": [)" + chain + "]}";
  const UsbLoad deep = parseUsbSection(
      nlohmann::json::parse(std::string(R"({"controllers": [{)") + path + R"(, "devices": [)" + chain + "]}]}"), *hubs);
  EXPECT_NE(deep.error.find("a hub deeper than tier 7"), std::string::npos) << deep.error;
  // A refused section refuses the bench.
  TempFolder folder;
  EXPECT_NE(makeHost(folder, R"({"usb": {"windows": "95"}})")->benchError().find("usb/windows"), std::string::npos);
}

TEST(UsbTree, RegistryContentAndWindowsVersion) {
  struct Case {
    const char* windows;
    std::uint32_t major;
    std::uint32_t minor;
    const wchar_t* build;
  };
  for (const Case& c : {Case{"7", 6, 1, L"7601"}, Case{"8.1", 6, 2, L"9600"}, Case{"11", 6, 2, L"22631"}}) {
    TempFolder folder;
    auto host = makeHost(folder, std::string(R"({"usb": {"windows": ")") + c.windows + R"("}})");
    EXPECT_EQ(host->system().identity().majorVersion, c.major);
    EXPECT_EQ(host->system().identity().minorVersion, c.minor);
    const auto build = host->registry().value(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber");
    ASSERT_TRUE(build);
    EXPECT_EQ(build->bytes, utf16leWithZero(c.build));
  }
  TempFolder folder;
  auto host = makeHost(folder, R"({"usb": {"upperFilters": ["ZeltFilter", "other"]}})");
  const auto filters = host->registry().value(kUsbClassKey, L"UpperFilters");
  ASSERT_TRUE(filters);
  EXPECT_EQ(filters->type, platform::regtype::kMultiSz);
  std::vector<std::uint8_t> expected = utf16leWithZero(L"ZeltFilter");
  const auto other = utf16leWithZero(L"other");
  expected.insert(expected.end(), other.begin(), other.end());
  expected.insert(expected.end(), {0, 0});
  EXPECT_EQ(filters->bytes, expected);
  UsbTree& tree = host->usbTree();
  const auto keys = suspendKeys(tree, tree.node(static_cast<std::uint32_t>(tree.findChipFunction("hub2", hub::Connection::Usb3))));
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].key, L"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2E8B&PID_0632\\HBX00002\\Device Parameters");
  for (const auto& k : keys) {
    const auto v = host->registry().value(k.key, k.value);
    ASSERT_TRUE(v) << hbx::toUtf8(k.key);
    EXPECT_EQ(v->bytes, (std::vector<std::uint8_t>{1, 0, 0, 0}));
  }
}

TEST(UsbTree, DeviceConsoleRestartsByHardwareId) {
  TempFolder folder;
  auto host = makeHost(folder);
  const std::wstring devcon = L"C:\\HBX\\devconAMD64.exe";
  platform::ProcessPort& processes = host->processes();
  EXPECT_FALSE(processes.shellExecuteAndWait(devcon, L"Restart \"USB\\VID_2E8B&PID_0632\"", 1000).started);
  std::ofstream(host->hostPath(devcon)) << "MZ";
  const auto other = processes.shellExecuteAndWait(devcon, L"Remove USB\\VID_2E8B&PID_0632", 1000);
  EXPECT_EQ(other.exitCode, 2u);
  // An id that names no device, and one split in two, restart nothing.
  processes.shellExecuteAndWait(devcon, L"Restart \"USB\\VID_2E8B&PID_0632 extra\"", 1000);
  processes.shellExecuteAndWait(devcon, L"Restart USB\\VID_2E8B&PID_0632 extra", 1000);
  EXPECT_TRUE(host->usbTree().restarts().empty());
  const auto launch = processes.shellExecuteAndWait(devcon, L"Restart \"usb\\vid_2e8b&pid_0632&rev_0100\"", 1000);
  EXPECT_TRUE(launch.started);
  EXPECT_EQ(launch.exitCode, 0u);
  EXPECT_EQ(host->usbTree().restarts().size(), 2u);  // hub2's USB 3.0 function and hub0's below it
  EXPECT_FALSE(processes.shellExecuteAndWait(L"C:\\HBX\\other.exe", L"", 1000).started);
}

}  // namespace
}  // namespace hbx::sim::usb
