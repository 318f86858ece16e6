// Every byte layout, control code, GUID and constant that the core writes by
// hand instead of taking from <windows.h>, checked against the Windows SDK of
// the compiler that builds this host. The core builds its requests as plain
// bytes so that the simulated host can read them; a wrong offset would still
// pass every test there, so it must fail the Windows build instead. Compiled
// for each Windows architecture the build targets.
#include <windows.h>
#include <winioctl.h>
#include <setupapi.h>

#include <cstddef>

#include "hub/device/filter_protocol.h"
#include "hub/discovery/usb_layouts.h"
#include "platform/device_io.h"
#include "platform/files.h"
#include "platform/hub_io.h"
#include "platform/os_types.h"
#include "platform/registry.h"
#include "platform/setup_api.h"
#include "platform/system.h"

// The SDK declares its GUIDs through DEFINE_GUID as link-time constants;
// read the same lines again as compile-time values of the core's own type.
#undef DEFINE_GUID
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr hbx::platform::Guid sdk_##name{l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#include <usbiodef.h>
#include <usbioctl.h>

namespace {

namespace layout = hbx::usblayout;
namespace platform = hbx::platform;
namespace filter = hbx::filter;

// Hub I/O controls and their structures.
static_assert(platform::ioctl::kUsbGetRootHubName == IOCTL_USB_GET_ROOT_HUB_NAME);
static_assert(platform::ioctl::kUsbGetNodeInformation == IOCTL_USB_GET_NODE_INFORMATION);
static_assert(platform::ioctl::kUsbGetNodeConnectionInformation == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION);
static_assert(platform::ioctl::kUsbGetDescriptorFromNodeConnection ==
              IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION);
static_assert(platform::ioctl::kUsbGetNodeConnectionName == IOCTL_USB_GET_NODE_CONNECTION_NAME);
static_assert(platform::ioctl::kUsbGetNodeConnectionInformationEx ==
              IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX);

static_assert(layout::kRootHubNameFirstBytes == sizeof(USB_ROOT_HUB_NAME));
static_assert(layout::kRootHubNameText == offsetof(USB_ROOT_HUB_NAME, RootHubName));

static_assert(layout::kNodeInformationBytes == sizeof(USB_NODE_INFORMATION));
static_assert(layout::kNodePortCount ==
              offsetof(USB_NODE_INFORMATION, u.HubInformation.HubDescriptor.bNumberOfPorts));

// The buffers end with whole pipe entries after the fixed part.
using ConnectionEx = USB_NODE_CONNECTION_INFORMATION_EX;
static_assert((layout::kConnectionInfoExBytes - layout::kPipeList) % sizeof(USB_PIPE_INFO) == 0);
static_assert(layout::kConnectionIndex == offsetof(ConnectionEx, ConnectionIndex));
static_assert(layout::kDeviceDescriptor == offsetof(ConnectionEx, DeviceDescriptor));
static_assert(layout::kCurrentConfigurationValue == offsetof(ConnectionEx, CurrentConfigurationValue));
static_assert(layout::kSpeed == offsetof(ConnectionEx, Speed));
static_assert(layout::kDeviceIsHub == offsetof(ConnectionEx, DeviceIsHub));
static_assert(layout::kDeviceAddress == offsetof(ConnectionEx, DeviceAddress));
static_assert(layout::kNumberOfOpenPipes == offsetof(ConnectionEx, NumberOfOpenPipes));
static_assert(layout::kConnectionStatus == offsetof(ConnectionEx, ConnectionStatus));
static_assert(layout::kPipeList == offsetof(ConnectionEx, PipeList));

using Connection = USB_NODE_CONNECTION_INFORMATION;
static_assert((layout::kConnectionInfoBytes - layout::kPipeList) % sizeof(USB_PIPE_INFO) == 0);
static_assert(layout::kSpeed == offsetof(Connection, LowSpeed));
static_assert(layout::kDeviceIsHub == offsetof(Connection, DeviceIsHub));
static_assert(layout::kDeviceAddress == offsetof(Connection, DeviceAddress));
static_assert(layout::kNumberOfOpenPipes == offsetof(Connection, NumberOfOpenPipes));
static_assert(layout::kConnectionStatus == offsetof(Connection, ConnectionStatus));
static_assert(layout::kPipeList == offsetof(Connection, PipeList));
static_assert(layout::kDeviceConnected == DeviceConnected);

static_assert(layout::kConnectionNameFirstBytes == sizeof(USB_NODE_CONNECTION_NAME));
static_assert(layout::kConnectionNameActualLength == offsetof(USB_NODE_CONNECTION_NAME, ActualLength));
static_assert(layout::kConnectionNameText == offsetof(USB_NODE_CONNECTION_NAME, NodeName));

static_assert(layout::kSetupPacket == offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket));
static_assert(layout::kDescriptorData == offsetof(USB_DESCRIPTOR_REQUEST, Data));
static_assert(layout::kDeviceDescriptorBytes == sizeof(USB_DEVICE_DESCRIPTOR));

