#include "sim/hub/spi_flash.h"

#include <algorithm>
#include <system_error>

namespace hbx::sim::hub {

SpiFlash::SpiFlash() : bytes_(kSize, 0xFF) {}

bool SpiFlash::attachFile(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (std::filesystem::exists(file, ec) && std::filesystem::file_size(file, ec) == kSize) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> loaded(kSize);
    if (in.read(reinterpret_cast<char*>(loaded.data()), kSize)) bytes_ = std::move(loaded);
  } else {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes_.data()), kSize);
    if (!out) return false;
  }
  file_.emplace(file, std::ios::binary | std::ios::in | std::ios::out);
  if (!*file_) {
    file_.reset();
    return false;
  }
  return true;
}

void SpiFlash::writeThrough(std::uint32_t from, std::uint32_t length) {
  if (!file_ || length == 0) return;
  file_->seekp(from);
  file_->write(reinterpret_cast<const char*>(bytes_.data() + from), length);
  file_->flush();
}

void SpiFlash::eraseHalf(std::uint32_t image, std::uint32_t half, std::uint32_t bytes) {
  const std::uint32_t from = image * kImageSize + half * (kImageSize / 2);
  bytes = std::min(bytes, kImageSize / 2);
  std::fill_n(bytes_.begin() + from, bytes, 0xFF);
  writeThrough(from, bytes);
}

void SpiFlash::flipBit(std::uint32_t flashOffset) {
  if (flashOffset >= kSize) return;
  bytes_[flashOffset] ^= 0x01;
  writeThrough(flashOffset, 1);
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
  writeThrough(from, length);
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
  writeThrough(from, kImageSize);
}

}  // namespace hbx::sim::hub
