#pragma once
// A simulated computer with the utility object, and helpers to put files
// into the program folder and read them back.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "hub/hub_utility.h"
#include "sim/sim_host.h"
#include "sim/sim_system.h"

namespace hbx::testing_image {

inline constexpr wchar_t kProgramFolder[] = L"C:\\HBX";

// Keeps every line that reaches the debug-output channel.
class LogCapture : public sim::SimSystem {
 public:
  explicit LogCapture(sim::SimHost& host) : sim::SimSystem(host.paths(), L"C:\\HBX\\x.exe", nullptr) {}
  void outputDebugString(const std::wstring& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(text);
  }
  // True when some line contains `part`.
  bool has(const std::wstring& part) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::wstring& line : lines_)
      if (line.find(part) != std::wstring::npos) return true;
    return false;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<std::wstring> lines_;
};

class ImageFixture {
 public:
  ImageFixture() {
    pUtility = &utility;
    pFWUpdateDlg = &dialog;
    log::setDebugOutput(&log);
    log::vDEBUG_SetLevel(3);
  }
  ~ImageFixture() {
    log::setDebugOutput(nullptr);
    log::vDEBUG_SetLevel(0);
    pFWUpdateDlg = nullptr;
    pUtility = nullptr;
  }

  std::filesystem::path hostPath(const std::wstring& windowsPath) const { return host.hostPath(windowsPath); }

  // Writes a file into the program folder; returns its Windows path.
  std::wstring put(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const {
    const std::wstring path = std::wstring(kProgramFolder) + L"\\" + name;
    std::ofstream out(hostPath(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::vector<std::uint8_t> read(const std::wstring& windowsPath) const {
    std::ifstream in(hostPath(windowsPath), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  bool exists(const std::wstring& windowsPath) const { return std::filesystem::exists(hostPath(windowsPath)); }

  std::wstring tempBin() const { return std::wstring(kProgramFolder) + L"\\HBXFW_Temp\\TempBinData.bin"; }

  // Holds a file open as another program would (for its attributes only),
  // sharing reading and writing but not deletion, so that deleting it
  // fails; closed with the object.
  struct HeldOpen {
    HeldOpen(platform::FilePort& files, const std::wstring& path)
        : files(files),
          handle(files.createFile(path, 0, platform::share::kRead | platform::share::kWrite,
                                  platform::creation::kOpenExisting, 0)
                     .handle) {}
    ~HeldOpen() {
      if (handle != platform::kInvalidHandle) files.closeFile(handle);
    }
    platform::FilePort& files;
    platform::OsHandle handle;
  };

  sim::SimHost host{sim::SimHostOptions{}};
  CHubUtility utility{host.ports()};
  ZAr763ORIdirevaVodoRev dialog{host.ports(), utility};
  LogCapture log{host};
};

// Firmware code of n bytes with the version type byte `byte3` at 0x203.
inline std::vector<std::uint8_t> firmwareCode(std::size_t n, std::uint8_t byte3) {
  std::vector<std::uint8_t> code(n);
  for (std::size_t i = 0; i < n; ++i) code[i] = static_cast<std::uint8_t>(i * 13 + 5);
  if (n > 0x203) code[0x203] = byte3;
  return code;
}

// A whole image of n bytes whose version type byte (0x305) is `byte3`.
inline std::vector<std::uint8_t> configImage(std::size_t n, std::uint8_t byte3) {
  std::vector<std::uint8_t> image(n);
  for (std::size_t i = 0; i < n; ++i) image[i] = static_cast<std::uint8_t>(i * 3 + 1);
  if (n > 0x305) image[0x305] = byte3;
  return image;
}

// A whole image of n bytes that a hub of the major type in `byte3` boots:
// a sealed table and a firmware area of `length` code bytes.
inline std::vector<std::uint8_t> bootableImage(std::size_t n, std::uint8_t byte3, std::size_t length = 0x5000) {
  std::vector<std::uint8_t> image = configImage(n, byte3);
  std::uint8_t sum = 0;
  for (std::size_t i = 4; i < 255; ++i) sum = static_cast<std::uint8_t>(sum + image[i]);
  image[255] = sum;
  image[256] = static_cast<std::uint8_t>(length & 0xFF);
  image[257] = static_cast<std::uint8_t>(length >> 8);
  sum = 0;
  for (std::size_t i = 258; i < 258 + length; ++i) sum = static_cast<std::uint8_t>(sum + image[i]);
  static constexpr std::uint8_t kMarkers[4] = {0xAA, 0x4B, 0x3C, 0x2D};
  image[258 + length] = kMarkers[(byte3 >> 4) & 3];
  image[259 + length] = sum;
  return image;
}

inline std::uint8_t sumOf(const std::vector<std::uint8_t>& bytes) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
  return sum;
}

}  // namespace hbx::testing_image
