// The questions discovery asks the hub driver, on the built-in USB tree and
// on small benches with fault switches.
#include "tests/discovery/discovery_fixture.h"

namespace hbx::testing {
namespace {

using usblayout::kConnectionStatus;
using usblayout::kDeviceDescriptor;
using usblayout::kDeviceIsHub;
using usblayout::kSpeed;

const std::wstring kHub2Usb3Name = L"USB#VID_2E8B&PID_0632#HBX00002#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

// One controller whose root hub has a device (given as JSON) on port 1.
std::string benchWithDevice(const std::string& device) {
  return R"({"usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_8086&DEV_A36D#3&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
     "description": "USB Host", "ports": 4, "devices": [)" + device + "]}]}}";
}

TEST_F(DiscoveryTest, RootHubNameAndPortCountsOfEveryController) {
  start();
  for (std::size_t controller : {0u, 1u}) {
    const platform::OsHandle root = openRootHub(controller);
    std::uint32_t portCount = 0;
    std::uint32_t error = 0;
    EXPECT_TRUE(utility->bGetHubPortCount(root, portCount, error));
    EXPECT_EQ(portCount, controller == 0 ? 20u : 8u);
    EXPECT_EQ(utility->m_strRootHubName.find(L"USB#ROOT_HUB30#"), 0u);
    ports->hubIo.closeHub(root);
  }
}

TEST_F(DiscoveryTest, UnreadableRootHubNameKeepsTheOldName) {
  start(R"({"usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_1#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
            "rootHubNameFails": true}]}})");
  utility->m_strRootHubName = L"before";
  const platform::OsHandle hc = openHub(L"\\\\?\\PCI#VEN_1#1#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}");
  EXPECT_FALSE(utility->GetRootHubName(hc));
  ports->hubIo.closeHub(hc);
  EXPECT_EQ(utility->m_strRootHubName, L"before");
  EXPECT_NE(debugLog().find("CHubUtility::GetRootHubName:"), std::string::npos);
  EXPECT_NE(debugLog().find("GetRootHubName: Get ActualLength Fail , dwErrorCode 31"), std::string::npos);
}

TEST_F(DiscoveryTest, ConnectionInformationFromBothRequestForms) {
  struct Case {
    const char* faults;
    bool ok;
    std::uint8_t speed;
  };
  for (const Case& c : {Case{"{}", true, 3}, Case{R"({"exFails": true})", true, 0},
                        Case{R"({"connectionFails": true})", false, 0}}) {
    SCOPED_TRACE(c.faults);
    start(benchWithDevice(std::string(R"({"port": 2, "hub": true, "vid": "2E8B", "pid": "1234", "bcdUSB": "0310", "faults": )") +
                          c.faults + "}"));
    const platform::OsHandle root = openRootHub();
    std::vector<std::uint8_t> info;
    EXPECT_EQ(utility->bGetConnectionInformation(root, 2, info), c.ok);
    if (c.ok) {
      ASSERT_EQ(info.size(), usblayout::kConnectionInfoExBytes);
      const UsbDeviceDescriptor d = UsbDeviceDescriptor::parse(info, kDeviceDescriptor);
      EXPECT_EQ(d.idVendor, 0x2E8B);
      EXPECT_EQ(d.idProduct, 0x1234);
      EXPECT_EQ(d.bcdUSB, 0x0310);
      EXPECT_EQ(info[kDeviceIsHub], 1);
      EXPECT_EQ(usblayout::read32(info, kConnectionStatus), 1u);
      EXPECT_EQ(info[kSpeed], c.speed);
    }
    // An empty port is answered, with nothing connected.
    EXPECT_TRUE(utility->bGetConnectionInformation(root, 1, info));
    EXPECT_EQ(usblayout::read32(info, kConnectionStatus), 0u);
    ports->hubIo.closeHub(root);
  }
}

TEST_F(DiscoveryTest, DescriptorTextsAndTheStringIndexRule) {
  start(benchWithDevice(R"({"port": 1, "vid": "2E8B", "pid": "1234", "bcdUSB": "0300", "bcdDevice": "0105",
                            "manufacturer": "Maker", "product": "Gadget", "serial": "SN42"})"));
  const platform::OsHandle root = openRootHub();
  std::vector<std::uint8_t> info;
  ASSERT_TRUE(utility->bGetConnectionInformation(root, 1, info));
  UsbDeviceDescriptor d = UsbDeviceDescriptor::parse(info, kDeviceDescriptor);
  // The device numbers its strings 1, 2, 3: the manufacturer text is read at
  // the index the descriptor gives; product and serial number only at 3 and 1.
  utility->strIManufacture = L"previous device";
  utility->strIProduct = L"previous product";
  utility->GetDeviceDescriptor(root, 1, 0, d);
  EXPECT_EQ(utility->strVID, L"2e8b");
  EXPECT_EQ(utility->strPID, L"1234");
  EXPECT_EQ(utility->strbcdUSB, L"0300");
  EXPECT_EQ(utility->strBcdDevice, L"0105");
  EXPECT_EQ(utility->strIManufacture, L"Maker");
  EXPECT_EQ(utility->strIProduct, L"previous product");
  // Indices 2, 3 and 1 are read, whatever strings they are.
  d.iManufacturer = 2;
  d.iProduct = 3;
  d.iSerialNumber = 1;
  utility->GetDeviceDescriptor(root, 1, 0, d);
  EXPECT_EQ(utility->strIManufacture, L"Gadget");
  EXPECT_EQ(utility->strIProduct, L"SN42");
  EXPECT_EQ(utility->strISerialNumber, L"Maker");
  // An empty port fails the language step; the string step is not sent.
  std::uint16_t language = 7;
  EXPECT_EQ(utility->GetStringDescriptor(root, 3, language, 1), L"");
  EXPECT_EQ(language, 7);
  EXPECT_NE(debugLog().find("Get uspLanguageID Fail , dwErrorCode 31"), std::string::npos);
  EXPECT_EQ(debugLog().find("IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION Fail"), std::string::npos);
  ports->hubIo.closeHub(root);
}

