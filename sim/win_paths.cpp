#include "sim/win_paths.h"

#include <system_error>
#include <vector>

#include "base/log/format.h"

namespace hbx::sim {

namespace fs = std::filesystem;

std::wstring foldCase(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

WinPaths::WinPaths(fs::path driveC, std::wstring currentDirectory)
    : driveC_(std::move(driveC)), current_(std::move(currentDirectory)) {}

void WinPaths::setCurrentDirectory(const std::wstring& windowsPath) {
  std::lock_guard<std::mutex> lock(mutex_);
  current_ = windowsPath;
}

std::wstring WinPaths::currentDirectory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

namespace {

std::vector<std::wstring> splitComponents(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstring piece;
  for (wchar_t c : path) {
    if (c == L'\\' || c == L'/') {
      if (!piece.empty()) parts.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) parts.push_back(piece);
  return parts;
}

}  // namespace

void WinPaths::setWow64(bool wow64) {
  std::lock_guard<std::mutex> lock(mutex_);
  wow64_ = wow64;
}

void WinPaths::setRedirectionOff(bool off) {
  std::lock_guard<std::mutex> lock(mutex_);
  redirectionOff_[std::this_thread::get_id()] = off;
}

bool WinPaths::redirectionOff() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = redirectionOff_.find(std::this_thread::get_id());
  return it != redirectionOff_.end() && it->second;
}

bool WinPaths::redirectedHere() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = redirectionOff_.find(std::this_thread::get_id());
  return wow64_ && (it == redirectionOff_.end() || !it->second);
}

std::optional<fs::path> WinPaths::toHost(const std::wstring& windowsPath) const {
  return resolve(windowsPath, redirectedHere());
}

std::optional<fs::path> WinPaths::toHostNative(const std::wstring& windowsPath) const {
  return resolve(windowsPath, false);
}

namespace {

// The components below C:\Windows as a 32-bit program sees them with
// redirection on: System32 is SysWOW64, but for the folders Windows leaves
// alone; Sysnative is the real System32.
void redirectSystemFolder(std::vector<std::wstring>& parts) {
  if (parts.size() < 2 || foldCase(parts[0]) != L"windows") return;
  const std::wstring folder = foldCase(parts[1]);
  if (folder == L"sysnative") {
    parts[1] = L"System32";
    return;
  }
  if (folder != L"system32") return;
  if (parts.size() >= 3) {
    const std::wstring below = foldCase(parts[2]);
    for (const wchar_t* exempt : {L"catroot", L"catroot2", L"driverstore", L"logfiles", L"spool"}) {
      if (below == exempt) return;
    }
    if (below == L"drivers" && parts.size() >= 4 && foldCase(parts[3]) == L"etc") return;
  }
  parts[1] = L"SysWOW64";
}

}  // namespace

std::optional<fs::path> WinPaths::resolve(const std::wstring& windowsPath, bool redirected) const {
  if (windowsPath.rfind(L"\\\\.\\", 0) == 0 || windowsPath.rfind(L"\\\\?\\", 0) == 0) return std::nullopt;
  std::wstring full = windowsPath;
  const bool hasDrive = full.size() >= 2 && full[1] == L':';
  if (!hasDrive) {
    const std::wstring cwd = currentDirectory();
    if (!full.empty() && (full[0] == L'\\' || full[0] == L'/')) {
      full = cwd.substr(0, 2) + full;  // drive-relative: same drive as the current folder
    } else {
      full = cwd + L"\\" + full;
    }
  }
  if (full.size() < 2 || full[1] != L':') return std::nullopt;
  const wchar_t drive = static_cast<wchar_t>(full[0] | 0x20);
  fs::path root;
  if (drive == L'z') root = "/";
  else if (drive == L'c') root = driveC_;
  else return std::nullopt;

  // Resolve "." and ".." first, then match each component ignoring case.
  std::vector<std::wstring> parts;
  for (const std::wstring& part : splitComponents(full.substr(2))) {
    if (part == L".") continue;
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  if (redirected && drive == L'c') redirectSystemFolder(parts);
  fs::path host = root;
  bool matching = true;
  for (const std::wstring& part : parts) {
    const fs::path exact = host / fs::path(toUtf8(part));
    std::error_code ec;
    if (!matching || fs::exists(exact, ec)) {
      host = exact;
      continue;
    }
    std::optional<fs::path> found;
    const std::wstring wanted = foldCase(part);
    for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
      if (foldCase(fromUtf8(it->path().filename().string())) == wanted) {
        found = it->path();
        break;
      }
    }
    if (found) {
      host = *found;
    } else {
      host = exact;
      matching = false;
    }
  }
  return host;
}

std::wstring WinPaths::fromHost(const fs::path& hostPath) {
  std::wstring text = fromUtf8(fs::absolute(hostPath).lexically_normal().string());
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  while (text.size() > 1 && text.back() == L'\\') text.pop_back();
  return L"Z:" + text;
}

}  // namespace hbx::sim
