#pragma once
// The digest of the staged download file: taken from the bytes as staging
// wrote them, checked against the file before every firmware download, so a
// file changed after staging is never sent to a hub.
#include <cstdint>
#include <span>

namespace hbx::image {

// FNV-1a, 64 bits: small and well known; it guards against a changed file,
// not against an attacker who can also change the program.
std::uint64_t fnv1a64(std::span<const std::uint8_t> bytes);

struct StagedDigest {
  bool recorded = false;
  std::uint64_t size = 0;
  std::uint64_t hash = 0;

  void record(std::span<const std::uint8_t> bytes) {
    recorded = true;
    size = bytes.size();
    hash = fnv1a64(bytes);
  }
  void clear() { *this = StagedDigest{}; }
  bool matches(std::span<const std::uint8_t> bytes) const {
    return recorded && bytes.size() == size && fnv1a64(bytes) == hash;
  }
};

}  // namespace hbx::image
