// The hubs' selective-suspend setting: the key and value chosen for each
// operating system and driver stack, and the restore of what was found.
#include "sim/usb/usb_host.h"
#include "tests/discovery/discovery_fixture.h"

namespace hbx::testing {
namespace {

const std::wstring kEnum = L"SYSTEM\\CurrentControlSet\\Enum\\";
const std::wstring kClassKey = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}\\";

// One controller with hub2's USB 3.0 function on port 1.
std::string oneHubBench(const std::string& windows, const std::string& stack, const std::string& description,
                        const std::string& instance, const std::string& suspend = "1", const std::string& os = "") {
  return R"({)" + os + R"("usb": {"windows": ")" + windows + R"(", "controllers": [{
      "path": "\\\\?\\PCI#VEN_3A7F&DEV_1#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}", "stack": ")" + stack +
         R"(", "description": ")" + description + R"(", "devices": [{"port": 1, "chip": "hub2", "side": "usb3",
      "instance": ")" + instance + R"(", "selectiveSuspend": )" + suspend + "}]}]}}";
}

class PowerSettingsTest : public DiscoveryTest {
 protected:
  // The hub as the walk describes it.
  HubInfo hubInfo(const std::string& description, const char* chip = "hub2") {
    const std::uint32_t node = function(chip);
    HubInfo hub;
    hub.strConnectedHubName = utility->strChangeDeviceNameForMCCI(tree().connectionNameOf(node));
    hub.strVID = L"2e8b";
    hub.strPID = L"0632";
    hub.strbcdUSB = L"0300";
    const std::wstring desc = fromUtf8(description);
    std::copy(desc.begin(), desc.end(), hub.strHostDesc);
    return hub;
  }
  std::optional<std::uint32_t> dword(const std::wstring& key, const std::wstring& name) {
    const auto v = host->registry().value(key, name);
    if (!v || v->bytes.size() != 4) return std::nullopt;
    return static_cast<std::uint32_t>(v->bytes[0] | (v->bytes[1] << 8) | (v->bytes[2] << 16) | (v->bytes[3] << 24));
  }
  CZeltHubDev& records(std::uint8_t current) {
    CZeltHubDev& dev = *utility->m_ZeltUSBLib.ensureHubDev();
    dev.m_DriverNum = current;
    return dev;
  }
};

TEST_F(PowerSettingsTest, KeyAndValueForEachSystemAndDriverStack) {
  struct Case {
    const char* windows;
    const char* stack;
    const char* description;
    const char* instance;
    std::wstring key;
    const wchar_t* value;
  };
  const std::wstring device = L"\\VID_2E8B&PID_0632\\";
  const Case cases[] = {
      {"10", "inbox", "Standard Enhanced PCI to USB Host Controller", "HBX1",
       kEnum + L"USB" + device + L"HBX1\\Device Parameters", L"EnableSelectiveSuspend"},
      {"10", "inbox", "Enhanced Host Controller", "HBX1", kEnum + L"USB" + device + L"HBX1\\Device Parameters\\WDF",
       L"IdleInWorkingState"},
      {"11", "inbox", "Corvane USB 3.1 eXtensible Host Controller", "hbx1",
       kEnum + L"USB" + device + L"HBX1\\Device Parameters\\WDF", L"IdleInWorkingState"},
      {"8", "inbox", "Standard Enhanced PCI to USB Host Controller", "HBX1",
       kEnum + L"USB" + device + L"HBX1\\Device Parameters", L"EnableSelectiveSuspend"},
      {"8.1", "mcci", "Corvane USB 3.1 eXtensible Host Controller", "HBX1", kClassKey + L"0016",
       L"SelectiveSuspendEnabled"},
      {"7", "inbox", "Standard Enhanced PCI to USB Host Controller", "HBX1",
       kEnum + L"USB" + device + L"HBX1\\Device Parameters", L"EnableSelectiveSuspend"},
      {"7", "intel", "Intel USB 3.0 eXtensible Host Controller", "HBX1",
       kEnum + L"IUSB3" + device + L"HBX1\\Device Parameters", L"EnableSelectiveSuspend"},
      {"7", "amd", "AMD USB 3.0 Host Controller", "6&1a2b&0&3",
       kEnum + L"USB" + device + L"6&1A2B&0&3\\Device Parameters", L"EnableSelectiveSuspend"},
      {"7", "amd", "AMD USB 3.0 Host Controller", "HBX1", kEnum + L"AMDUSB30" + device + L"HBX1\\Device Parameters",
       L"EnableSelectiveSuspend"},
      {"7", "renesas", "Renesas USB 3.0 Host Controller", "HBX1",
       kEnum + L"RENESAS_USB3" + device + L"HBX1\\Device Parameters", L"EnableSelectiveSuspend"},
      {"7", "nec", "NEC USB 3.0 Host Controller", "HBX1", kEnum + L"NUSB3" + device + L"HBX1\\Device Parameters",
       L"EnableSelectiveSuspend"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.windows) + " " + c.stack + " " + c.description + " " + c.instance);
    start(oneHubBench(c.windows, c.stack, c.description, c.instance));
    CZeltHubDev& dev = records(2);
    EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(hubInfo(c.description), 0));
    EXPECT_EQ(dword(c.key, c.value), 0u);
    EXPECT_EQ(dev.m_DriverInfo[2].bPowerSettingChanged, 1);
    // No other suspend value of the hub was touched.
    int changed = 0;
    for (const auto& k : sim::usb::suspendKeys(tree(), tree().node(function("hub2")))) {
      changed += dword(k.key, k.value) == 0u ? 1 : 0;
    }
    EXPECT_EQ(changed, 1);
  }
}

