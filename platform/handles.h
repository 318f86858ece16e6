#pragma once
// Owners of the handles the ports hand out: each closes its handle through
// the port that opened it when it goes out of scope, so no path of the
// program closes a handle by hand and none is left open. Move-only.
#include <utility>

#include "platform/device_io.h"
#include "platform/files.h"
#include "platform/hub_io.h"
#include "platform/os_types.h"
#include "platform/registry.h"
#include "platform/setup_api.h"

namespace hbx::platform {

template <class Port, void (Port::*Close)(OsHandle)>
class OwnedHandle {
 public:
  // Takes `handle` as it came from `port`; kNullHandle and kInvalidHandle
  // (the two failure values the ports answer) are held but never closed.
  OwnedHandle(Port& port, OsHandle handle) : port_(&port), handle_(handle) {}
  ~OwnedHandle() { release(); }
  OwnedHandle(OwnedHandle&& other) noexcept
      : port_(other.port_), handle_(std::exchange(other.handle_, kInvalidHandle)) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) {
      release();
      port_ = other.port_;
      handle_ = std::exchange(other.handle_, kInvalidHandle);
    }
    return *this;
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  bool valid() const { return handle_ != kInvalidHandle && handle_ != kNullHandle; }
  OsHandle get() const { return handle_; }
  // Closes the handle held now (where a step must see it closed before it
  // goes on) and takes `handle` instead.
  void reset(OsHandle handle = kInvalidHandle) {
    release();
    handle_ = handle;
  }

 private:
  void release() {
    if (valid()) (port_->*Close)(handle_);
    handle_ = kInvalidHandle;
  }

  Port* port_;
  OsHandle handle_;
};

// Device objects and events (CloseHandle).
using DeviceHandle = OwnedHandle<DeviceIoPort, &DeviceIoPort::closeHandle>;
// Host controllers and hubs opened for the hub I/O controls.
using HubHandle = OwnedHandle<HubIoPort, &HubIoPort::closeHub>;
// Files.
using FileHandle = OwnedHandle<FilePort, &FilePort::closeFile>;
// Registry keys (RegCloseKey).
using RegistryKey = OwnedHandle<RegistryPort, &RegistryPort::closeKey>;
// SetupAPI device information lists (SetupDiDestroyDeviceInfoList).
using DeviceInfoList = OwnedHandle<SetupApiPort, &SetupApiPort::destroyList>;

}  // namespace hbx::platform
