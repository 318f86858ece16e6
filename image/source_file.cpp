#include "image/source_file.h"

#include <new>

#include "platform/handles.h"
#include "base/log/format.h"
#include "image/source_check.h"
#include "image/temp_bin_file.h"

namespace hbx::image {

SourceRead readSourceFile(platform::FilePort& files, const std::wstring& path, std::uint32_t maxBytes,
                          std::vector<std::uint8_t>& out) {
  SourceRead result;
  out.clear();
  const platform::OpenResult opened = files.createFile(
      path, platform::access::kGenericRead, platform::share::kRead, platform::creation::kOpenExisting, 0);
  if (opened.handle == platform::kInvalidHandle) {
    result.error = opened.error;
    return result;
  }
  const platform::FileHandle file(files, opened.handle);
  if (!files.isDiskFile(file.get())) {
    result.error = platform::err::kAccessDenied;
    return result;
  }
  result.step = ReadStep::Size;
  if (files.fileSize(file.get(), result.size, result.error) && result.size >= 0) {
    result.step = ReadStep::TooLarge;
    if (static_cast<std::uint64_t>(result.size) <= maxBytes) {
      result.step = ReadStep::Memory;
      try {
        out.resize(static_cast<std::size_t>(result.size));
        result.step = ReadStep::Read;
      } catch (const std::bad_alloc&) {
        result.error = platform::err::kNotEnoughMemory;
      }
    }
  }
  if (result.step == ReadStep::Read) {
    const auto want = static_cast<std::uint32_t>(result.size);
    const platform::FileIoResult read = files.readFile(file.get(), out.data(), want);
    result.bytesRead = read.ok ? read.bytes : 0;
    if (read.ok && read.bytes == want) result.step = ReadStep::Done;
    else result.error = read.error;
  }
  if (result.step != ReadStep::Done) out.clear();
  return result;
}

LoadedSource loadSource(platform::FilePort& files, const std::wstring& path) {
  LoadedSource source;
  source.path = path;
  source.read = readSourceFile(files, path, kSourceFileMax, source.bytes);
  return source;
}

std::wstring sourceVersionText(const LoadedSource& source) {
  const SourceKind kind = sourceKindOf(source.path);
  if (kind == SourceKind::None || source.read.step != ReadStep::Done) return L"";
  const std::optional<VersionBytes> v = versionBytesAt(source.bytes, versionOffsetOf(kind));
  if (!v) return L"";
  return wformat(L"%02X%02X%02X%02X%02X%02X", (*v)[0], (*v)[1], (*v)[2], (*v)[3], (*v)[4], (*v)[5]);
}

}  // namespace hbx::image
