#include "hub/device/last_error.h"

namespace hbx::hubdev {

namespace {
thread_local std::uint32_t t_lastError = 0;
}

std::uint32_t lastError() { return t_lastError; }
void setLastError(std::uint32_t error) { t_lastError = error; }

}  // namespace hbx::hubdev