// The filter driver's requests: device type 0x22 (FILE_DEVICE_UNKNOWN).
static_assert(filter::kIoctlGeneric == CTL_CODE(FILE_DEVICE_UNKNOWN, 0x803, METHOD_BUFFERED, FILE_ANY_ACCESS));
static_assert(filter::kIoctlVendorOut == CTL_CODE(FILE_DEVICE_UNKNOWN, 0x804, METHOD_BUFFERED, FILE_ANY_ACCESS));
static_assert(filter::kIoctlVendorIn == CTL_CODE(FILE_DEVICE_UNKNOWN, 0x805, METHOD_BUFFERED, FILE_ANY_ACCESS));
// Six 32-bit words of header, then 32 bytes of data: the same on both
// architectures, as the driver reads them.
static_assert(filter::kHeaderSize == 6 * sizeof(DWORD));
static_assert(filter::kPacketSize == filter::kHeaderSize + filter::kPacketData);

// The OVERLAPPED slot is checked beside its use (win32_device_io.cpp).

// Device interface classes.
static_assert(platform::kGuidDevinterfaceUsbHostController == sdk_GUID_DEVINTERFACE_USB_HOST_CONTROLLER);
static_assert(platform::kGuidDevinterfaceUsbHub == sdk_GUID_DEVINTERFACE_USB_HUB);
static_assert(sizeof(platform::Guid) == sizeof(GUID));

// SetupAPI properties and state changes.
static_assert(platform::spdrp::kDeviceDesc == SPDRP_DEVICEDESC);
static_assert(platform::spdrp::kHardwareId == SPDRP_HARDWAREID);
static_assert(platform::spdrp::kDriver == SPDRP_DRIVER);
static_assert(platform::spdrp::kPhysicalDeviceObjectName == SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
static_assert(platform::dics::kPropChange == DICS_PROPCHANGE);
static_assert(platform::dics::kFlagGlobal == DICS_FLAG_GLOBAL);
static_assert(platform::dics::kFlagConfigSpecific == DICS_FLAG_CONFIGSPECIFIC);

// Registry value types and key access.
static_assert(platform::regtype::kNone == REG_NONE);
static_assert(platform::regtype::kSz == REG_SZ);
static_assert(platform::regtype::kExpandSz == REG_EXPAND_SZ);
static_assert(platform::regtype::kBinary == REG_BINARY);
static_assert(platform::regtype::kDword == REG_DWORD);
static_assert(platform::regtype::kMultiSz == REG_MULTI_SZ);
static_assert(platform::keyaccess::kRead == KEY_READ);
static_assert(platform::keyaccess::kWrite == KEY_WRITE);

// Files and waits.
static_assert(platform::access::kGenericRead == GENERIC_READ);
static_assert(platform::access::kGenericWrite == GENERIC_WRITE);
static_assert(platform::share::kRead == FILE_SHARE_READ);
static_assert(platform::share::kWrite == FILE_SHARE_WRITE);
static_assert(platform::share::kDelete == FILE_SHARE_DELETE);
static_assert(platform::creation::kCreateNew == CREATE_NEW);
static_assert(platform::creation::kCreateAlways == CREATE_ALWAYS);
static_assert(platform::creation::kOpenExisting == OPEN_EXISTING);
static_assert(platform::creation::kOpenAlways == OPEN_ALWAYS);
static_assert(platform::fileflag::kOverlapped == FILE_FLAG_OVERLAPPED);
static_assert(platform::fileflag::kWriteThrough == FILE_FLAG_WRITE_THROUGH);
static_assert(platform::wait::kObject0 == WAIT_OBJECT_0);
static_assert(platform::wait::kTimeout == WAIT_TIMEOUT);
static_assert(platform::wait::kFailed == WAIT_FAILED);
static_assert(platform::attr::kReadOnly == FILE_ATTRIBUTE_READONLY);
static_assert(platform::attr::kDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(platform::attr::kDevice == FILE_ATTRIBUTE_DEVICE);
static_assert(platform::attr::kNormal == FILE_ATTRIBUTE_NORMAL);
static_assert(platform::attr::kInvalidAttributes == INVALID_FILE_ATTRIBUTES);
static_assert(platform::kVerPlatformWin32Nt == VER_PLATFORM_WIN32_NT);

// Handles and system errors.
static_assert(sizeof(platform::OsHandle) == sizeof(HANDLE));
static_assert(platform::err::kSuccess == ERROR_SUCCESS);
static_assert(platform::err::kFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(platform::err::kPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(platform::err::kAccessDenied == ERROR_ACCESS_DENIED);
static_assert(platform::err::kInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(platform::err::kNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY);
static_assert(platform::err::kGenFailure == ERROR_GEN_FAILURE);
static_assert(platform::err::kSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(platform::err::kFileExists == ERROR_FILE_EXISTS);
static_assert(platform::err::kInvalidParameter == ERROR_INVALID_PARAMETER);
static_assert(platform::err::kInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER);
static_assert(platform::err::kAlreadyExists == ERROR_ALREADY_EXISTS);
static_assert(platform::err::kMoreData == ERROR_MORE_DATA);
static_assert(platform::err::kNoMoreItems == ERROR_NO_MORE_ITEMS);
static_assert(platform::err::kIoPending == ERROR_IO_PENDING);
static_assert(platform::err::kNotFound == ERROR_NOT_FOUND);

}  // namespace
