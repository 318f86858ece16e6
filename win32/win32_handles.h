#pragma once
// Conversions between the ports' opaque handles and the Windows handle types.
#include <windows.h>

#include "platform/os_types.h"

namespace hbx::win32 {

inline HANDLE toHandle(platform::OsHandle h) { return reinterpret_cast<HANDLE>(h); }
inline platform::OsHandle fromHandle(HANDLE h) { return reinterpret_cast<platform::OsHandle>(h); }

// Ports close what they were given as Windows does, but a null or invalid
// handle (a failed open) is no handle and is left alone.
inline void closeIfOpen(platform::OsHandle h) {
  if (h != platform::kNullHandle && h != platform::kInvalidHandle) CloseHandle(toHandle(h));
}

}  // namespace hbx::win32
