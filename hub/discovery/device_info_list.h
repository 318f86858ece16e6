#pragma once
// Owns a SetupAPI device information list: it is destroyed on every way out.
#include "platform/setup_api.h"

namespace hbx {

class DeviceInfoList {
 public:
  DeviceInfoList(platform::SetupApiPort& api, platform::OsHandle handle) : api_(api), handle_(handle) {}
  ~DeviceInfoList() { release(); }
  DeviceInfoList(const DeviceInfoList&) = delete;
  DeviceInfoList& operator=(const DeviceInfoList&) = delete;

  bool valid() const { return handle_ != platform::kInvalidHandle && handle_ != platform::kNullHandle; }
  platform::OsHandle handle() const { return handle_; }
  // Destroys the list held and takes `handle` instead.
  void reset(platform::OsHandle handle) {
    release();
    handle_ = handle;
  }

 private:
  void release() {
    if (valid()) api_.destroyList(handle_);
    handle_ = platform::kInvalidHandle;
  }

  platform::SetupApiPort& api_;
  platform::OsHandle handle_;
};

}  // namespace hbx
