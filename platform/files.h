#pragma once
// Files where Windows semantics matter: share modes, CREATE_NEW, the access
// test, folders. Paths are Windows paths; the program joins them with "\".
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_io.h"
#include "platform/os_types.h"

namespace hbx::platform {

struct FileIoResult {
  bool ok = false;
  std::uint32_t bytes = 0;
  std::uint32_t error = 0;
};

class FilePort {
 public:
  virtual ~FilePort() = default;

  // CreateFileW on a file: access (GENERIC_*), share mode, creation
  // disposition and flags. Fails with the system error (80 for CREATE_NEW on
  // an existing file, 32 for a sharing violation, 2/3 for a missing path).
  virtual OpenResult createFile(const std::wstring& path, std::uint32_t access,
                                std::uint32_t shareMode, std::uint32_t creation,
                                std::uint32_t flags) = 0;
  virtual FileIoResult readFile(OsHandle file, std::uint8_t* buffer, std::uint32_t length) = 0;
  virtual FileIoResult writeFile(OsHandle file, const std::uint8_t* data, std::uint32_t length) = 0;
  // GetFileSizeEx.
  virtual bool fileSize(OsHandle file, std::int64_t& size, std::uint32_t& error) = 0;
  // GetFileType(file) == FILE_TYPE_DISK: the open handle is a file on a disk,
  // not a pipe or a device that a whole read would wait on for ever.
  virtual bool isDiskFile(OsHandle file) = 0;
  virtual void closeFile(OsHandle file) = 0;
  // DeleteFileW / CreateDirectoryW / RemoveDirectoryW (empty folders only).
  virtual bool deleteFile(const std::wstring& path, std::uint32_t& error) = 0;
  virtual bool createDirectory(const std::wstring& path, std::uint32_t& error) = 0;
  virtual bool removeDirectory(const std::wstring& path, std::uint32_t& error) = 0;
  // MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING): a file renamed within
  // its folder, replacing a file of the new name.
  virtual bool moveFileReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& error) = 0;
  // _waccess(path, mode): mode 0 existence, 2 write, 4 read, 6 read and
  // write. Returns 0 when allowed, else -1 with `crtErrno` (ENOENT 2,
  // EACCES 13) and the system error.
  virtual int access(const std::wstring& path, int mode, int& crtErrno,
                     std::uint32_t& error) = 0;
  // GetFileAttributesW: the attribute bits below, or kInvalidAttributes with
  // the system error when the path cannot be looked at.
  virtual std::uint32_t fileAttributes(const std::wstring& path, std::uint32_t& error) = 0;
};

namespace attr {
inline constexpr std::uint32_t kReadOnly = 0x01;
inline constexpr std::uint32_t kDirectory = 0x10;
// Anything that is neither a folder nor a file on a disk: a device, a pipe.
inline constexpr std::uint32_t kDevice = 0x40;
inline constexpr std::uint32_t kNormal = 0x80;
inline constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;
}  // namespace attr

// A file on a disk that can be read: no folder, device or pipe, which would
// block or mislead a reader of its whole content.
bool bIsRegularFile(FilePort& files, const std::wstring& path, std::uint32_t& error);

// Reads a whole file through the port; false with the system error on failure.
bool readWholeFile(FilePort& files, const std::wstring& path, std::vector<std::uint8_t>& out,
                   std::uint32_t& error);

}  // namespace hbx::platform
