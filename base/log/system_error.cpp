#include "base/log/system_error.h"

namespace hbx {

std::wstring systemErrorText(std::uint32_t code) { return std::to_wstring(static_cast<std::int32_t>(code)); }

}  // namespace hbx
