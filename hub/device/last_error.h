#pragma once
// The calling thread's last system error from the hub layer's platform calls,
// the value its log lines report where Windows code would call GetLastError().
#include <cstdint>

namespace hbx::hubdev {

std::uint32_t lastError();
void setLastError(std::uint32_t error);

}  // namespace hbx::hubdev
