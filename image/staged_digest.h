#pragma once
// The digest of the staged download file: taken from the bytes as staging
// wrote them, checked against the file before every firmware download, so a
// file changed after staging is never sent to a hub. The bytes themselves are
// kept too: a read-back compares a hub's flash with them, never with the file.
#include <cstdint>
#include <span>
#include <vector>

namespace hbx::image {

// FNV-1a, 64 bits: small and well known; it guards against a changed file,
// not against an attacker who can also change the program.
std::uint64_t fnv1a64(std::span<const std::uint8_t> bytes);

struct StagedDigest {
  bool recorded = false;
  std::uint64_t size = 0;
  std::uint64_t hash = 0;
  std::vector<std::uint8_t> bytes;  // what staging wrote

  void record(std::span<const std::uint8_t> staged) {
    recorded = true;
    size = staged.size();
    hash = fnv1a64(staged);
    bytes.assign(staged.begin(), staged.end());
  }
  void clear() { *this = StagedDigest{}; }
  bool matches(std::span<const std::uint8_t> other) const {
    return recorded && other.size() == size && fnv1a64(other) == hash;
  }
};

}  // namespace hbx::image
