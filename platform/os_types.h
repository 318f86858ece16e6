#pragma once
// Plain value types shared by the ports. They mirror the Windows types the
// ports pass through, without pulling in a Windows header.
#include <cstdint>

namespace hbx::platform {

// An opaque OS handle (HANDLE, HKEY, HDEVINFO, ...). 0 is never a valid handle;
// kInvalidHandle mirrors INVALID_HANDLE_VALUE.
using OsHandle = std::uintptr_t;
inline constexpr OsHandle kNullHandle = 0;
inline constexpr OsHandle kInvalidHandle = ~OsHandle{0};

// System error codes the program reacts to (GetLastError values).
namespace err {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kGenFailure = 31;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kFileExists = 80;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kInsufficientBuffer = 122;
inline constexpr std::uint32_t kAlreadyExists = 183;
inline constexpr std::uint32_t kMoreData = 234;
inline constexpr std::uint32_t kNoMoreItems = 259;
inline constexpr std::uint32_t kIoPending = 997;
inline constexpr std::uint32_t kNotFound = 1168;
}  // namespace err

}  // namespace hbx::platform
