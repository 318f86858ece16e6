#pragma once
// The simulated host's file namespace: Windows paths mapped onto folders of
// this machine. Drive Z: is this machine's root ("Z:\tmp\x" is "/tmp/x"),
// drive C: is the bench's own folder. Names resolve without regard to letter
// case, as on Windows.
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace hbx::sim {

class WinPaths {
 public:
  WinPaths(std::filesystem::path driveC, std::wstring currentDirectory);

  // The host path for a Windows path (absolute, drive-relative or relative to
  // the current directory). Existing components are matched ignoring case;
  // the rest are kept as written. Empty for a path on an unknown drive or a
  // device name ("\\.\...").
  std::optional<std::filesystem::path> toHost(const std::wstring& windowsPath) const;
  // The Windows path of a host path (on drive Z:).
  static std::wstring fromHost(const std::filesystem::path& hostPath);

  void setCurrentDirectory(const std::wstring& windowsPath);
  std::wstring currentDirectory() const;

  const std::filesystem::path& driveC() const { return driveC_; }

 private:
  std::filesystem::path driveC_;
  mutable std::mutex mutex_;
  std::wstring current_;
};

// Lower-cases ASCII letters, for Windows-style name comparison.
std::wstring foldCase(std::wstring text);

}  // namespace hbx::sim
