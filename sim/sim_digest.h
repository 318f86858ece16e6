#pragma once
// Digests on the simulated host: the system's OpenSSL library.
#include "platform/digest.h"

namespace hbx::sim {

class SimDigest : public platform::DigestPort {
 public:
  bool sha256(const std::uint8_t* data, std::size_t size, platform::Sha256Digest& out) override;
};

}  // namespace hbx::sim
