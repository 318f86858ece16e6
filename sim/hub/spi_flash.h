#pragma once
// The hub's SPI flash: two 64 KiB images with NOR semantics. An erase sets a
// half image to 0xFF; programming can only clear bits, so programming over
// data that was not erased leaves the AND of old and new. It remembers the
// range it changed, so a bench folder stores each change at once and an
// interrupted run leaves the file as a real part would be left.
#include <cstdint>
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
  // The flash offsets changed since the last call, as one range.
  struct Range {
    std::uint32_t from = 0;
    std::uint32_t length = 0;
  };
  std::optional<Range> takeChanges();
  // The whole content, image 0 then image 1.
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  // Takes the content as stored elsewhere (`content` has kSize bytes); not a change.
  void load(std::vector<std::uint8_t> content);
  // Counts the whole content as changed (it is to be stored anew).
  void markAllChanged() { changed(0, kSize); }

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
  void changed(std::uint32_t from, std::uint32_t length);

  std::vector<std::uint8_t> bytes_;
  std::uint32_t changedFrom_ = kSize;  // kSize: nothing changed
  std::uint32_t changedTo_ = 0;
};

}  // namespace hbx::sim::hub
