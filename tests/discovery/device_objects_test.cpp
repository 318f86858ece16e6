// Filter-driver device objects, hub interfaces and hub restarts.
#include <fstream>

#include "hub/discovery/command_line_argument.h"
#include "sim/usb/usb_host.h"
#include "tests/discovery/discovery_fixture.h"

namespace hbx::testing {
namespace {

const std::wstring kHubGuid = L"{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
const std::wstring kHub2Usb3Name = L"USB#VID_2E8B&PID_0632#HBX00002#" + kHubGuid;

DriverInfo recordFor(const std::wstring& driverName) {
  DriverInfo info;
  vClearDriverInfo(info);
  vSetField(info.DriverName, driverName);
  return info;
}

HubInfo hubNamed(const std::wstring& name) {
  HubInfo hub;
  hub.strConnectedHubName = name;
  return hub;
}

class DeviceObjectTest : public DiscoveryTest {
 protected:
  bool objectOpens(const std::wstring& objectName) {
    const auto opened = ports->deviceIo.openDevice(objectName, 0, 0, platform::fileflag::kOverlapped);
    if (opened.handle == platform::kInvalidHandle) return false;
    ports->deviceIo.closeHandle(opened.handle);
    return true;
  }
  std::wstring objectOf(std::uint32_t node) {
    std::wstring pdo = tree().pdoNameOf(node);
    pdo = pdo.substr(pdo.find_last_of(L'\\') + 1);
    std::replace(pdo.begin(), pdo.end(), L'-', L'_');
    return L"\\\\.\\" + pdo + L"0001";
  }
  void placeDevCon() {
    const auto file = host->hostPath(utility->strProgramFolder() + L"\\devconAMD64.exe");
    std::ofstream(file) << "MZ";
  }
};

TEST_F(DeviceObjectTest, DeviceObjectOfAHubByItsName) {
  start();
  struct Case {
    std::wstring driverName;
    int result;
  };
  const Case cases[] = {
      {kHub2Usb3Name, 0},
      {L"\\\\?\\usb#vid_2e8b&pid_0632#hbx00002#" + kHubGuid, 0},  // other prefix, other case
      {L"USBPDO_14", 0},                                           // the physical-device-object form
      {L"usbpdo_14", 0},
      {L"USB#VID_2E8B&PID_9999#NONE#" + kHubGuid, -5},
  };
  for (const Case& c : cases) {
    DriverInfo info = recordFor(c.driverName);
    EXPECT_EQ(utility->GetObjecNameFromDriverName(&info, true, false), c.result) << toUtf8(c.driverName);
    if (c.result == 0) {
      EXPECT_STREQ(info.DeviceObjectName, L"\\\\.\\USBPDO_140001");
    }
  }
  EXPECT_TRUE(objectOpens(L"\\\\.\\USBPDO_140001"));
  EXPECT_EQ(clock->takeSleeps(), std::vector<std::uint32_t>{});
}

TEST_F(DeviceObjectTest, NoHubPresentGivesMinus4OrTimesOutAfterRescans) {
  start(R"({"usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_1#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}"}]}})");
  DriverInfo info = recordFor(kHub2Usb3Name);
  EXPECT_EQ(utility->GetObjecNameFromDriverName(&info, true, false), -4);
  EXPECT_EQ(clock->takeSleeps(), std::vector<std::uint32_t>{});
  EXPECT_EQ(utility->GetObjecNameFromDriverName(&info, true, true), -9);
  // Rescans every 5 s until the first exhausted scan more than 20 s in.
  EXPECT_EQ(clock->takeSleeps(), std::vector<std::uint32_t>(5, 5000));
  EXPECT_NE(debugLog().find("Time Out, fsdif= : 25.0"), std::string::npos);
  EXPECT_NE(debugLog().find("Can not find Target Hubs[" + toUtf8(kHub2Usb3Name) + "] Retry"), std::string::npos);
}

TEST_F(DeviceObjectTest, ListOrDetailFailuresGiveMinus1) {
  start(R"({"usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_1#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
      "devices": [{"port": 1, "hub": true, "vid": "1A40", "pid": "0101", "faults": {"detailFails": true}}]}]}})");
  DriverInfo info = recordFor(kHub2Usb3Name);
  EXPECT_EQ(utility->GetObjecNameFromDriverName(&info, true, false), -1);
  EXPECT_NE(debugLog().find("Get Device Interface Detail failed"), std::string::npos);
  host->setupApi().setClassDevsFail(true);
  EXPECT_EQ(utility->GetObjecNameFromDriverName(&info, true, false), -1);
  EXPECT_NE(debugLog().find("Can not found any Hubs"), std::string::npos);
}

