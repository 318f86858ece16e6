#include "platform/files.h"

#include "platform/handles.h"

namespace hbx::platform {

bool bIsRegularFile(FilePort& files, const std::wstring& path, std::uint32_t& error) {
  const std::uint32_t attributes = files.fileAttributes(path, error);
  return attributes != attr::kInvalidAttributes && (attributes & (attr::kDirectory | attr::kDevice)) == 0;
}

bool readWholeFile(FilePort& files, const std::wstring& path, std::vector<std::uint8_t>& out,
                   std::uint32_t& error) {
  OpenResult opened = files.createFile(path, access::kGenericRead, share::kRead,
                                       creation::kOpenExisting, 0);
  if (opened.handle == kInvalidHandle) {
    error = opened.error;
    return false;
  }
  const FileHandle file(files, opened.handle);
  std::int64_t size = 0;
  bool ok = files.fileSize(file.get(), size, error) && size >= 0 && size <= 0x7FFFFFFF;
  if (ok) {
    out.assign(static_cast<std::size_t>(size), 0);
    FileIoResult read = files.readFile(file.get(), out.data(), static_cast<std::uint32_t>(size));
    ok = read.ok && read.bytes == size;
    if (!ok) error = read.error;
  }
  return ok;
}

}  // namespace hbx::platform
