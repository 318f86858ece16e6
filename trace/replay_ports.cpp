#include "trace/replay_ports.h"

#include <algorithm>
#include <cstring>

#include "trace/call_inputs.h"

namespace hbx::trace {

using calls::Json;
using platform::OsHandle;

namespace {

// What a call answers when the trace has no answer for it: a device that is
// gone (ERROR_DEVICE_NOT_CONNECTED), a registry value that is missing.
constexpr std::uint32_t kNoAnswerError = 1167;
constexpr std::int32_t kNoAnswerStatus = 2;
constexpr std::size_t kShownArguments = 160;

std::string described(const std::string& call, const Json& in) {
  std::string arguments = in.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (arguments.size() > kShownArguments) arguments = arguments.substr(0, kShownArguments) + "...";
  return call + " " + arguments;
}

bool keepsDeviceOrder(const std::string& call) {
  return call == calls::kDeviceIoControl || call == calls::kGetOverlappedResult;
}

template <class T>
T field(const TraceEntry& entry, const char* name) {
  return entry.out[name].get<T>();
}

std::vector<std::uint8_t> bytesOf(const TraceEntry& entry, const char* name) {
  if (!entry.out.contains(name)) return {};
  return bytesOfHex(entry.out[name].get<std::string>()).value_or(std::vector<std::uint8_t>());
}

// Copies recorded reply bytes into the caller's buffer, never past its end.
void copyInto(const std::vector<std::uint8_t>& bytes, std::uint8_t* out, std::size_t capacity) {
  if (out != nullptr && !bytes.empty()) std::memcpy(out, bytes.data(), std::min(bytes.size(), capacity));
}

}  // namespace

Replay::Replay(std::vector<TraceEntry> entries) : entries_(std::move(entries)), used_(entries_.size(), false) {}

std::string Replay::whereTraceStands() const {
  if (firstUnused_ >= entries_.size()) return "every recorded call had been made";
  const TraceEntry& next = entries_[firstUnused_];
  return "the trace stood at line " + std::to_string(next.line) + " (" + described(next.call, next.in) + ")";
}

const TraceEntry* Replay::take(const char* call, const Json& in, const char* orderedBy) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Json* key = orderedBy != nullptr && in.contains(orderedBy) ? &in[orderedBy] : nullptr;
  std::size_t firstOnKey = entries_.size();
  for (std::size_t i = firstUnused_; i < entries_.size(); ++i) {
    if (used_[i]) continue;
    const TraceEntry& entry = entries_[i];
    if (key != nullptr && firstOnKey == entries_.size() && keepsDeviceOrder(entry.call) &&
        entry.in.contains(orderedBy) && entry.in[orderedBy] == *key)
      firstOnKey = i;
    if (entry.call != call || entry.in != in) continue;
    if (key != nullptr && firstOnKey != i) {
      if (failure_.empty()) {
        const TraceEntry& due = entries_[firstOnKey];
        failure_ = described(call, in) + " is out of order: the trace holds it at line " + std::to_string(entry.line) +
                   ", after line " + std::to_string(due.line) + " (" + described(due.call, due.in) +
                   ") on the same device";
      }
      return nullptr;
    }
    used_[i] = true;
    while (firstUnused_ < entries_.size() && used_[firstUnused_]) ++firstUnused_;
    return &entry;
  }
  if (failure_.empty()) failure_ = described(call, in) + " is not in the trace; " + whereTraceStands();
  return nullptr;
}

std::string Replay::verdict() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!failure_.empty()) return failure_;
  const std::size_t left = static_cast<std::size_t>(std::count(used_.begin(), used_.end(), false));
  if (left == 0) return "";
  return "the run ended with " + std::to_string(left) + " recorded calls never made; " + whereTraceStands();
}

// ---- Hub I/O ----

platform::OpenResult ReplayHubIo::openHub(const std::wstring& path, std::uint32_t desiredAccess,
                                          std::uint32_t shareMode) {
  const TraceEntry* e = replay_.take(calls::kOpenHub, calls::openHub(path, desiredAccess, shareMode));
  if (e == nullptr) return {platform::kInvalidHandle, kNoAnswerError};
  return {field<OsHandle>(*e, "handle"), field<std::uint32_t>(*e, "error")};
}

