#pragma once
// Classification of a firmware source: which kind of file a path names, and
// whether its content passes the version and size rules of its kind. Pure
// functions; the dialog's vIsValidHubFirmware reads the file and logs.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "image/image_layout.h"

namespace hbx::image {

// The results of a classification besides a major type of 0 to 3.
inline constexpr std::uint8_t kNotASource = 0xFF;
inline constexpr std::uint8_t kWrongImageSize = 0xF2;
inline constexpr std::uint8_t kFirmwareTooLong = 0xF6;

enum class SourceKind {
  Configuration,  // a whole image: "Config" in the name (case as written), ".bin"
  Firmware,       // firmware code only: any other ".bin"
  None,           // any other name
};

// The kind told by the name: its last four characters compared with ".bin"
// ignoring case, and "Config" searched as written.
SourceKind sourceKindOf(const std::wstring& path);
// The last four characters of a path (all of a shorter one).
std::wstring extensionOf(const std::wstring& path);

// The offset of the version bytes in a source of this kind.
std::size_t versionOffsetOf(SourceKind kind);

enum class SourceVerdict {
  Accepted,         // result is the major type, 0 to 3
  NotASource,       // no firmware source by its name
  TooShort,         // the content ends before its version bytes
  TooLong,          // a firmware file over 0xFEF8 bytes
  BadMajorType,     // a major type above 3
  WrongImageSize,   // a configuration file of the wrong size for its type
};

struct SourceCheck {
  SourceVerdict verdict = SourceVerdict::NotASource;
  std::uint8_t result = kNotASource;       // what vIsValidHubFirmware answers
  std::optional<VersionBytes> version;     // read when the content holds them
  std::uint8_t majorType = 0;              // valid with `version`
};

// Checks the whole content of a source of the given kind.
SourceCheck checkSource(SourceKind kind, std::span<const std::uint8_t> content);

}  // namespace hbx::image
