#include "trace/recording_ports.h"

#include <algorithm>

#include "trace/call_inputs.h"

namespace hbx::trace {

using calls::Json;
using platform::OsHandle;

namespace {
std::uint64_t number(OsHandle handle) { return static_cast<std::uint64_t>(handle); }
}  // namespace

// ---- Hub I/O ----

platform::OpenResult RecordingHubIo::openHub(const std::wstring& path, std::uint32_t desiredAccess,
                                             std::uint32_t shareMode) {
  const platform::OpenResult result = inner_.openHub(path, desiredAccess, shareMode);
  writer_.record(calls::kOpenHub, calls::openHub(path, desiredAccess, shareMode),
                 Json{{"handle", number(result.handle)}, {"error", result.error}});
  return result;
}

platform::HubIoctlResult RecordingHubIo::hubIoctl(OsHandle hub, std::uint32_t code, std::vector<std::uint8_t>& inOut) {
  if (!writer_.active()) return inner_.hubIoctl(hub, code, inOut);
  Json in = calls::hubIoctl(hub, code, inOut);
  const platform::HubIoctlResult result = inner_.hubIoctl(hub, code, inOut);
  writer_.record(calls::kHubIoctl, std::move(in),
                 Json{{"ok", result.ok}, {"bytes", result.bytes}, {"error", result.error}, {"reply", hexOf(inOut)}});
  return result;
}

void RecordingHubIo::closeHub(OsHandle hub) {
  inner_.closeHub(hub);
  writer_.record(calls::kCloseHub, calls::handle("hub", hub), Json::object());
}

// ---- The filter driver's device objects ----

platform::OpenResult RecordingDeviceIo::openDevice(const std::wstring& name, std::uint32_t desiredAccess,
                                                   std::uint32_t shareMode, std::uint32_t flags) {
  const platform::OpenResult result = inner_.openDevice(name, desiredAccess, shareMode, flags);
  writer_.record(calls::kOpenDevice, calls::openDevice(name, desiredAccess, shareMode, flags),
                 Json{{"handle", number(result.handle)}, {"error", result.error}});
  return result;
}

OsHandle RecordingDeviceIo::createEvent(bool manualReset, bool initialState) {
  const OsHandle event = inner_.createEvent(manualReset, initialState);
  writer_.record(calls::kCreateEvent, calls::createEvent(manualReset, initialState), Json{{"handle", number(event)}});
  return event;
}

platform::IoctlStart RecordingDeviceIo::deviceIoControl(OsHandle device, std::uint32_t code, const std::uint8_t* in,
                                                        std::uint32_t inLength, std::uint8_t* out,
                                                        std::uint32_t outLength, OsHandle event,
                                                        platform::OverlappedSlot& slot) {
  if (!writer_.active()) return inner_.deviceIoControl(device, code, in, inLength, out, outLength, event, slot);
  // The request's bytes before the call: a request may share its buffer
  // with the reply.
  Json request = calls::deviceIoControl(device, code, in, inLength, outLength);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_[&slot] = {out, outLength};
  }
  const platform::IoctlStart start = inner_.deviceIoControl(device, code, in, inLength, out, outLength, event, slot);
  Json answer{{"returnedTrue", start.returnedTrue}, {"error", start.error}};
  if (start.returnedTrue && out != nullptr) answer["reply"] = hexOf(out, outLength);
  writer_.record(calls::kDeviceIoControl, std::move(request), std::move(answer));
  return start;
}

std::uint32_t RecordingDeviceIo::waitForEvent(OsHandle event, std::uint32_t ms) {
  const std::uint32_t result = inner_.waitForEvent(event, ms);
  writer_.record(calls::kWaitForEvent, calls::waitForEvent(event, ms), Json{{"result", result}});
  return result;
}

bool RecordingDeviceIo::getOverlappedResult(OsHandle device, platform::OverlappedSlot& slot, std::uint32_t& bytes,
                                            std::uint32_t& error) {
  const bool ok = inner_.getOverlappedResult(device, slot, bytes, error);
  std::pair<std::uint8_t*, std::uint32_t> reply{nullptr, 0};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto it = replies_.find(&slot); it != replies_.end()) {
      reply = it->second;
      replies_.erase(it);
    }
  }
  Json answer{{"ok", ok}, {"bytes", bytes}, {"error", error}};
  answer["reply"] = reply.first != nullptr ? hexOf(reply.first, std::min(bytes, reply.second)) : std::string();
  writer_.record(calls::kGetOverlappedResult, calls::handle("device", device), std::move(answer));
  return ok;
}

void RecordingDeviceIo::cancelIo(OsHandle device) {
  inner_.cancelIo(device);
  writer_.record(calls::kCancelIo, calls::handle("device", device), Json::object());
}

void RecordingDeviceIo::closeHandle(OsHandle handle) {
  inner_.closeHandle(handle);
  writer_.record(calls::kCloseHandle, calls::handle("handle", handle), Json::object());
}

// ---- SetupAPI ----

OsHandle RecordingSetupApi::getClassDevs(const platform::Guid& interfaceClass) {
  const OsHandle list = inner_.getClassDevs(interfaceClass);
  writer_.record(calls::kGetClassDevs, calls::classDevs(interfaceClass), Json{{"handle", number(list)}});
  return list;
}

