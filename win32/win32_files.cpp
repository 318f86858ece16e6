// Files with Windows semantics: share modes, creation dispositions, the
// access test and folders.
#include <windows.h>
#include <io.h>

#include <cerrno>

#include "win32/win32_handles.h"
#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

class Win32Files final : public platform::FilePort {
 public:
  platform::OpenResult createFile(const std::wstring& path, std::uint32_t access, std::uint32_t shareMode,
                                  std::uint32_t creation, std::uint32_t flags) override {
    HANDLE h = CreateFileW(path.c_str(), access, shareMode, nullptr, creation,
                           flags ? flags : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {platform::kInvalidHandle, GetLastError()};
    return {fromHandle(h), 0};
  }

  platform::FileIoResult readFile(platform::OsHandle file, std::uint8_t* buffer, std::uint32_t length) override {
    DWORD bytes = 0;
    if (!ReadFile(toHandle(file), buffer, length, &bytes, nullptr)) return {false, bytes, GetLastError()};
    return {true, bytes, 0};
  }

  platform::FileIoResult writeFile(platform::OsHandle file, const std::uint8_t* data, std::uint32_t length) override {
    DWORD bytes = 0;
    if (!WriteFile(toHandle(file), data, length, &bytes, nullptr)) return {false, bytes, GetLastError()};
    return {true, bytes, 0};
  }

  bool fileSize(platform::OsHandle file, std::int64_t& size, std::uint32_t& error) override {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(toHandle(file), &value)) {
      error = GetLastError();
      return false;
    }
    size = value.QuadPart;
    return true;
  }

  bool isDiskFile(platform::OsHandle file) override { return GetFileType(toHandle(file)) == FILE_TYPE_DISK; }

  void closeFile(platform::OsHandle file) override {
    if (file != platform::kInvalidHandle && file != platform::kNullHandle) CloseHandle(toHandle(file));
  }

  bool deleteFile(const std::wstring& path, std::uint32_t& error) override {
    return succeeded(DeleteFileW(path.c_str()), error);
  }
  bool createDirectory(const std::wstring& path, std::uint32_t& error) override {
    return succeeded(CreateDirectoryW(path.c_str(), nullptr), error);
  }
  bool removeDirectory(const std::wstring& path, std::uint32_t& error) override {
    return succeeded(RemoveDirectoryW(path.c_str()), error);
  }
  bool moveFileReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& error) override {
    return succeeded(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING), error);
  }

  std::uint32_t fileAttributes(const std::wstring& path, std::uint32_t& error) override {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
    return attributes;
  }

  int access(const std::wstring& path, int mode, int& crtErrno, std::uint32_t& error) override {
    SetLastError(0);
    errno = 0;
    const int result = _waccess(path.c_str(), mode);
    crtErrno = result == 0 ? 0 : errno;
    error = result == 0 ? 0 : GetLastError();
    return result;
  }

 private:
  static bool succeeded(BOOL ok, std::uint32_t& error) {
    error = ok ? 0 : GetLastError();
    return ok != FALSE;
  }
};

}  // namespace

platform::FilePort& filePort() {
  static Win32Files port;
  return port;
}

}  // namespace hbx::win32