TEST_F(DiscoveryTest, ConnectionNameRetriesWithTheirWaits) {
  struct Case {
    const char* faults;
    bool named;
    std::vector<std::uint32_t> waits;
  };
  const std::vector<Case> cases = {
      {"{}", true, {}},
      {R"({"nameShort": 1})", true, {500, 400}},
      {R"({"nameSecondFails": 1})", true, {200, 400}},
      {R"({"nameFails": 2})", true, {2500, 400, 2500, 400}},
      {R"({"nameFails": 3})", false, {2500, 400, 2500, 400, 2500, 400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.faults);
    start(benchWithDevice(std::string(R"({"port": 2, "hub": true, "vid": "2E8B", "pid": "1234", "instance": "X1",
                                         "faults": )") + c.faults + "}"));
    const platform::OsHandle root = openRootHub();
    clock->takeSleeps();
    const std::wstring name = utility->strGetExternalHubName(root, 2);
    EXPECT_EQ(name, c.named ? L"USB#VID_2E8B&PID_1234#X1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}" : L"");
    EXPECT_EQ(clock->takeSleeps(), c.waits);
    ports->hubIo.closeHub(root);
  }
}

TEST_F(DiscoveryTest, PortsWithoutAHubNameNothing) {
  start();
  const platform::OsHandle root = openRootHub();
  clock->takeSleeps();
  EXPECT_EQ(utility->strGetExternalHubName(root, 13), kHub2Usb3Name);
  // A mouse and an empty port answer a length of 10: three attempts.
  for (std::uint8_t port : {5, 6}) {
    EXPECT_EQ(utility->strGetExternalHubName(root, port), L"");
    EXPECT_EQ(clock->takeSleeps(), (std::vector<std::uint32_t>{500, 400, 500, 400, 500, 400}));
  }
  EXPECT_EQ(utility->strGetExternalHubName(platform::kNullHandle, 13), L"");
  ports->hubIo.closeHub(root);
}

TEST_F(DiscoveryTest, PortStatusMaskQuirks) {
  start(benchWithDevice(R"({"port": 1, "hub": true, "vid": "1A40", "pid": "0101", "ports": 7, "instance": "H7",
      "devices": [{"port": 1, "vid": "1", "pid": "1"}, {"port": 3, "vid": "1", "pid": "2"},
                  {"port": 6, "vid": "1", "pid": "3"}]})"));
  const std::wstring hub = L"USB#VID_1A40&PID_0101#H7#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
  EXPECT_EQ(utility->GetPortStatus(hub, 0xFF), 5u);  // port 6 sets bit 0 like port 1
  EXPECT_EQ(utility->GetPortStatus(hub, 0x20), 1u);
  const std::string before = debugLog();
  EXPECT_EQ(utility->GetPortStatus(hub, 0x01), 1u);
  const std::string lines = debugLog().substr(before.size());
  for (int port = 2; port <= 7; ++port) {
    EXPECT_NE(lines.find("This Port[" + std::to_string(port) + "] is disabel, do not check[1]"), std::string::npos);
  }
  EXPECT_EQ(utility->GetPortStatus(L"USB#NO_SUCH_HUB#{f18a0e88-c30c-11d0-8815-00a0c906bed8}", 0xFF), 0u);
  EXPECT_NE(debugLog().find("GetPortData: IOCTL_USB_GET_NODE_INFORMATION (ConnectedHubHandle) Fail , dwErrorCode 2"),
            std::string::npos);
}

TEST_F(DiscoveryTest, HubWhoseNodeInformationFailsHasNothingConnected) {
  start(benchWithDevice(R"({"port": 1, "hub": true, "vid": "1A40", "pid": "0101", "instance": "H8",
      "faults": {"nodeInfoFails": true}, "devices": [{"port": 1, "vid": "1", "pid": "1"}]})"));
  EXPECT_EQ(utility->GetPortStatus(L"USB#VID_1A40&PID_0101#H8#{f18a0e88-c30c-11d0-8815-00a0c906bed8}", 0xFF), 0u);
}

TEST(McciNameRewrite, Cases) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"{00000010-A7F3-4C6B-9E21-00003A7F0001}", L"{0000000f_a7f3_4c6b_9e21_00003a7f0001}"},
      {L"{00000000-ab-CD}", L"{ffffffff_ab_cd}"},
      {L"{0000ABC0-x}", L"{0000abbf_x}"},
      {L"{00000010-A7F3", L"{00000010-A7F3"},  // no closing brace
      {L"USB#VID_2E8B&PID_0632#X#{f18a0e88-c30c-11d0-8815-00a0c906bed8}",
       L"USB#VID_2E8B&PID_0632#X#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"},
      {L"{1}", L"{1}"},  // too short to hold the group
  };
  sim::SimHostOptions options;
  options.timeScale = 0.001;
  sim::SimHost host(options);
  CHubUtility utility(host.ports());
  for (const Case& c : cases) EXPECT_EQ(utility.strChangeDeviceNameForMCCI(c.in), c.out) << toUtf8(c.in);
}

}  // namespace
}  // namespace hbx::testing
