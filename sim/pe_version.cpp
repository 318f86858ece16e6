#include "sim/pe_version.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace hbx::sim {

std::optional<PeFileVersion> parsePeFileVersion(std::span<const std::uint8_t> /*image*/) {
  return std::nullopt;  // TODO(host services): parse the resource directory
}

std::optional<PeFileVersion> readPeFileVersion(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return parsePeFileVersion(bytes);
}

}  // namespace hbx::sim