platform::HubIoctlResult ReplayHubIo::hubIoctl(OsHandle hub, std::uint32_t code, std::vector<std::uint8_t>& inOut) {
  const TraceEntry* e = replay_.take(calls::kHubIoctl, calls::hubIoctl(hub, code, inOut));
  if (e == nullptr) return {false, 0, kNoAnswerError};
  copyInto(bytesOf(*e, "reply"), inOut.data(), inOut.size());
  return {field<bool>(*e, "ok"), field<std::uint32_t>(*e, "bytes"), field<std::uint32_t>(*e, "error")};
}

void ReplayHubIo::closeHub(OsHandle hub) { replay_.take(calls::kCloseHub, calls::handle("hub", hub)); }

// ---- The filter driver's device objects ----

platform::OpenResult ReplayDeviceIo::openDevice(const std::wstring& name, std::uint32_t desiredAccess,
                                                std::uint32_t shareMode, std::uint32_t flags) {
  const TraceEntry* e = replay_.take(calls::kOpenDevice, calls::openDevice(name, desiredAccess, shareMode, flags));
  if (e == nullptr) return {platform::kInvalidHandle, kNoAnswerError};
  return {field<OsHandle>(*e, "handle"), field<std::uint32_t>(*e, "error")};
}

OsHandle ReplayDeviceIo::createEvent(bool manualReset, bool initialState) {
  const TraceEntry* e = replay_.take(calls::kCreateEvent, calls::createEvent(manualReset, initialState));
  return e == nullptr ? platform::kNullHandle : field<OsHandle>(*e, "handle");
}

platform::IoctlStart ReplayDeviceIo::deviceIoControl(OsHandle device, std::uint32_t code, const std::uint8_t* in,
                                                     std::uint32_t inLength, std::uint8_t* out,
                                                     std::uint32_t outLength, OsHandle, platform::OverlappedSlot& slot) {
  const TraceEntry* e =
      replay_.take(calls::kDeviceIoControl, calls::deviceIoControl(device, code, in, inLength, outLength), "device");
  if (e == nullptr) return {false, kNoAnswerError};
  const bool returnedTrue = field<bool>(*e, "returnedTrue");
  if (returnedTrue) copyInto(bytesOf(*e, "reply"), out, outLength);
  std::lock_guard<std::mutex> lock(mutex_);
  replies_[&slot] = {out, outLength};
  return {returnedTrue, field<std::uint32_t>(*e, "error")};
}

std::uint32_t ReplayDeviceIo::waitForEvent(OsHandle event, std::uint32_t ms) {
  const TraceEntry* e = replay_.take(calls::kWaitForEvent, calls::waitForEvent(event, ms));
  return e == nullptr ? platform::wait::kFailed : field<std::uint32_t>(*e, "result");
}

bool ReplayDeviceIo::getOverlappedResult(OsHandle device, platform::OverlappedSlot& slot, std::uint32_t& bytes,
                                         std::uint32_t& error) {
  std::pair<std::uint8_t*, std::uint32_t> reply{nullptr, 0};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto it = replies_.find(&slot); it != replies_.end()) {
      reply = it->second;
      replies_.erase(it);
    }
  }
  const TraceEntry* e = replay_.take(calls::kGetOverlappedResult, calls::handle("device", device), "device");
  if (e == nullptr) {
    bytes = 0;
    error = kNoAnswerError;
    return false;
  }
  copyInto(bytesOf(*e, "reply"), reply.first, reply.second);
  bytes = field<std::uint32_t>(*e, "bytes");
  error = field<std::uint32_t>(*e, "error");
  return field<bool>(*e, "ok");
}

void ReplayDeviceIo::cancelIo(OsHandle device) { replay_.take(calls::kCancelIo, calls::handle("device", device)); }

void ReplayDeviceIo::closeHandle(OsHandle handle) { replay_.take(calls::kCloseHandle, calls::handle("handle", handle)); }

// ---- SetupAPI ----

OsHandle ReplaySetupApi::getClassDevs(const platform::Guid& interfaceClass) {
  const TraceEntry* e = replay_.take(calls::kGetClassDevs, calls::classDevs(interfaceClass));
  return e == nullptr ? platform::kInvalidHandle : field<OsHandle>(*e, "handle");
}

