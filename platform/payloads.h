#pragma once
// Files carried inside the program (resources): (type, id) to bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hbx::platform {

class PayloadPort {
 public:
  virtual ~PayloadPort() = default;
  // FindResourceW/LoadResource/LockResource/SizeofResource on the program's
  // own module. Empty when there is no such resource.
  virtual std::optional<std::vector<std::uint8_t>> payload(const std::wstring& type,
                                                           std::uint32_t id) = 0;
};

}  // namespace hbx::platform
