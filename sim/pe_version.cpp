#include "sim/pe_version.h"

#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace hbx::sim {

namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedFileInfoBytes = 52;
constexpr std::size_t kSectionHeaderBytes = 40;
constexpr std::size_t kResourceDirectoryBytes = 16;
constexpr std::size_t kResourceEntryBytes = 8;
constexpr std::size_t kResourceDataEntryBytes = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;

// Little-endian reads that refuse any range outside the bytes.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool fits(std::size_t offset, std::size_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::optional<std::uint16_t> u16(std::size_t offset) const {
    if (!fits(offset, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
  }
  std::optional<std::uint32_t> u32(std::size_t offset) const {
    if (!fits(offset, 4)) return std::nullopt;
    return static_cast<std::uint32_t>(bytes_[offset]) | (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes_[offset + 3]) << 24);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

struct Section {
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t rawSize = 0;
};

// The file range [offset, offset + length) of `length` bytes at `rva`, when a
// section holds all of them in its raw data.
std::optional<std::size_t> rvaToOffset(const std::vector<Section>& sections, std::uint32_t rva,
                                       std::uint32_t length) {
  for (const Section& s : sections) {
    if (rva < s.virtualAddress) continue;
    const std::uint64_t delta = rva - s.virtualAddress;
    if (delta + length > s.rawSize) continue;
    return static_cast<std::size_t>(s.rawOffset + delta);
  }
  return std::nullopt;
}

// The OffsetToData of the first id entry of a resource directory (at
// `dirOffset` within the resource section) that matches `wantedId`, or of
// the first entry of any kind when `wantedId` is empty.
std::optional<std::uint32_t> findEntry(const Reader& r, std::size_t sectionStart, std::size_t sectionSize,
                                       std::uint32_t dirOffset, std::optional<std::uint32_t> wantedId) {
  if (dirOffset > sectionSize || kResourceDirectoryBytes > sectionSize - dirOffset) return std::nullopt;
  const std::size_t dir = sectionStart + dirOffset;
  const auto named = r.u16(dir + 12);
  const auto ids = r.u16(dir + 14);
  if (!named || !ids) return std::nullopt;
  const std::size_t count = static_cast<std::size_t>(*named) + *ids;
  // The whole entry table must lie inside the section.
  if (count * kResourceEntryBytes > sectionSize - dirOffset - kResourceDirectoryBytes) return std::nullopt;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = dir + kResourceDirectoryBytes + i * kResourceEntryBytes;
    const auto name = r.u32(entry);
    const auto target = r.u32(entry + 4);
    if (!name || !target) return std::nullopt;
    if (wantedId && ((*name & kHighBit) != 0 || *name != *wantedId)) continue;
    return *target;
  }
  return std::nullopt;
}

// Follows one level down: the entry must point at a subdirectory.
std::optional<std::uint32_t> subdirectory(std::optional<std::uint32_t> target) {
  if (!target || (*target & kHighBit) == 0) return std::nullopt;
  return *target & ~kHighBit;
}

std::optional<PeFileVersion> fixedInfo(const Reader& r, std::size_t offset, std::uint32_t size) {
  // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding
  // to 32 bits, then VS_FIXEDFILEINFO.
  constexpr std::u16string_view kKey = u"VS_VERSION_INFO";
  const auto length = r.u16(offset);
  const auto valueLength = r.u16(offset + 2);
  if (!length || !valueLength || *length > size || *valueLength < kFixedFileInfoBytes) return std::nullopt;
  std::size_t pos = offset + 6;
  for (char16_t c : kKey) {
    const auto unit = r.u16(pos);
    if (!unit || *unit != c) return std::nullopt;
    pos += 2;
  }
  const auto terminator = r.u16(pos);
  if (!terminator || *terminator != 0) return std::nullopt;
  pos += 2;
  pos = offset + ((pos - offset + 3) & ~std::size_t{3});
  if (pos + kFixedFileInfoBytes > offset + *length) return std::nullopt;
  const auto signature = r.u32(pos);
  const auto ms = r.u32(pos + 8);
  const auto ls = r.u32(pos + 12);
  if (!signature || !ms || !ls || *signature != kFixedFileInfoSignature) return std::nullopt;
  return PeFileVersion{*ms, *ls};
}

}  // namespace

