#include "hub/host/run_file_claim.h"

#include <algorithm>
#include <vector>

#include "image/source_file.h"
#include "platform/handles.h"

namespace hbx::runfile {

namespace {

bool exists(platform::FilePort& files, const std::wstring& path) {
  int crtErrno = 0;
  std::uint32_t error = 0;
  return files.access(path, 0, crtErrno, error) == 0;
}

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

}  // namespace

Found whatLiesAt(platform::FilePort& files, const std::wstring& path, const std::wstring& note,
                 std::span<const std::uint8_t> bytes) {
  if (!exists(files, path)) return Found::Nothing;
  if (!exists(files, note)) return Found::UsersFile;
  std::vector<std::uint8_t> held;
  const auto limit = static_cast<std::uint32_t>(bytes.size());
  const image::SourceRead read = image::readSourceFile(files, path, limit, held);
  if (read.step != image::ReadStep::Done) return Found::UsersFile;
  return std::equal(held.begin(), held.end(), bytes.begin()) ? Found::RunsCopy : Found::UsersFile;
}

bool claim(platform::FilePort& files, const std::wstring& note) {
  std::uint32_t error = 0;
  files.createDirectory(folderOf(note), error);  // an existing folder is fine
  const platform::OpenResult opened =
      files.createFile(note, platform::access::kGenericWrite, 0, platform::creation::kCreateAlways, 0);
  if (opened.handle == platform::kInvalidHandle) return false;
  files.closeFile(opened.handle);
  return true;
}

void release(platform::FilePort& files, const std::wstring& note) {
  std::uint32_t error = 0;
  if (exists(files, note)) files.deleteFile(note, error);
  files.removeDirectory(folderOf(note), error);
}

}  // namespace hbx::runfile
