#include "sim/hub/hub_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

namespace hbx::sim::hub {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kPage = 4096;

bool writeAll(int fd, const std::uint8_t* data, std::size_t length, off_t at) {
  while (length > 0) {
    const ssize_t n = ::pwrite(fd, data, length, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
    at += n;
  }
  return true;
}

// A new file beside `file`, renamed over it once written whole.
bool replaceFile(const fs::path& file, const std::uint8_t* data, std::size_t length) {
  const fs::path temporary = file.string() + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = writeAll(fd, data, length, 0);
  ::close(fd);
  std::error_code ec;
  if (written) fs::rename(temporary, file, ec);
  return written && !ec;
}

}  // namespace

HubFiles::HubFiles(const fs::path& folder, const std::string& hub)
    : flash_(folder / "hubs" / (hub + ".flash")),
      state_(folder / "hubs" / (hub + ".state")),
      lock_(folder / "hubs" / (hub + ".lock")) {}

HubFiles::~HubFiles() {
  if (flashFd_ >= 0) ::close(flashFd_);
  if (lockFd_ >= 0) ::close(lockFd_);
}

bool HubFiles::open() {
  std::error_code ec;
  fs::create_directories(lock_.parent_path(), ec);
  lockFd_ = ::open(lock_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  return lockFd_ >= 0;
}

void HubFiles::lock() {
  while (::flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void HubFiles::unlock() { ::flock(lockFd_, LOCK_UN); }

std::uint64_t HubFiles::generation() const {
  std::uint64_t value = 0;
  if (::pread(lockFd_, &value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) return 0;
  return value;
}

void HubFiles::setGeneration(std::uint64_t generation) {
  writeAll(lockFd_, reinterpret_cast<const std::uint8_t*>(&generation), sizeof generation, 0);
}

std::optional<std::vector<std::uint8_t>> HubFiles::readFlash(std::size_t size) {
  if (flashFd_ >= 0) ::close(flashFd_);
  flashFd_ = -1;
  std::ifstream in(flash_, std::ios::binary);
  std::vector<std::uint8_t> bytes(size + 1);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<std::size_t>(in.gcount()) != size) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

bool HubFiles::writeFlash(const std::vector<std::uint8_t>& bytes, std::uint32_t from, std::uint32_t length) {
  if (length == 0) return true;
  if (from / kPage == (from + length - 1) / kPage) {
    if (flashFd_ < 0) flashFd_ = ::open(flash_.c_str(), O_WRONLY | O_CLOEXEC);
    if (flashFd_ >= 0 && writeAll(flashFd_, bytes.data() + from, length, from)) return true;
  }
  if (flashFd_ >= 0) ::close(flashFd_);
  flashFd_ = -1;
  return replaceFile(flash_, bytes.data(), bytes.size());
}

std::optional<nlohmann::json> HubFiles::readState() const {
  std::ifstream in(state_);
  if (!in) return std::nullopt;
  nlohmann::json state = nlohmann::json::parse(in, nullptr, false);
  if (state.is_discarded()) return std::nullopt;
  return state;
}

bool HubFiles::writeState(const std::string& text) {
  const std::string line = text + "\n";
  return replaceFile(state_, reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
}

bool HubFiles::forgetState() {
  if (lockFd_ < 0 && !open()) return false;
  lock();
  std::error_code ec;
  fs::remove(state_, ec);
  setGeneration(generation() + 1);
  unlock();
  return true;
}

}  // namespace hbx::sim::hub
