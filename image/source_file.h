#pragma once
// Reading a whole source file through the file port, step by step, so that
// each caller can report the step that failed with its own log line.
#include <cstdint>
#include <span>
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
// into `out` when it holds at most `maxBytes`. Anything but a file on a disk
// (a pipe, a device) fails at ReadStep::Open with access denied, before any
// read that could wait. The file is closed on return.
SourceRead readSourceFile(platform::FilePort& files, const std::wstring& path, std::uint32_t maxBytes,
                          std::vector<std::uint8_t>& out);

// A firmware source as one read of its file found it. A run reads its source
// once and takes every later look (classification, version, staging, digest,
// report) from these bytes: a file renamed over the source, or changed, in
// the middle of a run changes nothing of what the run checks and writes.
struct LoadedSource {
  std::wstring path;
  SourceRead read;
  std::vector<std::uint8_t> bytes;  // the whole file when read.step is Done
};
LoadedSource loadSource(platform::FilePort& files, const std::wstring& path);

// The version text ("%02X" six times) in the content of the source, by the
// offsets of the kind its name tells; empty when the content holds none.
std::wstring sourceVersionText(const LoadedSource& source);

}  // namespace hbx::image