bool RecordingSetupApi::enumDeviceInterface(OsHandle list, const platform::Guid& interfaceClass, std::uint32_t index,
                                            platform::DeviceInterfaceInfo& info) {
  const bool found = inner_.enumDeviceInterface(list, interfaceClass, index, info);
  Json answer{{"found", found}};
  if (found) {
    answer["detailOk"] = info.detailOk;
    answer["error"] = info.error;
    answer["path"] = toUtf8(info.devicePath);
    answer["devInst"] = info.device.devInst;
  }
  writer_.record(calls::kEnumDeviceInterface, calls::enumInterface(list, interfaceClass, index), std::move(answer));
  return found;
}

platform::PropertyValue RecordingSetupApi::deviceRegistryProperty(OsHandle list, const platform::DeviceInfoData& device,
                                                                  std::uint32_t property, std::uint32_t bufferBytes) {
  const platform::PropertyValue value = inner_.deviceRegistryProperty(list, device, property, bufferBytes);
  writer_.record(calls::kDeviceRegistryProperty, calls::property(list, device.devInst, property, bufferBytes),
                 Json{{"ok", value.ok}, {"error", value.error}, {"regType", value.regType}, {"bytes", hexOf(value.bytes)}});
  return value;
}

bool RecordingSetupApi::setPropChangeParams(OsHandle list, const platform::DeviceInfoData& device,
                                            std::uint32_t stateChange, std::uint32_t scope, std::uint32_t hwProfile,
                                            std::uint32_t& error) {
  const bool ok = inner_.setPropChangeParams(list, device, stateChange, scope, hwProfile, error);
  writer_.record(calls::kSetPropChangeParams, calls::propChange(list, device.devInst, stateChange, scope, hwProfile),
                 Json{{"ok", ok}, {"error", error}});
  return ok;
}

bool RecordingSetupApi::callClassInstallerPropChange(OsHandle list, const platform::DeviceInfoData& device,
                                                     std::uint32_t& error) {
  const bool ok = inner_.callClassInstallerPropChange(list, device, error);
  writer_.record(calls::kCallClassInstaller, calls::classInstaller(list, device.devInst),
                 Json{{"ok", ok}, {"error", error}});
  return ok;
}

void RecordingSetupApi::destroyList(OsHandle list) {
  inner_.destroyList(list);
  writer_.record(calls::kDestroyList, calls::handle("list", list), Json::object());
}

// ---- Registry ----

platform::RegOpenResult RecordingRegistry::openKey(const std::wstring& subKey, std::uint32_t access) {
  const platform::RegOpenResult result = inner_.openKey(subKey, access);
  writer_.record(calls::kOpenKey, calls::openKey(subKey, access),
                 Json{{"key", number(result.key)}, {"status", result.status}});
  return result;
}

platform::RegQueryResult RecordingRegistry::queryValue(OsHandle key, const std::wstring& name,
                                                       std::vector<std::uint8_t>& buffer) {
  const std::size_t capacity = buffer.size();
  const platform::RegQueryResult result = inner_.queryValue(key, name, buffer);
  const std::size_t stored = result.status == 0 ? std::min<std::size_t>(result.size, buffer.size()) : 0;
  writer_.record(calls::kQueryValue, calls::queryValue(key, name, capacity),
                 Json{{"status", result.status}, {"type", result.type}, {"size", result.size},
                      {"data", hexOf(buffer.data(), stored)}});
  return result;
}

std::int32_t RecordingRegistry::setValue(OsHandle key, const std::wstring& name, std::uint32_t type,
                                         const std::vector<std::uint8_t>& data) {
  const std::int32_t status = inner_.setValue(key, name, type, data);
  writer_.record(calls::kSetValue, calls::setValue(key, name, type, data), Json{{"status", status}});
  return status;
}

std::int32_t RecordingRegistry::deleteValue(OsHandle key, const std::wstring& name) {
  const std::int32_t status = inner_.deleteValue(key, name);
  writer_.record(calls::kDeleteValue, calls::valueName(key, name), Json{{"status", status}});
  return status;
}

std::int32_t RecordingRegistry::flushKey(OsHandle key) {
  const std::int32_t status = inner_.flushKey(key);
  writer_.record(calls::kFlushKey, calls::handle("key", key), Json{{"status", status}});
  return status;
}

void RecordingRegistry::closeKey(OsHandle key) {
  inner_.closeKey(key);
  writer_.record(calls::kCloseKey, calls::handle("key", key), Json::object());
}

// ---- The set ----

RecordedPorts::RecordedPorts(platform::Ports inner)
    : inner_(inner),
      writer_(inner.files, inner.clock),
      hubIo_(inner.hubIo, writer_),
      deviceIo_(inner.deviceIo, writer_),
      setupApi_(inner.setupApi, writer_),
      registry_(inner.registry, writer_) {}

platform::Ports RecordedPorts::ports() {
  platform::Ports p = inner_;
  return platform::Ports{deviceIo_, hubIo_,     setupApi_,  registry_, p.processes, p.system,
                         p.files,   p.payloads, p.clock,    p.windows, p.digest};
}

}  // namespace hbx::trace
