#pragma once
// Ports that answer the program's device calls from a recorded trace, in
// place of hubs, a filter driver, SetupAPI and a registry. Each call is
// looked for among the recorded calls not yet answered, in trace order, by
// its name and arguments; the first that matches answers it and is used up.
// The calls on one filter-driver device object must come in the recorded
// order (a flash is written packet by packet). A call the trace does not
// hold, or one out of that order, fails (as a device that is gone) and
// fails the replay; so does a run that ends with recorded calls never made.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "trace/trace_reader.h"

namespace hbx::trace {

class Replay {
 public:
  explicit Replay(std::vector<TraceEntry> entries);

  // The recorded answer of `call` with `in`, used up; nullptr when there is
  // none (the replay has then failed). `orderedBy`: the field of `in` whose
  // calls must come in trace order.
  const TraceEntry* take(const char* call, const nlohmann::ordered_json& in, const char* orderedBy = nullptr);
  // Empty while every call was answered and, at the end, when every
  // recorded call was; else what went wrong first, naming the call and
  // where the trace stood.
  std::string verdict() const;

 private:
  std::string whereTraceStands() const;

  mutable std::mutex mutex_;
  std::vector<TraceEntry> entries_;
  std::vector<bool> used_;
  std::size_t firstUnused_ = 0;
  std::string failure_;
};

class ReplayHubIo : public platform::HubIoPort {
 public:
  explicit ReplayHubIo(Replay& replay) : replay_(replay) {}
  platform::OpenResult openHub(const std::wstring& path, std::uint32_t desiredAccess, std::uint32_t shareMode) override;
  platform::HubIoctlResult hubIoctl(platform::OsHandle hub, std::uint32_t code, std::vector<std::uint8_t>& inOut) override;
  void closeHub(platform::OsHandle hub) override;

 private:
  Replay& replay_;
};

class ReplayDeviceIo : public platform::DeviceIoPort {
 public:
  explicit ReplayDeviceIo(Replay& replay) : replay_(replay) {}
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
  Replay& replay_;
  std::mutex mutex_;
  std::map<const platform::OverlappedSlot*, std::pair<std::uint8_t*, std::uint32_t>> replies_;
};

class ReplaySetupApi : public platform::SetupApiPort {
 public:
  explicit ReplaySetupApi(Replay& replay) : replay_(replay) {}
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
  Replay& replay_;
};

class ReplayRegistry : public platform::RegistryPort {
 public:
  explicit ReplayRegistry(Replay& replay) : replay_(replay) {}
  platform::RegOpenResult openKey(const std::wstring& subKey, std::uint32_t access) override;
  platform::RegQueryResult queryValue(platform::OsHandle key, const std::wstring& name,
                                      std::vector<std::uint8_t>& buffer) override;
  std::int32_t setValue(platform::OsHandle key, const std::wstring& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) override;
  std::int32_t deleteValue(platform::OsHandle key, const std::wstring& name) override;
  std::int32_t flushKey(platform::OsHandle key) override;
  void closeKey(platform::OsHandle key) override;

 private:
  Replay& replay_;
};

// A trace's replay with its four ports.
struct ReplayPorts {
  explicit ReplayPorts(std::vector<TraceEntry> entries)
      : replay(std::move(entries)), hubIo(replay), deviceIo(replay), setupApi(replay), registry(replay) {}
  Replay replay;
  ReplayHubIo hubIo;
  ReplayDeviceIo deviceIo;
  ReplaySetupApi setupApi;
  ReplayRegistry registry;
};

}  // namespace hbx::trace
