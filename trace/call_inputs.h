#pragma once
// The name and the "in" object of each traced call: what the program passed.
// The recorder writes them and the replay builds the same object for the
// call it is asked, so a recorded call is found by plain equality.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/text/utf.h"
#include "platform/os_types.h"
#include "platform/setup_api.h"
#include "trace/trace_text.h"

namespace hbx::trace::calls {

using Json = nlohmann::ordered_json;

inline constexpr char kOpenHub[] = "openHub";
inline constexpr char kHubIoctl[] = "hubIoctl";
inline constexpr char kCloseHub[] = "closeHub";
inline constexpr char kOpenDevice[] = "openDevice";
inline constexpr char kCreateEvent[] = "createEvent";
inline constexpr char kDeviceIoControl[] = "deviceIoControl";
inline constexpr char kWaitForEvent[] = "waitForEvent";
inline constexpr char kGetOverlappedResult[] = "getOverlappedResult";
inline constexpr char kCancelIo[] = "cancelIo";
inline constexpr char kCloseHandle[] = "closeHandle";
inline constexpr char kGetClassDevs[] = "getClassDevs";
inline constexpr char kEnumDeviceInterface[] = "enumDeviceInterface";
inline constexpr char kDeviceRegistryProperty[] = "deviceRegistryProperty";
inline constexpr char kSetPropChangeParams[] = "setPropChangeParams";
inline constexpr char kCallClassInstaller[] = "callClassInstallerPropChange";
inline constexpr char kDestroyList[] = "destroyList";
inline constexpr char kOpenKey[] = "openKey";
inline constexpr char kQueryValue[] = "queryValue";
inline constexpr char kSetValue[] = "setValue";
inline constexpr char kDeleteValue[] = "deleteValue";
inline constexpr char kFlushKey[] = "flushKey";
inline constexpr char kCloseKey[] = "closeKey";

inline Json handle(const char* field, platform::OsHandle value) { return Json{{field, static_cast<std::uint64_t>(value)}}; }

inline Json openHub(const std::wstring& path, std::uint32_t access, std::uint32_t share) {
  return Json{{"path", toUtf8(path)}, {"access", access}, {"share", share}};
}
inline Json hubIoctl(platform::OsHandle hub, std::uint32_t code, const std::vector<std::uint8_t>& request) {
  return Json{{"hub", static_cast<std::uint64_t>(hub)}, {"code", code}, {"request", hexOf(request)}};
}
inline Json openDevice(const std::wstring& name, std::uint32_t access, std::uint32_t share, std::uint32_t flags) {
  return Json{{"name", toUtf8(name)}, {"access", access}, {"share", share}, {"flags", flags}};
}
inline Json createEvent(bool manualReset, bool initialState) {
  return Json{{"manualReset", manualReset}, {"initialState", initialState}};
}
inline Json deviceIoControl(platform::OsHandle device, std::uint32_t code, const std::uint8_t* in,
                            std::uint32_t inLength, std::uint32_t outLength) {
  return Json{{"device", static_cast<std::uint64_t>(device)},
              {"code", code},
              {"request", in != nullptr ? hexOf(in, inLength) : std::string()},
              {"replyLength", outLength}};
}
inline Json waitForEvent(platform::OsHandle event, std::uint32_t ms) {
  return Json{{"event", static_cast<std::uint64_t>(event)}, {"ms", ms}};
}
inline Json classDevs(const platform::Guid& interfaceClass) { return Json{{"class", guidText(interfaceClass)}}; }
inline Json enumInterface(platform::OsHandle list, const platform::Guid& interfaceClass, std::uint32_t index) {
  return Json{{"list", static_cast<std::uint64_t>(list)}, {"class", guidText(interfaceClass)}, {"index", index}};
}
inline Json property(platform::OsHandle list, std::uint32_t devInst, std::uint32_t property, std::uint32_t bufferBytes) {
  return Json{{"list", static_cast<std::uint64_t>(list)}, {"devInst", devInst}, {"property", property},
              {"bufferBytes", bufferBytes}};
}
inline Json propChange(platform::OsHandle list, std::uint32_t devInst, std::uint32_t stateChange, std::uint32_t scope,
                       std::uint32_t hwProfile) {
  return Json{{"list", static_cast<std::uint64_t>(list)}, {"devInst", devInst}, {"stateChange", stateChange},
              {"scope", scope}, {"hwProfile", hwProfile}};
}
inline Json classInstaller(platform::OsHandle list, std::uint32_t devInst) {
  return Json{{"list", static_cast<std::uint64_t>(list)}, {"devInst", devInst}};
}
inline Json openKey(const std::wstring& subKey, std::uint32_t access) {
  return Json{{"subKey", toUtf8(subKey)}, {"access", access}};
}
inline Json queryValue(platform::OsHandle key, const std::wstring& name, std::size_t bufferBytes) {
  return Json{{"key", static_cast<std::uint64_t>(key)}, {"name", toUtf8(name)}, {"bufferBytes", bufferBytes}};
}
inline Json setValue(platform::OsHandle key, const std::wstring& name, std::uint32_t type,
                     const std::vector<std::uint8_t>& data) {
  return Json{{"key", static_cast<std::uint64_t>(key)}, {"name", toUtf8(name)}, {"type", type}, {"data", hexOf(data)}};
}
inline Json valueName(platform::OsHandle key, const std::wstring& name) {
  return Json{{"key", static_cast<std::uint64_t>(key)}, {"name", toUtf8(name)}};
}

}  // namespace hbx::trace::calls
