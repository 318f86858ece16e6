#pragma once
// Reading a whole source file through the file port, step by step, so that
// each caller can report the step that failed with its own log line.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"

namespace hbx::image {

enum class ReadStep {
  Done,
  Open,      // CreateFileW failed
  Size,      // GetFileSizeEx failed
  TooLarge,  // over the caller's limit; nothing was read
  Memory,    // no buffer of that size
  Read,      // a failed or short read
};

struct SourceRead {
  ReadStep step = ReadStep::Open;
  std::uint32_t error = 0;  // the system error of the failed step
  std::int64_t size = 0;    // known from ReadStep::TooLarge on
  std::uint32_t bytesRead = 0;
};

// Opens `path` for reading (share read, open existing) and reads all of it
// into `out` when it holds at most `maxBytes`. The file is closed on return.
SourceRead readSourceFile(platform::FilePort& files, const std::wstring& path, std::uint32_t maxBytes,
                          std::vector<std::uint8_t>& out);

// The version text ("%02X" six times) read from the content of the source
// `path`, by the offsets of its kind; empty when the file holds none.
std::wstring readSourceVersion(platform::FilePort& files, const std::wstring& path);

}  // namespace hbx::image
