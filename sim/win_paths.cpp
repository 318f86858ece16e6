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

std::optional<fs::path> WinPaths::toHost(const std::wstring& windowsPath) const {
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
