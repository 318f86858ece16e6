#include "hub/host/native_system_view.h"

#include "base/log/debug_log.h"
#include "base/log/system_error.h"

namespace hbx {

NativeSystemView::NativeSystemView(platform::SystemPort& system, bool wow64) : system_(system) {
  if (!wow64) return;
  std::uint32_t error = 0;
  off_ = system_.disableFsRedirection(token_, error);
  if (!off_) HBX_LOG_ERR(L"%s:%d:   f_Wow64DisableWow64FsRedirection failed, Erroe=%s", systemErrorText(error));
}

NativeSystemView::~NativeSystemView() {
  if (!off_) return;
  std::uint32_t error = 0;
  if (!system_.revertFsRedirection(token_, error)) {
    HBX_LOG_ERR(L"%s:%d: f_Wow64RevertWow64FsRedirection failed, Erroe=%s", systemErrorText(error));
  }
}

}  // namespace hbx