bool ReplaySetupApi::enumDeviceInterface(OsHandle list, const platform::Guid& interfaceClass, std::uint32_t index,
                                         platform::DeviceInterfaceInfo& info) {
  const TraceEntry* e = replay_.take(calls::kEnumDeviceInterface, calls::enumInterface(list, interfaceClass, index));
  if (e == nullptr || !field<bool>(*e, "found")) return false;
  info.detailOk = field<bool>(*e, "detailOk");
  info.error = field<std::uint32_t>(*e, "error");
  info.devicePath = fromUtf8(field<std::string>(*e, "path"));
  info.device.devInst = field<std::uint32_t>(*e, "devInst");
  return true;
}

platform::PropertyValue ReplaySetupApi::deviceRegistryProperty(OsHandle list, const platform::DeviceInfoData& device,
                                                               std::uint32_t property, std::uint32_t bufferBytes) {
  const TraceEntry* e =
      replay_.take(calls::kDeviceRegistryProperty, calls::property(list, device.devInst, property, bufferBytes));
  platform::PropertyValue value;
  if (e == nullptr) {
    value.error = kNoAnswerError;
    return value;
  }
  value.ok = field<bool>(*e, "ok");
  value.error = field<std::uint32_t>(*e, "error");
  value.regType = field<std::uint32_t>(*e, "regType");
  value.bytes = bytesOf(*e, "bytes");
  return value;
}

bool ReplaySetupApi::setPropChangeParams(OsHandle list, const platform::DeviceInfoData& device,
                                         std::uint32_t stateChange, std::uint32_t scope, std::uint32_t hwProfile,
                                         std::uint32_t& error) {
  const TraceEntry* e = replay_.take(calls::kSetPropChangeParams,
                                     calls::propChange(list, device.devInst, stateChange, scope, hwProfile));
  error = e == nullptr ? kNoAnswerError : field<std::uint32_t>(*e, "error");
  return e != nullptr && field<bool>(*e, "ok");
}

bool ReplaySetupApi::callClassInstallerPropChange(OsHandle list, const platform::DeviceInfoData& device,
                                                  std::uint32_t& error) {
  const TraceEntry* e = replay_.take(calls::kCallClassInstaller, calls::classInstaller(list, device.devInst));
  error = e == nullptr ? kNoAnswerError : field<std::uint32_t>(*e, "error");
  return e != nullptr && field<bool>(*e, "ok");
}

void ReplaySetupApi::destroyList(OsHandle list) { replay_.take(calls::kDestroyList, calls::handle("list", list)); }

// ---- Registry ----

platform::RegOpenResult ReplayRegistry::openKey(const std::wstring& subKey, std::uint32_t access) {
  const TraceEntry* e = replay_.take(calls::kOpenKey, calls::openKey(subKey, access));
  if (e == nullptr) return {platform::kNullHandle, kNoAnswerStatus};
  return {field<OsHandle>(*e, "key"), field<std::int32_t>(*e, "status")};
}

platform::RegQueryResult ReplayRegistry::queryValue(OsHandle key, const std::wstring& name,
                                                    std::vector<std::uint8_t>& buffer) {
  const TraceEntry* e = replay_.take(calls::kQueryValue, calls::queryValue(key, name, buffer.size()));
  if (e == nullptr) return {kNoAnswerStatus, 0, 0};
  copyInto(bytesOf(*e, "data"), buffer.data(), buffer.size());
  return {field<std::int32_t>(*e, "status"), field<std::uint32_t>(*e, "type"), field<std::uint32_t>(*e, "size")};
}

std::int32_t ReplayRegistry::setValue(OsHandle key, const std::wstring& name, std::uint32_t type,
                                      const std::vector<std::uint8_t>& data) {
  const TraceEntry* e = replay_.take(calls::kSetValue, calls::setValue(key, name, type, data));
  return e == nullptr ? kNoAnswerStatus : field<std::int32_t>(*e, "status");
}

std::int32_t ReplayRegistry::deleteValue(OsHandle key, const std::wstring& name) {
  const TraceEntry* e = replay_.take(calls::kDeleteValue, calls::valueName(key, name));
  return e == nullptr ? kNoAnswerStatus : field<std::int32_t>(*e, "status");
}

std::int32_t ReplayRegistry::flushKey(OsHandle key) {
  const TraceEntry* e = replay_.take(calls::kFlushKey, calls::handle("key", key));
  return e == nullptr ? kNoAnswerStatus : field<std::int32_t>(*e, "status");
}

void ReplayRegistry::closeKey(OsHandle key) { replay_.take(calls::kCloseKey, calls::handle("key", key)); }

}  // namespace hbx::trace
