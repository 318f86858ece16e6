#pragma once
// A minimal valid PE32 image with one ".rsrc" section holding an RT_VERSION
// resource (VS_VERSIONINFO with its VS_FIXEDFILEINFO), for stand-ins of the
// Windows files whose version the program reads (drivers, tools).
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace hbx::tools {

struct PeStubOptions {
  // File version a.b.c.d (dwFileVersionMS = a<<16 | b, LS = c<<16 | d).
  std::array<std::uint16_t, 4> fileVersion{1, 0, 0, 0};
  // False leaves the resource section empty: a PE file without a version.
  bool withVersionResource = true;
  // IMAGE_SUBSYSTEM_*: 1 native (drivers), 2 GUI, 3 console.
  std::uint16_t subsystem = 1;
};

// Where the interesting structures lie in the image, as file offsets.
struct PeStubImage {
  std::vector<std::uint8_t> bytes;
  std::size_t peHeader = 0;          // "PE\0\0"
  std::size_t optionalHeader = 0;    // IMAGE_OPTIONAL_HEADER32
  std::size_t sectionTable = 0;      // the one IMAGE_SECTION_HEADER
  std::size_t resourceSection = 0;   // root IMAGE_RESOURCE_DIRECTORY
  std::size_t resourceDataEntry = 0; // IMAGE_RESOURCE_DATA_ENTRY of the version
  std::size_t versionInfo = 0;       // VS_VERSIONINFO
  std::size_t fixedFileInfo = 0;     // VS_FIXEDFILEINFO
};

PeStubImage makePeStub(const PeStubOptions& options);
// Writes the image to `file`; false when the file cannot be written.
bool writePeStub(const std::filesystem::path& file, const PeStubOptions& options);

}  // namespace hbx::tools
