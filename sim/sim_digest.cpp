#include "sim/sim_digest.h"

#include <openssl/evp.h>

namespace hbx::sim {

bool SimDigest::sha256(const std::uint8_t* data, std::size_t size, platform::Sha256Digest& out) {
  unsigned int length = 0;
  return EVP_Digest(data, size, out.data(), &length, EVP_sha256(), nullptr) == 1 && length == out.size();
}

}  // namespace hbx::sim