TEST_F(DeviceObjectTest, McciNamesOnWindows8AndLater) {
  for (const char* windows : {"8", "10"}) {
    SCOPED_TRACE(windows);
    start(std::string(R"({"usb": {"windows": ")") + windows + R"(", "controllers": [{
        "path": "\\\\?\\PCI#VEN_3A7F&DEV_1#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}", "stack": "mcci",
        "devices": [{"port": 1, "chip": "hub2", "side": "usb3"}]}]}})");
    const std::uint32_t node = function("hub2");
    const std::wstring connection = tree().connectionNameOf(node);
    ASSERT_EQ(connection.front(), L'{');
    DriverInfo info = recordFor(utility->strChangeDeviceNameForMCCI(connection));
    // Windows 8 looks the name up; later systems take it as it is.
    host->setupApi().setClassDevsFail(std::string(windows) != "8");
    EXPECT_EQ(utility->GetObjecNameFromDriverName(&info, true, false), 0);
    EXPECT_EQ(std::wstring(info.DeviceObjectName), L"\\\\.\\" + std::wstring(info.DriverName) + L"0001");
    EXPECT_TRUE(objectOpens(info.DeviceObjectName));
    // The hub-interface listing finds the hub by the same name.
    CHubUtility::HubInterfacePaths paths;
    EXPECT_EQ(utility->ucGetHubInterfaces(hubNamed(info.DriverName), paths, false), std::string(windows) == "8" ? 1 : 0);
    host->setupApi().setClassDevsFail(false);
  }
}

TEST_F(DeviceObjectTest, ClassInstallerRestartGivesANewDeviceObject) {
  start(R"({"os": {"wow64": false}, "usb": {"restartMs": 7000}})");
  const std::uint32_t node = function("hub2");
  const std::wstring before = objectOf(node);
  CHubUtility::HubInterfacePaths paths;
  ASSERT_EQ(utility->ucGetHubInterfaces(hubNamed(kHub2Usb3Name), paths, true), 1);
  EXPECT_EQ(paths[0], L"USB#VID_2E8B&PID_0632#HBX00002#{F18A0E88-C30C-11D0-8815-00A0C906BED8}");
  EXPECT_EQ(utility->m_strHubDriverKey[0], wformat(L"%04u", 0x10 + node));
  EXPECT_EQ(clock->takeSleeps(), std::vector<std::uint32_t>{500});
  ASSERT_EQ(tree().restarts().size(), 2u);  // with hub0's function below it
  EXPECT_EQ(tree().restarts()[0].how, "class installer");
  const std::wstring after = objectOf(node);
  EXPECT_NE(after, before);
  EXPECT_FALSE(objectOpens(before));
  // The caller waits for the hub to come back under its new object.
  DriverInfo info = recordFor(kHub2Usb3Name);
  EXPECT_EQ(utility->GetObjecNameFromDriverName(&info, true, true), 0);
  EXPECT_EQ(std::wstring(info.DeviceObjectName), after);
  EXPECT_TRUE(objectOpens(after));
  for (std::uint32_t wait : clock->takeSleeps()) EXPECT_EQ(wait, 5000u);
}

