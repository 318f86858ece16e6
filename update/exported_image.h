#pragma once
// An exported image ("...HBX763XFW.BIN"): the image bytes followed by a
// 57-byte trailer that names the firmware version, the source type and the
// identity of the hub it was read from.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

namespace hbx::update {

inline constexpr wchar_t kExportedImageName[] = L"HBX763XFW.BIN";
inline constexpr std::size_t kTrailerBytes = 57;
inline constexpr std::size_t kTrailerManufacturerChars = 44;
// The trailer's source type of a whole image; any other is firmware code.
inline constexpr std::uint8_t kExportedConfigType = 1;

struct ExportedTrailer {
  std::array<std::uint8_t, 6> version{};  // most significant first
  std::uint8_t fwType = 0;
  std::uint16_t vid = 0;
  std::uint16_t pid30 = 0;
  std::uint16_t pid20 = 0;
  std::wstring manufacturer;  // up to the first zero byte
};

bool bIsExportedImagePath(const std::wstring& path);

// Splits the bytes of an exported image; false when they are too short to
// hold the trailer.
bool bSplitExportedImage(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& image,
                         ExportedTrailer& trailer);

// Reads and splits an exported image file; false (with the system error,
// 0 when the file is too short) when it cannot.
bool bReadExportedImage(platform::FilePort& files, const std::wstring& path, std::vector<std::uint8_t>& image,
                        ExportedTrailer& trailer, std::uint32_t& error);

}  // namespace hbx::update
