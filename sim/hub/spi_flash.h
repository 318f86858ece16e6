#pragma once
// The hub's SPI flash: two 64 KiB images with NOR semantics. An erase sets a
// half image to 0xFF; programming can only clear bits, so programming over
// data that was not erased leaves the AND of old and new. With a backing file
// every change is written through at once, so an interrupted run leaves the
// file as a real part would be left.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace hbx::sim::hub {

class SpiFlash {
 public:
  static constexpr std::uint32_t kImageSize = 0x10000;
  static constexpr std::uint32_t kImages = 2;
  static constexpr std::uint32_t kSize = kImageSize * kImages;

  // Erased (all 0xFF), in memory.
  SpiFlash();
  // Binds a backing file: its content is loaded when it has the flash's size,
  // else the current content is written to it. False when it cannot be written.
  bool attachFile(const std::filesystem::path& file);

  // `half` 0 is the first 32 KiB of the image, 1 the second. `bytes` less
  // than the half: an erase cut short (the rest keeps its content).
  void eraseHalf(std::uint32_t image, std::uint32_t half, std::uint32_t bytes = kImageSize / 2);
  // A bit error: the byte at a flash offset (0 to kSize - 1) changes bit 0.
  void flipBit(std::uint32_t flashOffset);
  // Programs bytes at an image offset; bytes past the image end are dropped.
  // Returns how many bytes had bits that programming could not set (a write
  // without erase).
  std::uint32_t program(std::uint32_t image, std::uint32_t offset, const std::uint8_t* data, std::uint32_t length);
  // Bytes past the image end read as 0xFF.
  void read(std::uint32_t image, std::uint32_t offset, std::uint8_t* out, std::uint32_t length) const;
  // Replaces a whole image (bench set-up, not a device operation).
  void setImage(std::uint32_t image, const std::vector<std::uint8_t>& content);
  const std::uint8_t* image(std::uint32_t image) const { return bytes_.data() + image * kImageSize; }

 private:
  void writeThrough(std::uint32_t from, std::uint32_t length);

  std::vector<std::uint8_t> bytes_;
  std::optional<std::fstream> file_;
};

}  // namespace hbx::sim::hub
