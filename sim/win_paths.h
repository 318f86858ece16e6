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
#include <thread>
#include <vector>

namespace hbx::sim {

class WinPaths {
 public:
  WinPaths(std::filesystem::path driveC, std::wstring currentDirectory);

  // The host path for a Windows path (absolute, drive-relative or relative to
  // the current directory) as the calling thread sees it. Existing components
  // are matched ignoring case; the rest are kept as written. Empty for a path
  // on an unknown drive or a device name ("\\.\...").
  std::optional<std::filesystem::path> toHost(const std::wstring& windowsPath) const;
  // The same as the 64-bit system sees it (the kernel, the bench, tests):
  // never redirected.
  std::optional<std::filesystem::path> toHostNative(const std::wstring& windowsPath) const;

  // File-system redirection of a 32-bit program on 64-bit Windows. It is
  // kept per thread, as Windows keeps it: on a thread that has not switched
  // it off, C:\Windows\System32 is the 32-bit C:\Windows\SysWOW64 (but for
  // the folders Windows exempts) and C:\Windows\Sysnative the real
  // System32. A setup tool the program starts runs on the starting thread
  // here, and so sees what a tool of the bitness that thread would start sees.
  void setWow64(bool wow64);
  void setRedirectionOff(bool off);  // for the calling thread
  bool redirectionOff() const;       // for the calling thread
  // The Windows path of a host path (on drive Z:).
  static std::wstring fromHost(const std::filesystem::path& hostPath);

  void setCurrentDirectory(const std::wstring& windowsPath);
  std::wstring currentDirectory() const;

  const std::filesystem::path& driveC() const { return driveC_; }

 private:
  std::optional<std::filesystem::path> resolve(const std::wstring& windowsPath, bool redirected) const;
  bool redirectedHere() const;

  std::filesystem::path driveC_;
  mutable std::mutex mutex_;
  std::wstring current_;
  bool wow64_ = false;
  std::map<std::thread::id, bool> redirectionOff_;
};

// Lower-cases ASCII letters, for Windows-style name comparison.
std::wstring foldCase(std::wstring text);

}  // namespace hbx::sim
