#pragma once
// Conversions between the ports' opaque handles and the Windows handle types.
#include <windows.h>

#include "platform/os_types.h"

namespace hbx::win32 {

inline HANDLE toHandle(platform::OsHandle h) { return reinterpret_cast<HANDLE>(h); }
inline platform::OsHandle fromHandle(HANDLE h) { return reinterpret_cast<platform::OsHandle>(h); }

}  // namespace hbx::win32
