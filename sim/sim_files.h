#pragma once
// Files on the simulated host, with the Windows semantics the program relies
// on: share modes between open handles, creation dispositions, the read-only
// attribute (a file without its owner-write bit), and the access test.
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files.h"
#include "sim/win_paths.h"

namespace hbx::sim {

class SimFiles : public platform::FilePort {
 public:
  explicit SimFiles(WinPaths& paths);
  ~SimFiles() override;

  platform::OpenResult createFile(const std::wstring& path, std::uint32_t access,
                                  std::uint32_t shareMode, std::uint32_t creation,
                                  std::uint32_t flags) override;
  platform::FileIoResult readFile(platform::OsHandle file, std::uint8_t* buffer,
                                  std::uint32_t length) override;
  platform::FileIoResult writeFile(platform::OsHandle file, const std::uint8_t* data,
                                   std::uint32_t length) override;
  bool fileSize(platform::OsHandle file, std::int64_t& size, std::uint32_t& error) override;
  bool isDiskFile(platform::OsHandle file) override;
  void closeFile(platform::OsHandle file) override;
  bool deleteFile(const std::wstring& path, std::uint32_t& error) override;
  bool createDirectory(const std::wstring& path, std::uint32_t& error) override;
  bool removeDirectory(const std::wstring& path, std::uint32_t& error) override;
  bool moveFileReplacing(const std::wstring& from, const std::wstring& to, std::uint32_t& error) override;
  int access(const std::wstring& path, int mode, int& crtErrno, std::uint32_t& error) override;
  std::uint32_t fileAttributes(const std::wstring& path, std::uint32_t& error) override;

  // Bench field killAtWriteTo: the process dies (SIGKILL) half-way through
  // its first write to a file of this name (any folder, any case).
  void killHalfWayThroughWriteTo(const std::string& fileName);
  // A full disk: every write to a file of this name stores one byte fewer
  // than asked, and says so.
  void shortWritesTo(const std::string& fileName);
  // Another program holds files of this name (any folder, any case) open
  // without sharing: opening or deleting one fails with a sharing violation.
  void heldByAnotherProgram(const std::string& fileName);
  // A folder the program may read but not change (its access rights, which
  // the simulator enforces itself since the tests run as root): creating,
  // writing or deleting a file or folder in it or below it fails with access
  // denied, and the access test finds it and its content not writable.
  void makeFolderReadOnly(const std::wstring& windowsPath);

 private:
  struct OpenFile {
    int fd = -1;
    std::filesystem::path hostPath;
    std::uint32_t access = 0;
    std::uint32_t share = 0;
  };
  bool sharingAllows(const std::filesystem::path& path, std::uint32_t access,
                     std::uint32_t share) const;
  // True for a read-only folder and everything below it.
  bool inReadOnlyFolder(const std::filesystem::path& hostPath) const;
  bool heldElsewhere(const std::filesystem::path& hostPath) const;

  WinPaths& paths_;
  mutable std::mutex mutex_;
  std::map<platform::OsHandle, OpenFile> open_;
  platform::OsHandle nextHandle_ = 0x1000;
  std::string killAtWriteTo_;  // lower case; empty: never
  std::string shortWriteTo_;   // lower case; empty: never
  std::string heldName_;       // lower case; empty: none
  std::vector<std::string> readOnlyFolders_;  // host paths, lower case
};

}  // namespace hbx::sim
