#pragma once
// Message digests the program states about the files it handles.
#include <array>
#include <cstddef>
#include <cstdint>

namespace hbx::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

class DigestPort {
 public:
  virtual ~DigestPort() = default;
  // The SHA-256 of `size` bytes at `data`; false when the system cannot
  // compute it.
  virtual bool sha256(const std::uint8_t* data, std::size_t size, Sha256Digest& out) = 0;
};

}  // namespace hbx::platform
