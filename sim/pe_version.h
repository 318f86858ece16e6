#pragma once
// Reads the fixed file version (VS_FIXEDFILEINFO) from a PE file's version
// resource, with a bounds check on every offset.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace hbx::sim {

struct PeFileVersion {
  std::uint32_t ms = 0;  // dwFileVersionMS
  std::uint32_t ls = 0;  // dwFileVersionLS
};

// Empty when the bytes are not a PE file or hold no version resource.
std::optional<PeFileVersion> parsePeFileVersion(std::span<const std::uint8_t> image);
std::optional<PeFileVersion> readPeFileVersion(const std::filesystem::path& file);

}  // namespace hbx::sim
