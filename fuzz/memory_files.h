#pragma once
// A file port holding one file in memory, for the fuzz targets: it serves the
// file's bytes and can be told to fail or cut short a step.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/files.h"

namespace hbx::fuzz {

class MemoryFiles : public platform::FilePort {
 public:
  std::vector<std::uint8_t> content;
  bool failOpen = false, failSize = false;
  std::uint32_t readLimit = 0xFFFFFFFFu;  // bytes a read delivers at most

  platform::OpenResult createFile(const std::wstring&, std::uint32_t, std::uint32_t, std::uint32_t,
                                  std::uint32_t) override {
    if (failOpen) return {platform::kInvalidHandle, platform::err::kFileNotFound};
    ++opened;
    return {1, 0};
  }
  platform::FileIoResult readFile(platform::OsHandle, std::uint8_t* buffer, std::uint32_t length) override {
    const std::uint32_t n = std::min<std::uint32_t>({length, readLimit, static_cast<std::uint32_t>(content.size())});
    if (n > 0) std::memcpy(buffer, content.data(), n);
    return {true, n, 0};
  }
  platform::FileIoResult writeFile(platform::OsHandle, const std::uint8_t*, std::uint32_t) override {
    return {false, 0, platform::err::kAccessDenied};
  }
  bool fileSize(platform::OsHandle, std::int64_t& size, std::uint32_t& error) override {
    if (failSize) {
      error = platform::err::kInvalidHandle;
      return false;
    }
    size = static_cast<std::int64_t>(content.size());
    return true;
  }
  bool isDiskFile(platform::OsHandle) override { return true; }
  void closeFile(platform::OsHandle) override { --opened; }
  bool deleteFile(const std::wstring&, std::uint32_t&) override { return false; }
  bool createDirectory(const std::wstring&, std::uint32_t&) override { return false; }
  bool removeDirectory(const std::wstring&, std::uint32_t&) override { return false; }
  bool moveFileReplacing(const std::wstring&, const std::wstring&, std::uint32_t&) override { return false; }
  int access(const std::wstring&, int, int&, std::uint32_t&) override { return -1; }
  std::uint32_t fileAttributes(const std::wstring&, std::uint32_t&) override { return platform::attr::kNormal; }

  int opened = 0;  // handles still open
};

}  // namespace hbx::fuzz