std::optional<PeFileVersion> parsePeFileVersion(std::span<const std::uint8_t> image) {
  const Reader r(image);
  if (image.size() < 2 || image[0] != 'M' || image[1] != 'Z') return std::nullopt;
  const auto peOffset = r.u32(0x3C);
  if (!peOffset || !r.fits(*peOffset, 24)) return std::nullopt;
  const std::size_t pe = *peOffset;
  if (image[pe] != 'P' || image[pe + 1] != 'E' || image[pe + 2] != 0 || image[pe + 3] != 0) return std::nullopt;
  const auto sectionCount = r.u16(pe + 6);
  const auto optionalSize = r.u16(pe + 20);
  if (!sectionCount || !optionalSize) return std::nullopt;
  const std::size_t optional = pe + 24;
  const auto magic = r.u16(optional);
  if (!magic) return std::nullopt;
  // PE32 and PE32+ place the data directories differently.
  std::size_t countField = 0;
  if (*magic == 0x10B) countField = 92;
  else if (*magic == 0x20B) countField = 108;
  else return std::nullopt;
  const auto directoryCount = r.u32(optional + countField);
  if (!directoryCount || *directoryCount < 3) return std::nullopt;
  const std::size_t resourceDirectory = optional + countField + 4 + 2 * 8;
  if (resourceDirectory + 8 > optional + *optionalSize) return std::nullopt;
  const auto resourceRva = r.u32(resourceDirectory);
  const auto resourceSize = r.u32(resourceDirectory + 4);
  if (!resourceRva || !resourceSize || *resourceRva == 0 || *resourceSize == 0) return std::nullopt;

  std::vector<Section> sections;
  const std::size_t table = optional + *optionalSize;
  for (std::size_t i = 0; i < *sectionCount; ++i) {
    const std::size_t header = table + i * kSectionHeaderBytes;
    if (!r.fits(header, kSectionHeaderBytes)) return std::nullopt;
    Section s{*r.u32(header + 12), *r.u32(header + 8), *r.u32(header + 20), *r.u32(header + 16)};
    if (!r.fits(s.rawOffset, s.rawSize)) continue;  // raw data past the end of the file
    sections.push_back(s);
  }

  // The resource section as one range of the file.
  const auto resourceStart = rvaToOffset(sections, *resourceRva, *resourceSize);
  if (!resourceStart) return std::nullopt;
  const std::size_t start = *resourceStart;
  const std::size_t size = *resourceSize;

  // Type RT_VERSION, then its first name, then its first language.
  const auto names = subdirectory(findEntry(r, start, size, 0, kRtVersion));
  if (!names) return std::nullopt;
  const auto languages = subdirectory(findEntry(r, start, size, *names, std::nullopt));
  if (!languages) return std::nullopt;
  const auto dataEntry = findEntry(r, start, size, *languages, std::nullopt);
  if (!dataEntry || (*dataEntry & kHighBit) != 0) return std::nullopt;
  if (*dataEntry > size || kResourceDataEntryBytes > size - *dataEntry) return std::nullopt;
  const auto dataRva = r.u32(start + *dataEntry);
  const auto dataSize = r.u32(start + *dataEntry + 4);
  if (!dataRva || !dataSize) return std::nullopt;
  const auto data = rvaToOffset(sections, *dataRva, *dataSize);
  if (!data) return std::nullopt;
  return fixedInfo(r, *data, *dataSize);
}

std::optional<PeFileVersion> readPeFileVersion(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return parsePeFileVersion(bytes);
}

}  // namespace hbx::sim