TEST_F(PowerSettingsTest, HubBelowTheMakersControllerOnWindows7IsLeftAlone) {
  start(oneHubBench("7", "inbox", "Corvane USB 3.1 eXtensible Host Controller", "HBX1"));
  HubInfo hub = hubInfo("Corvane");
  hub.bCorvaneHost = 1;
  EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(hub, 0));
  for (const auto& k : sim::usb::suspendKeys(tree(), tree().node(function("hub2")))) {
    EXPECT_EQ(dword(k.key, k.value), 1u) << toUtf8(k.key);
  }
}

TEST_F(PowerSettingsTest, WritesOnlyWhatDiffersAndCreatesMissingValues) {
  const std::wstring key = kEnum + L"USB\\VID_2E8B&PID_0632\\HBX1\\Device Parameters";
  struct Case {
    const char* suspend;
    std::uint8_t flag;
  };
  for (const Case& c : {Case{"0", 0}, Case{"1", 1}, Case{"null", 1}}) {
    SCOPED_TRACE(c.suspend);
    start(oneHubBench("10", "inbox", "Standard Enhanced PCI to USB Host Controller", "HBX1", c.suspend));
    CZeltHubDev& dev = records(0);
    EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(hubInfo("Standard Enhanced"), 0));
    EXPECT_EQ(dword(key, L"EnableSelectiveSuspend"), 0u);
    EXPECT_EQ(dev.m_DriverInfo[0].bPowerSettingChanged, c.flag);
  }
}

TEST_F(PowerSettingsTest, NoHubInterfaceOrNoKeyWritesNothing) {
  start(oneHubBench("10", "inbox", "Standard Enhanced PCI to USB Host Controller", "HBX1"));
  HubInfo absent = hubInfo("Standard Enhanced");
  absent.strConnectedHubName = L"USB#VID_1234&PID_5678#NOPE#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
  EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(absent, 0));
  // A restore whose key does not exist is skipped with a warning.
  absent.strInterfacePath = absent.strConnectedHubName;
  EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(absent, 1));
  EXPECT_NE(debugLog().find("RegCreateKeyEx fail, szSubKeyHub3=System\\CurrentControlSet\\Enum\\USB\\VID_2e8b&PID_0632\\NOPE"),
            std::string::npos);
  // Logged as the method that changes the setting, whichever step wrote it.
  EXPECT_NE(debugLog().find("CHubUtility::bSetHubPowerManagementByRegistry:"), std::string::npos);
  EXPECT_EQ(debugLog().find("CHubUtility::changeSuspendSetting"), std::string::npos);
}