// The 32-bit build under WOW64 and the 64-bit build alike.
TEST_F(DeviceObjectTest, DeviceConsoleRestartOn64BitWindows) {
  for (const char* bench : {R"({"os": {"wow64": true}})", R"({"os": {"program": "x64"}})"}) {
    SCOPED_TRACE(bench);
    start(bench);
    std::filesystem::remove(host->hostPath(utility->strProgramFolder() + L"\\devconAMD64.exe"));
    const std::uint32_t node = function("hub2");
    const std::wstring before = objectOf(node);
    CHubUtility::HubInterfacePaths paths;
    // Without the device console nothing restarts; the waits are the same.
    EXPECT_EQ(utility->ucGetHubInterfaces(hubNamed(kHub2Usb3Name), paths, true), 1);
    EXPECT_EQ(clock->takeSleeps(), (std::vector<std::uint32_t>{500, 500}));
    EXPECT_TRUE(tree().restarts().empty());
    placeDevCon();
    EXPECT_EQ(utility->ucGetHubInterfaces(hubNamed(kHub2Usb3Name), paths, true), 1);
    ASSERT_EQ(tree().restarts().size(), 2u);  // with hub0's function below it
    EXPECT_EQ(tree().restarts()[0].how, "device console");
    EXPECT_EQ(tree().restarts()[0].node, node);
    EXPECT_NE(objectOf(node), before);
    EXPECT_NE(debugLog().find("Trigger Device!!!!!Get Hub ID Number, strDevConParam[USB\\VID_2E8B&PID_0632&REV_0100]"),
              std::string::npos);
  }
}

TEST_F(DeviceObjectTest, StateChangeFailsWhenOnlyTheSecondPassFails) {
  start(R"({"os": {"wow64": false}, "usb": {"controllers": [{
      "path": "\\\\?\\PCI#VEN_1#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
      "devices": [{"port": 1, "hub": true, "vid": "1A40", "pid": "0101", "instance": "H1",
                   "faults": {"installerFailsOnCall": 2}}]}]}})");
  const platform::OsHandle list = ports->setupApi.getClassDevs(platform::kGuidDevinterfaceUsbHub);
  platform::DeviceInterfaceInfo item;
  ASSERT_TRUE(ports->setupApi.enumDeviceInterface(list, platform::kGuidDevinterfaceUsbHub, 0, item));
  EXPECT_FALSE(utility->bChangeDeviceStatus(list, item.device, platform::dics::kPropChange));
  ports->setupApi.destroyList(list);
  EXPECT_NE(debugLog().find("SetupDiCallClassInstaller Fail , dwErrorCode 31"), std::string::npos);
  EXPECT_EQ(debugLog().find("SetupDiSetClassInstallParams Fail"), std::string::npos);
  EXPECT_EQ(tree().restarts().size(), 1u);  // the first pass restarted it
}

TEST_F(DeviceObjectTest, EmptyHubNameTakesEveryHubInterface) {
  start();
  CHubUtility::HubInterfacePaths paths;
  // hub0, hub1 and hub2 with both functions, the 8087 hub's two, hub3's USB 2.0 one.
  EXPECT_EQ(utility->ucGetHubInterfaces(hubNamed(L""), paths, false), 9);
  EXPECT_EQ(utility->ucGetHubInterfaces(hubNamed(L"USB#VID_8087"), paths, false), 2);
}

TEST(DeviceConsoleArgument, AHardwareIdStaysOneArgument) {
  const wchar_t* ids[] = {
      L"USB\\VID_2E8B&PID_0632&REV_0100",
      L"USB\\VID 2E8B",
      L"x\" /r \"y",
      L"ends with \\",
      L"a\\\"b",
      L"\"",
      L"",
  };
  for (const wchar_t* id : ids) {
    const auto args = sim::usb::splitCommandLine(L"Restart " + quoteCommandLineArgument(id));
    ASSERT_EQ(args.size(), 2u) << toUtf8(id);
    EXPECT_EQ(args[1], id);
  }
}

}  // namespace
}  // namespace hbx::testing
