// The simulated host's GetLastError: the program's ports set it to the error
// of the call that failed, per thread, and leave it when a call succeeds.
#include "sim/last_error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/handles.h"
#include "sim/sim_host.h"

namespace hbx::sim {
namespace {

using namespace platform;

class LastErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ec;
    std::filesystem::create_directories(host.driveC() / "Tools", ec);
    std::ofstream(host.driveC() / "Tools" / "fw.bin") << "x";
    setThreadLastError(0);
  }
  SimHost host{SimHostOptions{}};
  Ports ports = host.ports();
};

TEST_F(LastErrorTest, FailedCallsReportTheirWindowsError) {
  struct Case {
    const char* call;
    std::function<void(Ports&)> fail;
    std::uint32_t error;
  };
  const std::vector<Case> cases{
      {"CreateFileW of a missing file",
       [](Ports& p) {
         p.files.createFile(L"C:\\Tools\\none.bin", access::kGenericRead, 0, creation::kOpenExisting, 0);
       },
       2},
      {"CreateFileW in a missing folder",
       [](Ports& p) {
         p.files.createFile(L"C:\\Nowhere\\a.bin", access::kGenericWrite, 0, creation::kCreateAlways, 0);
       },
       3},
      {"CreateFileW of a folder",
       [](Ports& p) { p.files.createFile(L"C:\\Tools", access::kGenericRead, 0, creation::kOpenExisting, 0); }, 5},
      {"ReadFile on a closed handle",
       [](Ports& p) {
         std::uint8_t b = 0;
         p.files.readFile(0x7777, &b, 1);
       },
       6},
      {"CreateFileW of a file held unshared",
       [](Ports& p) {
         const FileHandle held(
             p.files,
             p.files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, 0, creation::kOpenExisting, 0).handle);
         p.files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, share::kRead, creation::kOpenExisting, 0);
       },
       32},
      {"SetupDiGetDeviceRegistryPropertyW into a short buffer",
       [](Ports& p) {
         const DeviceInfoList list(p.setupApi, p.setupApi.getClassDevs(kGuidDevinterfaceUsbHub));
         DeviceInterfaceInfo info;
         p.setupApi.enumDeviceInterface(list.get(), kGuidDevinterfaceUsbHub, 0, info);
         p.setupApi.deviceRegistryProperty(list.get(), info.device, spdrp::kHardwareId, 2);
       },
       122},
      {"SetupDiEnumDeviceInterfaces past the last",
       [](Ports& p) {
         const DeviceInfoList list(p.setupApi, p.setupApi.getClassDevs(kGuidDevinterfaceUsbHub));
         DeviceInterfaceInfo info;
         p.setupApi.enumDeviceInterface(list.get(), kGuidDevinterfaceUsbHub, 1000, info);
       },
       259},
      {"CreateFileW of a filter device object without the driver",
       [](Ports& p) { p.deviceIo.openDevice(L"\\\\.\\USB#VID_2E8B_0001", 0, 0, fileflag::kOverlapped); }, 2},
      {"DeviceIoControl on a closed hub handle",
       [](Ports& p) {
         std::vector<std::uint8_t> io(64);
         p.hubIo.hubIoctl(0x7777, ioctl::kUsbGetNodeInformation, io);
       },
       6},
      {"DeleteFileW of a file held without delete sharing",
       [](Ports& p) {
         const FileHandle held(
             p.files,
             p.files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, share::kRead, creation::kOpenExisting, 0)
                 .handle);
         std::uint32_t error = 0;
         p.files.deleteFile(L"C:\\Tools\\fw.bin", error);
       },
       32},
  };
  for (const Case& c : cases) {
    setThreadLastError(0);
    c.fail(ports);
    EXPECT_EQ(ports.system.lastError(), c.error) << c.call;
  }
}

TEST_F(LastErrorTest, SuccessLeavesTheErrorAndEachThreadHasItsOwn) {
  ports.files.createFile(L"C:\\Tools\\none.bin", access::kGenericRead, 0, creation::kOpenExisting, 0);
  const FileHandle opened(
      ports.files,
      ports.files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, share::kRead, creation::kOpenExisting, 0)
          .handle);
  ASSERT_TRUE(opened.valid());
  EXPECT_EQ(ports.system.lastError(), 2u);  // as GetLastError after a CreateFileW that worked

  std::uint32_t other = 0xFFFF;
  std::thread([&] {
    other = ports.system.lastError();
    ports.files.createFile(L"C:\\Nowhere\\a.bin", access::kGenericWrite, 0, creation::kCreateAlways, 0);
  }).join();
  EXPECT_EQ(other, 0u);
  EXPECT_EQ(ports.system.lastError(), 2u);
}

TEST_F(LastErrorTest, OwnedHandlesAreClosedOnceAndMoveWithTheirOwner) {
  FileHandle first(
      ports.files,
      ports.files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, 0, creation::kOpenExisting, 0).handle);
  ASSERT_TRUE(first.valid());
  FileHandle second = std::move(first);
  EXPECT_FALSE(first.valid());
  // Still held unshared: a second open is refused until the owner goes.
  EXPECT_EQ(ports.files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, share::kRead, creation::kOpenExisting, 0)
                .handle,
            kInvalidHandle);
  second.reset();
  const FileHandle again(
      ports.files,
      ports.files.createFile(L"C:\\Tools\\fw.bin", access::kGenericRead, 0, creation::kOpenExisting, 0).handle);
  EXPECT_TRUE(again.valid());
}

}  // namespace
}  // namespace hbx::sim
