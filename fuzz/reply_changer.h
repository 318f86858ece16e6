#pragma once
// Ports that pass every call to the simulated computer and then change its
// answer as the fuzz input says: hub I/O control replies, device properties
// and interface paths, registry values. Each answer takes its change from the
// next bytes of the input; once the input is used up, the computer answers
// as it is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hub_io.h"
#include "platform/registry.h"
#include "platform/setup_api.h"

namespace hbx::fuzz {

class ReplyChanger {
 public:
  ReplyChanger(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool more() const { return at_ < size_; }
  std::uint8_t next() { return more() ? data_[at_++] : 0; }
  std::uint16_t next16() { return static_cast<std::uint16_t>(next() | (next() << 8)); }

  enum class Change { None, Fail, Bytes, Whole, Size };
  Change nextChange() { return more() ? static_cast<Change>(next() % 5) : Change::None; }

  // Bytes: a few bytes set at chosen places; Whole: the reply written from
  // the input, as far as it goes. `reply` keeps its size.
  void changeBytes(std::vector<std::uint8_t>& reply, Change change) {
    if (reply.empty()) return;
    if (change == Change::Bytes) {
      for (int n = next() % 8 + 1; n > 0 && more(); --n) reply[next16() % reply.size()] = next();
    } else if (change == Change::Whole) {
      for (std::size_t i = 0; i < reply.size() && more(); ++i) reply[i] = next();
    }
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class ChangedHubIo : public platform::HubIoPort {
 public:
  ChangedHubIo(platform::HubIoPort& real, ReplyChanger& changer) : real_(real), changer_(changer) {}
  platform::OpenResult openHub(const std::wstring& path, std::uint32_t access, std::uint32_t share) override {
    return real_.openHub(path, access, share);
  }
  platform::HubIoctlResult hubIoctl(platform::OsHandle hub, std::uint32_t code, std::vector<std::uint8_t>& inOut) override {
    platform::HubIoctlResult result = real_.hubIoctl(hub, code, inOut);
    const ReplyChanger::Change change = changer_.nextChange();
    if (change == ReplyChanger::Change::Fail) {
      result = {false, 0, changer_.next() % 2 ? 31u : changer_.next16()};
    } else if (change == ReplyChanger::Change::Size) {
      // Fewer bytes than the layout: the rest of the buffer as the driver left it.
      result.bytes = std::min<std::uint32_t>(changer_.next16(), static_cast<std::uint32_t>(inOut.size()));
      std::fill(inOut.begin() + result.bytes, inOut.end(), changer_.next());
    } else {
      changer_.changeBytes(inOut, change);
    }
    return result;
  }
  void closeHub(platform::OsHandle hub) override { real_.closeHub(hub); }

 private:
  platform::HubIoPort& real_;
  ReplyChanger& changer_;
};

class ChangedSetupApi : public platform::SetupApiPort {
 public:
  ChangedSetupApi(platform::SetupApiPort& real, ReplyChanger& changer) : real_(real), changer_(changer) {}
  platform::OsHandle getClassDevs(const platform::Guid& interfaceClass) override {
    return real_.getClassDevs(interfaceClass);
  }
  bool enumDeviceInterface(platform::OsHandle list, const platform::Guid& interfaceClass, std::uint32_t index,
                           platform::DeviceInterfaceInfo& info) override {
    const bool found = real_.enumDeviceInterface(list, interfaceClass, index, info);
    if (!found) return false;
    switch (changer_.nextChange()) {
      case ReplyChanger::Change::Fail: info.detailOk = false; info.error = changer_.next(); break;
      case ReplyChanger::Change::Bytes:
        if (!info.devicePath.empty()) info.devicePath[changer_.next() % info.devicePath.size()] = changer_.next16();
        break;
      case ReplyChanger::Change::Size: info.devicePath.resize(changer_.next() % (info.devicePath.size() + 8), L'#'); break;
      default: break;
    }
    return true;
  }
  platform::PropertyValue deviceRegistryProperty(platform::OsHandle list, const platform::DeviceInfoData& device,
                                                 std::uint32_t property, std::uint32_t bufferBytes) override {
    platform::PropertyValue value = real_.deviceRegistryProperty(list, device, property, bufferBytes);
    const ReplyChanger::Change change = changer_.nextChange();
    if (change == ReplyChanger::Change::Fail) {
      value.ok = false;
      value.error = changer_.next16();
    } else if (change == ReplyChanger::Change::Size) {
      // Any type, any length the buffer holds.
      value.regType = changer_.next() % 8;
      value.bytes.resize(std::min<std::uint32_t>(changer_.next16(), bufferBytes), changer_.next());
    } else {
      changer_.changeBytes(value.bytes, change);
    }
    return value;
  }
  bool setPropChangeParams(platform::OsHandle list, const platform::DeviceInfoData& device, std::uint32_t stateChange,
                           std::uint32_t scope, std::uint32_t hwProfile, std::uint32_t& error) override {
    return real_.setPropChangeParams(list, device, stateChange, scope, hwProfile, error);
  }
  bool callClassInstallerPropChange(platform::OsHandle list, const platform::DeviceInfoData& device,
                                    std::uint32_t& error) override {
    return real_.callClassInstallerPropChange(list, device, error);
  }
  void destroyList(platform::OsHandle list) override { real_.destroyList(list); }

 private:
  platform::SetupApiPort& real_;
  ReplyChanger& changer_;
};

class ChangedRegistry : public platform::RegistryPort {
 public:
  ChangedRegistry(platform::RegistryPort& real, ReplyChanger& changer) : real_(real), changer_(changer) {}
  platform::RegOpenResult openKey(const std::wstring& subKey, std::uint32_t access) override {
    return real_.openKey(subKey, access);
  }
  platform::RegQueryResult queryValue(platform::OsHandle key, const std::wstring& name,
                                      std::vector<std::uint8_t>& buffer) override {
    platform::RegQueryResult result = real_.queryValue(key, name, buffer);
    const ReplyChanger::Change change = changer_.nextChange();
    if (change == ReplyChanger::Change::Fail) {
      result.status = changer_.next() % 2 ? 2 : 234;
    } else if (change == ReplyChanger::Change::Size) {
      // A stored value of any type and length; what fits is in the buffer.
      result = {0, static_cast<std::uint32_t>(changer_.next() % 8), changer_.next16()};
      if (result.size > buffer.size()) result.status = 234;
      changer_.changeBytes(buffer, ReplyChanger::Change::Whole);
    } else if (result.status == 0) {
      changer_.changeBytes(buffer, change);
    }
    return result;
  }
  std::int32_t setValue(platform::OsHandle key, const std::wstring& name, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) override {
    return real_.setValue(key, name, type, data);
  }
  std::int32_t deleteValue(platform::OsHandle key, const std::wstring& name) override {
    return real_.deleteValue(key, name);
  }
  std::int32_t flushKey(platform::OsHandle key) override { return real_.flushKey(key); }
  void closeKey(platform::OsHandle key) override { real_.closeKey(key); }

 private:
  platform::RegistryPort& real_;
  ReplyChanger& changer_;
};

}  // namespace hbx::fuzz