TEST_F(PowerSettingsTest, RestorePutsBackTheValueFound) {
  const std::wstring key = kEnum + L"USB\\VID_2E8B&PID_0632\\HBX1\\Device Parameters";
  struct Case {
    const char* before;
    std::optional<std::uint32_t> after;
  };
  // A user who had selective suspend off keeps it off; a value that was not
  // there before the run is taken away again. Also when a run was killed
  // after its walk: the next run's walk finds the value that run wrote and
  // what the user had only in the value kept beside it.
  for (const bool killed : {false, true})
  for (const Case& c : {Case{"1", 1}, Case{"0", 0}, Case{"null", std::nullopt}}) {
    SCOPED_TRACE(std::string(c.before) + (killed ? ", after a killed run" : ""));
    start(oneHubBench("10", "inbox", "Standard Enhanced PCI to USB Host Controller", "HBX1", c.before));
    HubInfo hub = hubInfo("Standard Enhanced");
    // Two walks: the second finds the value the first wrote.
    EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(hub, 0));
    if (killed) utility = std::make_unique<CHubUtility>(*ports);
    EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(hub, 0));
    EXPECT_EQ(dword(key, L"EnableSelectiveSuspend"), 0u);
    // What the user had is kept beside the setting while the run lasts...
    const wchar_t* kept = L"EnableSelectiveSuspend (before HBX763xFW update)";
    EXPECT_EQ(dword(key, kept), c.after.value_or(0xFFFFu));
    CHubUtility::HubInterfacePaths paths;
    ASSERT_EQ(utility->ucGetHubInterfaces(hub, paths, false), 1);
    hub.strInterfacePath = paths[0];
    EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(hub, 1));
    EXPECT_EQ(dword(key, L"EnableSelectiveSuspend"), c.after);
    // ...and goes once the restore has put it back.
    EXPECT_FALSE(host->registry().value(key, kept).has_value());
  }
}

TEST_F(PowerSettingsTest, RestoreUnderTheMakersDriverPutsBackEveryHubsOwnValue) {
  // Two hubs under the maker's own USB 3.0 driver: each has its own class key.
  start(R"({"usb": {"windows": "8.1", "controllers": [{
      "path": "\\\\?\\PCI#VEN_3A7F&DEV_1#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}", "stack": "mcci",
      "description": "Corvane USB 3.1 eXtensible Host Controller", "devices": [
        {"port": 1, "chip": "hub2", "side": "usb3", "instance": "HBX2", "selectiveSuspend": 1},
        {"port": 2, "chip": "hub1", "side": "usb3", "instance": "HBX1", "selectiveSuspend": 1}]}]}})");
  const char* description = "Corvane USB 3.1 eXtensible Host Controller";
  std::vector<HubInfo> hubs = {hubInfo(description, "hub2"), hubInfo(description, "hub1")};
  for (HubInfo& hub : hubs) {
    records(0);
    EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(hub, 0));
  }
  for (HubInfo& hub : hubs) {
    CHubUtility::HubInterfacePaths paths;
    ASSERT_EQ(utility->ucGetHubInterfaces(hub, paths, false), 1);
    hub.strInterfacePath = paths[0];
  }
  // The last listing was hub1's; the restore of hub2 still finds hub2's key.
  for (const HubInfo& hub : hubs) EXPECT_TRUE(utility->bSetHubPowerManagementByRegistry(hub, 1));
  for (const char* chip : {"hub2", "hub1"}) {
    for (const auto& k : sim::usb::suspendKeys(tree(), tree().node(function(chip)))) {
      const auto value = dword(k.key, k.value);
      if (value) {
        EXPECT_EQ(*value, 1u) << chip << " " << toUtf8(k.key);
      }
    }
  }
}

}  // namespace
}  // namespace hbx::testing
