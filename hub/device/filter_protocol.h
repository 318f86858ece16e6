#pragma once
// The filter driver's request interface: control codes, header layouts,
// opcodes, hub register addresses and the result codes of the hub layer.
// Shared by the program and the simulated driver, so both read the same bytes.
#include <array>
#include <cstddef>
#include <cstdint>

namespace hbx::filter {

// Device type 0x22, METHOD_BUFFERED, FILE_ANY_ACCESS.
inline constexpr std::uint32_t kIoctlGeneric = 0x0022200C;  // function 0x803
inline constexpr std::uint32_t kIoctlVendorOut = 0x00222010;  // function 0x804
inline constexpr std::uint32_t kIoctlVendorIn = 0x00222014;  // function 0x805

inline constexpr std::uint32_t kHeaderSize = 24;
inline constexpr std::uint32_t kPacketData = 32;
inline constexpr std::uint32_t kPacketSize = kHeaderSize + kPacketData;  // 56
inline constexpr std::uint32_t kMaxRegisterLength = 32;
inline constexpr std::uint32_t kDefaultTimeout = 2500;

// Request kinds of the header's second word.
inline constexpr std::uint32_t kKindGetDeviceDescriptor = 1;
inline constexpr std::uint32_t kKindVendor = 2;
inline constexpr std::uint32_t kKindGetStringDescriptor = 3;
inline constexpr std::uint32_t kKindOldRegisterRead = 0x52;
inline constexpr std::uint32_t kKindOldRegisterWrite = 0x53;

// Opcodes of vendor requests.
namespace op {
inline constexpr std::uint32_t kRegisterRead = 0x52;     // 'R'
inline constexpr std::uint32_t kRegisterWrite = 0x53;    // 'S'
inline constexpr std::uint32_t kWordRegister = 0x40;     // '@', register 0x6400
inline constexpr std::uint32_t kImageRead = 0x55;        // 'U'
inline constexpr std::uint32_t kImageRead0 = 0x65;       // 'e'
inline constexpr std::uint32_t kConfigWrite = 0x51;      // 'Q'
inline constexpr std::uint32_t kConfigWrite0 = 0x61;     // 'a'
inline constexpr std::uint32_t kFirmwareWrite = 0x50;    // 'P'
inline constexpr std::uint32_t kFirmwareWrite0 = 0x60;   // '`'
inline constexpr std::uint32_t kErase = 0x57;            // 'W'
inline constexpr std::uint32_t kCpuReset = 0x54;         // 'T'
}  // namespace op

// Hub registers.
namespace reg {
inline constexpr std::uint16_t kVersionBlock = 0x07F0;
inline constexpr std::uint16_t kSignature = 0x07FB;  // FLAG_REDUNDENT_REG_ADDRESS
inline constexpr std::uint16_t kSignatureNumber = 0x07FC;
inline constexpr std::uint16_t kEraseStatus = 0x07FF;
inline constexpr std::uint16_t kCpuReset = 0x5810;
inline constexpr std::uint16_t kChipRevision = 0x5820;
inline constexpr std::uint16_t kUsbStatus = 0x5821;
inline constexpr std::uint16_t kCpuStartPosition = 0x5846;  // CPU_START_POSITION_ADDR
inline constexpr std::uint16_t kWord = 0x6400;
}  // namespace reg

inline constexpr std::uint8_t kSignatureMark = 0x5A;
inline constexpr std::uint8_t kSignatureCleared = 0xFF;

// Result codes of the hub layer.
namespace rc {
inline constexpr int kOk = 0;
inline constexpr int kFailed = -1;
inline constexpr int kGenFailure = -3;
inline constexpr int kNoHub = -4;
inline constexpr int kNoEvent = -8;
inline constexpr int kBadArgument = -10;
}  // namespace rc

// Image layout in the hub's SPI flash.
inline constexpr std::uint32_t kImageSize = 0x10000;
inline constexpr std::uint32_t kConfigTableSize = 256;
inline constexpr std::uint32_t kFirmwareAreaOffset = 256;
inline constexpr std::uint32_t kEraseHalf = 0x8000;
inline constexpr std::uint16_t kMinFirmwareLength = 0x5000;
inline constexpr std::uint16_t kMaxFirmwareLength = 0xFFFE;
// The firmware's six version bytes start at this offset of the code.
inline constexpr std::uint32_t kVersionOffsetInCode = 0x200;

inline bool isValidFirmwareLength(std::uint32_t length) {
  return length >= kMinFirmwareLength && length <= kMaxFirmwareLength;
}

// The chip marker from bits 5-4 of version byte 3.
inline std::uint8_t chipMarkerFor(std::uint8_t versionByte3) {
  static constexpr std::array<std::uint8_t, 4> kMarkers{0xAA, 0x4B, 0x3C, 0x2D};
  return kMarkers[(versionByte3 >> 4) & 3];
}

// Chip family codes (bytes 8-10 of the version block) the program accepts.
inline constexpr std::array<std::array<std::uint8_t, 3>, 4> kAcceptedFamilies{{
    {7, 6, 3},  // HBX763x
    {7, 7, 3},  // HBX773x
    {8, 6, 3},  // HBX863x
    {9, 6, 3},  // HBX963x
}};

inline bool isAcceptedFamily(const std::uint8_t* versionBlock) {
  for (const auto& family : kAcceptedFamilies) {
    if (versionBlock[8] == family[0] && versionBlock[9] == family[1] && versionBlock[10] == family[2]) return true;
  }
  return false;
}

// The six header words, little-endian on the wire.
struct Header {
  std::uint32_t timeout = kDefaultTimeout;
  std::uint32_t kind = kKindVendor;
  std::uint32_t word2 = 0;  // vendor: reserved; generic: parameter 1
  std::uint32_t word3 = 0;  // vendor: opcode; generic: parameter 2
  std::uint32_t word4 = 0;  // vendor: value
  std::uint32_t word5 = 0;  // vendor: address

  static Header vendor(std::uint32_t opcode, std::uint32_t value, std::uint32_t address,
                       std::uint32_t timeout = kDefaultTimeout) {
    return Header{timeout, kKindVendor, 0, opcode, value, address};
  }
  static Header generic(std::uint32_t kind, std::uint32_t parameter1, std::uint32_t parameter2) {
    return Header{kDefaultTimeout, kind, parameter1, parameter2, 0, 0};
  }
};

inline void putU32(std::uint8_t* out, std::uint32_t v) {
  out[0] = static_cast<std::uint8_t>(v);
  out[1] = static_cast<std::uint8_t>(v >> 8);
  out[2] = static_cast<std::uint8_t>(v >> 16);
  out[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::uint32_t getU32(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
         (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

inline void encodeHeader(const Header& h, std::uint8_t* out) {
  putU32(out, h.timeout);
  putU32(out + 4, h.kind);
  putU32(out + 8, h.word2);
  putU32(out + 12, h.word3);
  putU32(out + 16, h.word4);
  putU32(out + 20, h.word5);
}

// The caller guarantees at least kHeaderSize bytes.
inline Header decodeHeader(const std::uint8_t* in) {
  return Header{getU32(in), getU32(in + 4), getU32(in + 8), getU32(in + 12), getU32(in + 16), getU32(in + 20)};
}

}  // namespace hbx::filter
