#pragma once
// Decorators of the ports that reach a device or the host's device state:
// each call goes to the real port unchanged, and while the writer is active
// the call, its arguments and its answer are written to the trace. The hub
// I/O controls, the filter driver's requests (with their waits and
// completions), SetupAPI (the walk's lists and properties, the device
// restart) and the registry.
#include <map>
#include <mutex>

#include "platform/ports.h"
#include "trace/trace_writer.h"

namespace hbx::trace {

class RecordingHubIo : public platform::HubIoPort {
 public:
  RecordingHubIo(platform::HubIoPort& inner, TraceWriter& writer) : inner_(inner), writer_(writer) {}
  platform::OpenResult openHub(const std::wstring& path, std::uint32_t desiredAccess, std::uint32_t shareMode) override;
  platform::HubIoctlResult hubIoctl(platform::OsHandle hub, std::uint32_t code, std::vector<std::uint8_t>& inOut) override;
  void closeHub(platform::OsHandle hub) override;

 private:
  platform::HubIoPort& inner_;
  TraceWriter& writer_;
};

class RecordingDeviceIo : public platform::DeviceIoPort {
 public:
  RecordingDeviceIo(platform::DeviceIoPort& inner, TraceWriter& writer) : inner_(inner), writer_(writer) {}
  platform::OpenResult openDevice(const std::wstring& name, std::uint32_t desiredAccess, std::uint32_t shareMode,
                                  std::uint32_t flags) override;
  platform::OsHandle createEvent(bool manualReset, bool initialState) override;
  platform::IoctlStart deviceIoControl(platform::OsHandle device, std::uint32_t code, const std::uint8_t* in,
                                       std::uint32_t inLength, std::uint8_t* out, std::uint32_t outLength,
                                       platform::OsHandle event, platform::OverlappedSlot& slot) override;
  std::uint32_t waitForEvent(platform::OsHandle event, std::uint32_t ms) override;
  bool getOverlappedResult(platform::OsHandle device, platform::OverlappedSlot& slot, std::uint32_t& bytes,
                           std::uint32_t& error) override;
  void cancelIo(platform::OsHandle device) override;
  void closeHandle(platform::OsHandle handle) override;

 private:
  platform::DeviceIoPort& inner_;
  TraceWriter& writer_;
  // The reply buffer of each request in flight, for its completion's line.
  std::mutex mutex_;
  std::map<const platform::OverlappedSlot*, std::pair<std::uint8_t*, std::uint32_t>> replies_;
};

class RecordingSetupApi : public platform::SetupApiPort {
 public:
  RecordingSetupApi(platform::SetupApiPort& inner, TraceWriter& writer) : inner_(inner), writer_(writer) {}
  platform::OsHandle getClassDevs(const platform::Guid& interfaceClass) override;
  bool enumDeviceInterface(platform::OsHandle list, const platform::Guid& interfaceClass, std::uint32_t index,
                           platform::DeviceInterfaceInfo& info) override;
  platform::PropertyValue deviceRegistryProperty(platform::OsHandle list, const platform::DeviceInfoData& device,
                                                 std::uint32_t property, std::uint32_t bufferBytes) override;
  bool setPropChangeParams(platform::OsHandle list, const platform::DeviceInfoData& device, std::uint32_t stateChange,
                           std::uint32_t scope, std::uint32_t hwProfile, std::uint32_t& error) override;
  bool callClassInstallerPropChange(platform::OsHandle list, const platform::DeviceInfoData& device,
                                    std::uint32_t& error) override;
  void destroyList(platform::OsHandle list) override;

 private:
  platform::SetupApiPort& inner_;
  TraceWriter& writer_;
};

class RecordingRegistry : public platform::RegistryPort {
 public:
  RecordingRegistry(platform::RegistryPort& inner, TraceWriter& writer) : inner_(inner), writer_(writer) {}
  platform::RegOpenResult openKey(const std::wstring& subKey, std::uint32_t access) override;
  platform::RegQueryResult queryValue(platform::OsHandle key, const std::wstring& name,
                                      std::vector<std::uint8_t>& buffer) override;
  std::int32_t setValue(platform::OsHandle key, const std::wstring& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) override;
  std::int32_t deleteValue(platform::OsHandle key, const std::wstring& name) override;
  std::int32_t flushKey(platform::OsHandle key) override;
  void closeKey(platform::OsHandle key) override;

 private:
  platform::RegistryPort& inner_;
  TraceWriter& writer_;
};

// A host's ports with the four above in place of the real ones. The writer
// starts inactive: until it is opened every call only passes through.
class RecordedPorts {
 public:
  explicit RecordedPorts(platform::Ports inner);
  platform::Ports ports();
  TraceWriter& writer() { return writer_; }

 private:
  platform::Ports inner_;
  TraceWriter writer_;
  RecordingHubIo hubIo_;
  RecordingDeviceIo deviceIo_;
  RecordingSetupApi setupApi_;
  RecordingRegistry registry_;
};

}  // namespace hbx::trace
