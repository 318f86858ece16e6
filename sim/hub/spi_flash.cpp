#include "sim/hub/spi_flash.h"

#include <algorithm>

namespace hbx::sim::hub {

SpiFlash::SpiFlash() : bytes_(kSize, 0xFF) {}

void SpiFlash::changed(std::uint32_t from, std::uint32_t length) {
  if (length == 0) return;
  changedFrom_ = std::min(changedFrom_, from);
  changedTo_ = std::max(changedTo_, from + length);
}

std::optional<SpiFlash::Range> SpiFlash::takeChanges() {
  if (changedFrom_ >= changedTo_) return std::nullopt;
  const Range range{changedFrom_, changedTo_ - changedFrom_};
  changedFrom_ = kSize;
  changedTo_ = 0;
  return range;
}

void SpiFlash::load(std::vector<std::uint8_t> content) {
  if (content.size() == kSize) bytes_ = std::move(content);
}

void SpiFlash::eraseHalf(std::uint32_t image, std::uint32_t half, std::uint32_t bytes) {
  const std::uint32_t from = image * kImageSize + half * (kImageSize / 2);
  bytes = std::min(bytes, kImageSize / 2);
  std::fill_n(bytes_.begin() + from, bytes, 0xFF);
  changed(from, bytes);
}

void SpiFlash::flipBit(std::uint32_t flashOffset) {
  if (flashOffset >= kSize) return;
  bytes_[flashOffset] ^= 0x01;
  changed(flashOffset, 1);
}

std::uint32_t SpiFlash::program(std::uint32_t image, std::uint32_t offset, const std::uint8_t* data,
                                std::uint32_t length) {
  if (offset >= kImageSize) return 0;
  length = std::min(length, kImageSize - offset);
  const std::uint32_t from = image * kImageSize + offset;
  std::uint32_t corrupted = 0;
  for (std::uint32_t i = 0; i < length; ++i) {
    std::uint8_t& cell = bytes_[from + i];
    if ((data[i] & ~cell) != 0) ++corrupted;
    cell = static_cast<std::uint8_t>(cell & data[i]);
  }
  changed(from, length);
  return corrupted;
}

void SpiFlash::read(std::uint32_t image, std::uint32_t offset, std::uint8_t* out, std::uint32_t length) const {
  for (std::uint32_t i = 0; i < length; ++i) {
    const std::uint32_t at = offset + i;
    out[i] = at < kImageSize ? bytes_[image * kImageSize + at] : 0xFF;
  }
}

void SpiFlash::setImage(std::uint32_t image, const std::vector<std::uint8_t>& content) {
  const std::uint32_t from = image * kImageSize;
  std::fill_n(bytes_.begin() + from, kImageSize, 0xFF);
  std::copy_n(content.begin(), std::min<std::size_t>(content.size(), kImageSize), bytes_.begin() + from);
  changed(from, kImageSize);
}

}  // namespace hbx::sim::hub
