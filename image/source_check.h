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
  Configuration,  // a whole image: "config" in the file's name, ".bin"
  Firmware,       // firmware code only: any other ".bin"
  None,           // any other name
};

// The kind told by the name: its last four characters compared with ".bin"
// ignoring case, and "config" searched in the file's own name (not in its
// folders) ignoring case, since the command line arrives upper-cased.
SourceKind sourceKindOf(const std::wstring& path);
// The twelve hexadecimal digits a source's name carries as its version: the
// file's own name with "_" removed and its extension cut, its last twelve
// characters. Nothing when those are not twelve hexadecimal digits.
std::optional<std::wstring> versionInName(const std::wstring& path);
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
  BadTable,         // a configuration table whose checksum is wrong
  NotBootable,      // a firmware a hub would not boot (see `areaFault`)
};

struct SourceCheck {
  SourceVerdict verdict = SourceVerdict::NotASource;
  std::uint8_t result = kNotASource;       // what vIsValidHubFirmware answers
  std::optional<VersionBytes> version;     // read when the content holds them
  std::uint8_t majorType = 0;              // valid with `version`
  AreaFault areaFault = AreaFault::None;   // why, with SourceVerdict::NotBootable
};

// Checks the whole content of a source of the given kind.
SourceCheck checkSource(SourceKind kind, std::span<const std::uint8_t> content);

}  // namespace hbx::image
