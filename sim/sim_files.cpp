#include "sim/sim_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <system_error>

namespace hbx::sim {

namespace fs = std::filesystem;
using platform::OsHandle;
namespace err = platform::err;

namespace {

constexpr std::uint32_t kErrorDirNotEmpty = 145;

bool isReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

std::uint32_t missingError(const fs::path& hostPath) {
  std::error_code ec;
  return fs::is_directory(hostPath.parent_path(), ec) ? err::kFileNotFound : err::kPathNotFound;
}

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

SimFiles::SimFiles(WinPaths& paths) : paths_(paths) {}

bool SimFiles::inReadOnlyFolder(const fs::path& hostPath) const {
  if (readOnlyFolders_.empty()) return false;
  const std::string path = lowerCase(hostPath.lexically_normal().string());
  for (const std::string& folder : readOnlyFolders_) {
    if (path == folder || (path.starts_with(folder) && path[folder.size()] == '/')) return true;
  }
  return false;
}

bool SimFiles::heldElsewhere(const fs::path& hostPath) const {
  return !heldName_.empty() && lowerCase(hostPath.filename().string()) == heldName_;
}

SimFiles::~SimFiles() {
  for (auto& [handle, file] : open_) ::close(file.fd);
}

bool SimFiles::sharingAllows(const fs::path& path, std::uint32_t access, std::uint32_t share) const {
  using namespace platform;
  for (const auto& [handle, other] : open_) {
    if (other.hostPath != path) continue;
    // Each side must allow what the other does.
    if ((access & access::kGenericRead) && !(other.share & share::kRead)) return false;
    if ((access & access::kGenericWrite) && !(other.share & share::kWrite)) return false;
    if ((other.access & access::kGenericRead) && !(share & share::kRead)) return false;
    if ((other.access & access::kGenericWrite) && !(share & share::kWrite)) return false;
  }
  return true;
}

platform::OpenResult SimFiles::createFile(const std::wstring& path, std::uint32_t access,
                                          std::uint32_t shareMode, std::uint32_t creation,
                                          std::uint32_t /*flags*/) {
  using namespace platform;
  const auto host = paths_.toHost(path);
  if (!host) return {kInvalidHandle, err::kPathNotFound};
  std::lock_guard<std::mutex> lock(mutex_);
  struct stat st {};
  const bool exists = ::stat(host->c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return {kInvalidHandle, err::kAccessDenied};
  if (creation == creation::kCreateNew && exists) return {kInvalidHandle, err::kFileExists};
  if (creation == creation::kOpenExisting && !exists) return {kInvalidHandle, missingError(*host)};
  if (!exists && !fs::is_directory(host->parent_path())) return {kInvalidHandle, err::kPathNotFound};
  if (exists && (access & access::kGenericWrite) && isReadOnly(st)) return {kInvalidHandle, err::kAccessDenied};
  if (!sharingAllows(*host, access, shareMode) || heldElsewhere(*host)) return {kInvalidHandle, err::kSharingViolation};
  if ((!exists || (access & access::kGenericWrite)) && inReadOnlyFolder(host->parent_path()))
    return {kInvalidHandle, err::kAccessDenied};

  // Never waits in open(): a pipe without a writer would hold the port's
  // lock, and with it every file operation of the process, for ever. Reads
  // of a disk file do not notice the flag.
  int oflags = O_CLOEXEC | O_NONBLOCK;
  const bool wantRead = access & access::kGenericRead;
  const bool wantWrite = access & access::kGenericWrite;
  oflags |= wantRead && wantWrite ? O_RDWR : wantWrite ? O_WRONLY : O_RDONLY;
  if (!exists) oflags |= O_CREAT;
  if (creation == creation::kCreateAlways && exists) oflags |= O_TRUNC;
  if (!wantWrite && !exists) oflags = (oflags & ~O_RDONLY) | O_RDWR;  // creating needs a writable fd
  const int fd = ::open(host->c_str(), oflags, 0644);
  if (fd < 0) return {kInvalidHandle, errno == ENOENT ? err::kPathNotFound : err::kAccessDenied};
  const OsHandle handle = nextHandle_;
  nextHandle_ += 4;
  open_[handle] = OpenFile{fd, *host, access, shareMode};
  return {handle, 0};
}

platform::FileIoResult SimFiles::readFile(OsHandle file, std::uint8_t* buffer, std::uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = open_.find(file);
  if (it == open_.end()) return {false, 0, err::kInvalidHandle};
  if (!(it->second.access & platform::access::kGenericRead)) return {false, 0, err::kAccessDenied};
  std::uint32_t total = 0;
  while (total < length) {
    const ssize_t n = ::read(it->second.fd, buffer + total, length - total);
    if (n < 0) return {false, total, err::kGenFailure};
    if (n == 0) break;
    total += static_cast<std::uint32_t>(n);
  }
  return {true, total, 0};
}

platform::FileIoResult SimFiles::writeFile(OsHandle file, const std::uint8_t* data, std::uint32_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = open_.find(file);
  if (it == open_.end()) return {false, 0, err::kInvalidHandle};
  if (!(it->second.access & platform::access::kGenericWrite)) return {false, 0, err::kAccessDenied};
  std::uint32_t total = 0;
  const std::string name = lowerCase(it->second.hostPath.filename().string());
  const bool killHalfWay = !killAtWriteTo_.empty() && name == killAtWriteTo_;
  if (killHalfWay) length = length / 2;
  if (length > 0 && !shortWriteTo_.empty() && name == shortWriteTo_) --length;
  while (total < length) {
    const ssize_t n = ::write(it->second.fd, data + total, length - total);
    if (n <= 0) return {false, total, err::kGenFailure};
    total += static_cast<std::uint32_t>(n);
  }
  if (killHalfWay) ::raise(SIGKILL);
  return {true, total, 0};
}

void SimFiles::killHalfWayThroughWriteTo(const std::string& fileName) {
  std::lock_guard<std::mutex> lock(mutex_);
  killAtWriteTo_ = lowerCase(fileName);
}

void SimFiles::shortWritesTo(const std::string& fileName) {
  std::lock_guard<std::mutex> lock(mutex_);
  shortWriteTo_ = lowerCase(fileName);
}

void SimFiles::heldByAnotherProgram(const std::string& fileName) {
  std::lock_guard<std::mutex> lock(mutex_);
  heldName_ = lowerCase(fileName);
}

void SimFiles::makeFolderReadOnly(const std::wstring& windowsPath) {
  const auto host = paths_.toHost(windowsPath);
  if (!host) return;
  std::string folder = lowerCase(host->lexically_normal().string());
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::lock_guard<std::mutex> lock(mutex_);
  readOnlyFolders_.push_back(folder);
}

bool SimFiles::fileSize(OsHandle file, std::int64_t& size, std::uint32_t& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = open_.find(file);
  struct stat st {};
  if (it == open_.end() || ::fstat(it->second.fd, &st) != 0) {
    error = err::kInvalidHandle;
    return false;
  }
  size = st.st_size;
  return true;
}

bool SimFiles::isDiskFile(OsHandle file) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = open_.find(file);
  struct stat st {};
  return it != open_.end() && ::fstat(it->second.fd, &st) == 0 && S_ISREG(st.st_mode);
}

void SimFiles::closeFile(OsHandle file) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = open_.find(file);
  if (it == open_.end()) return;
  ::close(it->second.fd);
  open_.erase(it);
}

bool SimFiles::deleteFile(const std::wstring& path, std::uint32_t& error) {
  const auto host = paths_.toHost(path);
  if (!host) {
    error = err::kPathNotFound;
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  struct stat st {};
  if (::stat(host->c_str(), &st) != 0) {
    error = missingError(*host);
    return false;
  }
  if (heldElsewhere(*host)) {
    error = err::kSharingViolation;
    return false;
  }
  if (S_ISDIR(st.st_mode) || isReadOnly(st) || inReadOnlyFolder(host->parent_path())) {
    error = err::kAccessDenied;
    return false;
  }
  for (const auto& [handle, other] : open_) {
    if (other.hostPath == *host && !(other.share & platform::share::kDelete)) {
      error = err::kSharingViolation;
      return false;
    }
  }
  if (::unlink(host->c_str()) != 0) {
    error = err::kAccessDenied;
    return false;
  }
  return true;
}

bool SimFiles::createDirectory(const std::wstring& path, std::uint32_t& error) {
  const auto host = paths_.toHost(path);
  if (!host) {
    error = err::kPathNotFound;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inReadOnlyFolder(host->parent_path())) {
      error = fs::exists(*host) ? err::kAlreadyExists : err::kAccessDenied;
      return false;
    }
  }
  if (::mkdir(host->c_str(), 0755) == 0) return true;
  error = errno == EEXIST ? err::kAlreadyExists : err::kPathNotFound;
  return false;
}

bool SimFiles::removeDirectory(const std::wstring& path, std::uint32_t& error) {
  const auto host = paths_.toHost(path);
  if (!host) {
    error = err::kPathNotFound;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (inReadOnlyFolder(*host) && fs::exists(*host)) {
      error = err::kAccessDenied;
      return false;
    }
  }
  if (::rmdir(host->c_str()) == 0) return true;
  error = errno == ENOTEMPTY || errno == EEXIST ? kErrorDirNotEmpty
          : errno == ENOENT                    ? err::kFileNotFound
                                               : err::kAccessDenied;
  return false;
}

bool SimFiles::moveFileReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& error) {
  const auto source = paths_.toHost(from);
  const auto target = paths_.toHost(to);
  if (!source || !target) {
    error = err::kPathNotFound;
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  struct stat st {};
  if (::stat(source->c_str(), &st) != 0) {
    error = missingError(*source);
    return false;
  }
  if (heldElsewhere(*source) || heldElsewhere(*target)) {
    error = err::kSharingViolation;
    return false;
  }
  if (S_ISDIR(st.st_mode) || inReadOnlyFolder(source->parent_path()) || inReadOnlyFolder(target->parent_path())) {
    error = err::kAccessDenied;
    return false;
  }
  for (const auto& [handle, other] : open_) {
    if ((other.hostPath == *source || other.hostPath == *target) && !(other.share & platform::share::kDelete)) {
      error = err::kSharingViolation;
      return false;
    }
  }
  if (::rename(source->c_str(), target->c_str()) == 0) return true;
  error = errno == ENOENT ? err::kPathNotFound : err::kAccessDenied;
  return false;
}

int SimFiles::access(const std::wstring& path, int mode, int& crtErrno, std::uint32_t& error) {
  const auto host = paths_.toHost(path);
  struct stat st {};
  if (!host || ::stat(host->c_str(), &st) != 0) {
    crtErrno = ENOENT;
    error = host ? missingError(*host) : err::kPathNotFound;
    return -1;
  }
  bool readOnly = isReadOnly(st);
  if (mode & 2) {
    std::lock_guard<std::mutex> lock(mutex_);
    readOnly = readOnly || inReadOnlyFolder(*host);
  }
  if ((mode & 2) && readOnly) {
    crtErrno = EACCES;
    error = err::kAccessDenied;
    return -1;
  }
  return 0;
}

std::uint32_t SimFiles::fileAttributes(const std::wstring& path, std::uint32_t& error) {
  namespace attr = platform::attr;
  const auto host = paths_.toHost(path);
  struct stat st {};
  if (!host || ::stat(host->c_str(), &st) != 0) {
    error = host ? missingError(*host) : err::kPathNotFound;
    return attr::kInvalidAttributes;
  }
  // A FIFO, socket or device node of this machine is what a device or pipe
  // is on Windows.
  if (S_ISDIR(st.st_mode)) return attr::kDirectory | (isReadOnly(st) ? attr::kReadOnly : 0);
  if (!S_ISREG(st.st_mode)) return attr::kDevice;
  return isReadOnly(st) ? attr::kReadOnly : attr::kNormal;
}

}  // namespace hbx::sim
