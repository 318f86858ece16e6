#pragma once
// The firmware image carried inside the program: a configuration file of
// major type 2, built byte for byte by the build's own generator
// (tools/make_default_image) from the rules of image_layout.h.
#include <cstdint>
#include <vector>

#include "image/image_layout.h"

namespace hbx::image {

// The carried files: the image (type "BIN") and its file name (type "INI",
// the name followed by "\r\n").
inline constexpr wchar_t kDefaultImageType[] = L"BIN";
inline constexpr std::uint32_t kDefaultImageId = 166;
inline constexpr wchar_t kDefaultImageNameType[] = L"INI";
inline constexpr std::uint32_t kDefaultImageNameId = 167;

inline constexpr std::size_t kDefaultImageSize = kImageSizeMajorType2;
inline constexpr VersionBytes kDefaultImageVersion = {0x25, 0x03, 0x18, 0x25, 0x01, 0x0C};
inline constexpr std::uint32_t kDefaultImageFirmwareLength = 0x7000;

// The whole carried image, the same bytes on every call.
std::vector<std::uint8_t> buildDefaultImage();

}  // namespace hbx::image
