#include "tools/pe_stub/pe_stub_writer.h"

#include <fstream>
#include <string_view>

namespace hbx::tools {

namespace {

constexpr std::size_t kPeHeader = 0x40;
constexpr std::size_t kOptionalHeader = kPeHeader + 4 + 20;
constexpr std::size_t kOptionalHeaderBytes = 0xE0;
constexpr std::size_t kSectionTable = kOptionalHeader + kOptionalHeaderBytes;
constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kResourceRva = 0x1000;
constexpr std::uint32_t kSubdirectory = 0x80000000u;

// Resource tree: root (type 16) -> name 1 -> language 0x409 -> data entry.
constexpr std::uint32_t kTypeDirectory = 24;
constexpr std::uint32_t kLanguageDirectory = 48;
constexpr std::uint32_t kDataEntry = 72;
constexpr std::uint32_t kVersionInfo = 88;
constexpr std::uint32_t kVersionInfoBytes = 6 + 32 + 2 + 52;  // header, key, padding, fixed info

std::uint32_t alignUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

class Writer {
 public:
  explicit Writer(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  void u16(std::size_t at, std::uint16_t v) {
    bytes_[at] = static_cast<std::uint8_t>(v);
    bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  void u32(std::size_t at, std::uint32_t v) {
    u16(at, static_cast<std::uint16_t>(v));
    u16(at + 2, static_cast<std::uint16_t>(v >> 16));
  }
  void text(std::size_t at, std::string_view ascii) {
    for (std::size_t i = 0; i < ascii.size(); ++i) bytes_[at + i] = static_cast<std::uint8_t>(ascii[i]);
  }

 private:
  std::vector<std::uint8_t>& bytes_;
};

// One IMAGE_RESOURCE_DIRECTORY with a single id entry.
void directory(Writer& w, std::size_t at, std::uint32_t id, std::uint32_t target) {
  w.u16(at + 14, 1);  // NumberOfIdEntries
  w.u32(at + 16, id);
  w.u32(at + 20, target);
}

}  // namespace

PeStubImage makePeStub(const PeStubOptions& options) {
  const std::uint32_t resourceBytes = options.withVersionResource ? kVersionInfo + kVersionInfoBytes : 16;
  const std::uint32_t rawBytes = alignUp(resourceBytes, kFileAlignment);

  PeStubImage image;
  image.bytes.assign(kFileAlignment + rawBytes, 0);
  Writer w(image.bytes);

  // DOS header: only the signature and the offset of the PE header matter.
  w.text(0, "MZ");
  w.u32(0x3C, kPeHeader);

  // PE signature and COFF header: i386, one section, executable 32-bit image.
  w.text(kPeHeader, std::string_view("PE\0\0", 4));
  w.u16(kPeHeader + 4, 0x014C);
  w.u16(kPeHeader + 6, 1);
  w.u16(kPeHeader + 20, kOptionalHeaderBytes);
  w.u16(kPeHeader + 22, 0x0102);

  // Optional header (PE32).
  const std::size_t o = kOptionalHeader;
  w.u16(o + 0, 0x10B);
  w.u32(o + 8, rawBytes);           // SizeOfInitializedData
  w.u32(o + 20, kResourceRva);      // BaseOfCode
  w.u32(o + 24, kResourceRva);      // BaseOfData
  w.u32(o + 28, 0x10000);           // ImageBase
  w.u32(o + 32, kSectionAlignment);
  w.u32(o + 36, kFileAlignment);
  w.u16(o + 40, 6);                 // MajorOperatingSystemVersion
  w.u16(o + 48, 6);                 // MajorSubsystemVersion
  w.u32(o + 56, kResourceRva + alignUp(resourceBytes, kSectionAlignment));  // SizeOfImage
  w.u32(o + 60, kFileAlignment);    // SizeOfHeaders
  w.u16(o + 68, options.subsystem);
  w.u32(o + 72, 0x100000);          // stack and heap reserve/commit
  w.u32(o + 76, 0x1000);
  w.u32(o + 80, 0x100000);
  w.u32(o + 84, 0x1000);
  w.u32(o + 92, 16);                // NumberOfRvaAndSizes
  w.u32(o + 96 + 2 * 8, kResourceRva);  // resource directory
  w.u32(o + 96 + 2 * 8 + 4, resourceBytes);

  // The ".rsrc" section: initialised, readable data.
  const std::size_t s = kSectionTable;
  w.text(s, ".rsrc");
  w.u32(s + 8, resourceBytes);
  w.u32(s + 12, kResourceRva);
  w.u32(s + 16, rawBytes);
  w.u32(s + 20, kFileAlignment);
  w.u32(s + 36, 0x40000040);

  const std::size_t r = kFileAlignment;
  image.peHeader = kPeHeader;
  image.optionalHeader = kOptionalHeader;
  image.sectionTable = kSectionTable;
  image.resourceSection = r;
  if (!options.withVersionResource) return image;  // a root directory without entries

  directory(w, r, 16, kSubdirectory | kTypeDirectory);  // RT_VERSION
  directory(w, r + kTypeDirectory, 1, kSubdirectory | kLanguageDirectory);
  directory(w, r + kLanguageDirectory, 0x409, kDataEntry);
  w.u32(r + kDataEntry, kResourceRva + kVersionInfo);
  w.u32(r + kDataEntry + 4, kVersionInfoBytes);

  const std::size_t v = r + kVersionInfo;
  w.u16(v, kVersionInfoBytes);
  w.u16(v + 2, 52);  // wValueLength: the fixed info
  w.u16(v + 4, 0);   // binary
  constexpr std::string_view kKey = "VS_VERSION_INFO";
  for (std::size_t i = 0; i < kKey.size(); ++i) w.u16(v + 6 + 2 * i, static_cast<std::uint16_t>(kKey[i]));
  const std::size_t f = v + 40;
  const auto& ver = options.fileVersion;
  const std::uint32_t ms = static_cast<std::uint32_t>(ver[0]) << 16 | ver[1];
  const std::uint32_t ls = static_cast<std::uint32_t>(ver[2]) << 16 | ver[3];
  w.u32(f + 0, 0xFEEF04BD);
  w.u32(f + 4, 0x00010000);  // structure version 1.0
  w.u32(f + 8, ms);
  w.u32(f + 12, ls);
  w.u32(f + 16, ms);         // product version
  w.u32(f + 20, ls);
  w.u32(f + 24, 0x3F);       // FileFlagsMask
  w.u32(f + 32, 0x00040004); // VOS_NT_WINDOWS32
  w.u32(f + 36, options.subsystem == 1 ? 3 : 1);  // VFT_DRV or VFT_APP

  image.resourceDataEntry = r + kDataEntry;
  image.versionInfo = v;
  image.fixedFileInfo = f;
  return image;
}

bool writePeStub(const std::filesystem::path& file, const PeStubOptions& options) {
  const PeStubImage image = makePeStub(options);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace hbx::tools
