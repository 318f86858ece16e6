#pragma once
// A whole update run on a simulated bench: the hubs of the bench are listed
// in the device list by their USB 3.0 device objects (as the scan would list
// them), the run is started through the Start button and waited for, and the
// hubs' flash, the status, the console and the log are there to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "hub/hub_utility.h"
#include "hub/device/zelt_hub_dev.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_host.h"
#include "sim/sim_system.h"
#include "ui/control_ids.h"
#include "image/version_rules.h"
#include "../sim/temp_folder.h"

namespace hbx::testing_run {

inline constexpr wchar_t kProgramFolder[] = L"C:\\HBX";
inline constexpr std::array<std::uint8_t, 6> kCarriedVersion{0x25, 0x03, 0x18, 0x25, 0x01, 0x0C};
inline constexpr std::array<std::uint8_t, 6> kOldVersion{0x25, 0x01, 0x15, 0x25, 0x00, 0x00};

// Keeps every log line, with the run's clock time it was written at.
class LogLines : public sim::SimSystem {
 public:
  explicit LogLines(sim::SimHost& host)
      : sim::SimSystem(host.paths(), L"C:\\HBX\\x.exe", nullptr), clock_(host.ports().clock) {}
  void outputDebugString(const std::wstring& text) override {
    const std::int64_t ms = clock_.performanceCounter() * 1000 / clock_.performanceFrequency();
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(text);
    times_.push_back(ms);
  }
  // The clock time in ms of the first line holding `part`; -1 when none does.
  std::int64_t timeOf(const std::wstring& part) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i].find(part) != std::wstring::npos) return times_[i];
    return -1;
  }
  // The clock times in ms of every line holding `part`.
  std::vector<std::int64_t> timesOf(const std::wstring& part) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::int64_t> times;
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i].find(part) != std::wstring::npos) times.push_back(times_[i]);
    return times;
  }
  int count(const std::wstring& part) {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const std::wstring& line) {
      return line.find(part) != std::wstring::npos;
    }));
  }
  bool has(const std::wstring& part) { return count(part) > 0; }
  // Every line, for a failure message.
  std::string all() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (const std::wstring& line : lines_) text += std::string(line.begin(), line.end());
    return text;
  }

 private:
  platform::ClockPort& clock_;
  std::mutex mutex_;
  std::vector<std::wstring> lines_;
  std::vector<std::int64_t> times_;
};

// A hub of the carried image's chip type (HBX773x, major type 2).
inline sim::hub::HubConfig targetHub(int number, std::array<std::uint8_t, 6> version = kOldVersion) {
  sim::hub::HubConfig hub = sim::hub::defaultHubBench().hubs[2];
  hub.name = "hub" + std::to_string(number);
  hub.serial = L"SN" + std::to_wstring(number);
  const int pdo = 10 + 2 * number;
  hub.usb3->pdoName = L"\\Device\\USBPDO-" + std::to_wstring(pdo);
  hub.usb2->pdoName = L"\\Device\\USBPDO-" + std::to_wstring(pdo + 1);
  hub.firmwareVersion = version;
  return hub;
}

inline sim::hub::HubBenchConfig benchOf(std::vector<sim::hub::HubConfig> hubs) {
  sim::hub::HubBenchConfig bench;
  bench.hubs = std::move(hubs);
  return bench;
}

// The filter driver's device object of a connection: "\\.\" + the PDO name
// after its last "\" with "-" as "_" + "0001".
inline std::wstring deviceObject(const std::wstring& pdoName) {
  std::wstring name = pdoName.substr(pdoName.rfind(L'\\') + 1);
  std::replace(name.begin(), name.end(), L'-', L'_');
  return L"\\\\.\\" + name + L"0001";
}

class RunFixture {
 public:
  // `depths`: the tier of each hub (1 on a root-hub port); missing ones are 1.
  // Runs are on virtual time (scale 0), so their time-outs never depend on
  // how the machine schedules the threads.
  explicit RunFixture(const sim::hub::HubBenchConfig& hubs, std::vector<std::uint8_t> depths = {},
                      double timeScale = 0)
      : depths_(std::move(depths)), host_(options(hubs, timeScale)) {
    pUtility = &utility;
    pFWUpdateDlg = &dialog;
    log::setDebugOutput(&log);
    log::vDEBUG_SetLevel(3);
    dialog.m_RunHooks.openDevices = [this](DeviceList* list) { return listHubs(list); };
    dialog.m_RunHooks.reEnumerateTargetHub = [this](std::uint8_t index) { return rereadVersion(index); };
  }
  ~RunFixture() {
    dialog.vWaitForRunEnd();
    log::setDebugOutput(nullptr);
    log::vDEBUG_SetLevel(0);
    pFWUpdateDlg = nullptr;
    pUtility = nullptr;
  }

  sim::SimHost& host() { return host_; }
  sim::hub::HubChip& chip(int k) { return *host_.hubBench().hubs()[static_cast<std::size_t>(k)]; }
  int hubCount() { return static_cast<int>(host_.hubBench().hubs().size()); }

  // An update with the carried image, as start-up prepares it.
  void useCarriedImage() {
    ASSERT_TRUE(dialog.vExtractBinFiles());
    const std::wstring path = std::wstring(kProgramFolder) + L"\\" + dialog.m_strDefaultFWFile;
    carriedImage = readFile(path);
    ASSERT_FALSE(carriedImage.empty());
    utility.m_strFWBinFilePath = path;
    dialog.m_bUpdate = 1;
    dialog.m_bMajorType = dialog.vIsValidHubFirmware(path);
  }

  void run() {
    dialog.OnBnClickedButtonStart();
    dialog.vWaitForRunEnd();
    expectTrueVerdict();
  }

  // What a PASS promises, after every run: an update that ends with 0 left
  // the image's version in image 0 of every hub of the image's chip type,
  // and every hub reported as passed holds it there.
  void expectTrueVerdict() {
    const bool update = dialog.m_bUpdate && !dialog.m_bExport && !dialog.m_bOutputVer && !dialog.m_bCmpSN;
    if (!update) return;
    const int n = std::min(hubCount(), static_cast<int>(kMaxDevices));
    if (exitCode() == 0) {
      for (int k = 0; k < n; ++k)
        if (chip(k).config().chipType() == dialog.m_bMajorType) {
          EXPECT_TRUE(bootsFileVersion(k)) << "exit 0, but hub " << k << " does not boot the new firmware";
        }
    }
    for (int k = 0; k < n; ++k) {
      const bool passed = console().find("The Hub[" + std::to_string(k) + "] FW Update PASS") != std::string::npos ||
                          log.has(L"Update FW PASS, target[" + std::to_wstring(k) + L"]");
      if (passed) {
        EXPECT_TRUE(bootsFileVersion(k)) << "hub " << k << " passed without the new firmware";
      }
    }
  }
  // Image 0 of hub k holds firmware its chip boots, of the run's version.
  bool bootsFileVersion(int k) {
    std::lock_guard<std::mutex> lock(host_.hubBench().mutex());
    const auto version = sim::hub::HubChip::validFirmware(chip(k).flash().image(0), chip(k).config().chipType());
    return version && version::bVersionEquals(version::strVersionFromBytes(*version), dialog.m_strCurFileFWVer);
  }

  std::wstring status() { return dialog.m_Model.itemText(ui::ctrl::kStatusText); }
  int exitCode() const { return dialog.m_iRet.load(); }
  std::string console() {
    std::lock_guard<std::mutex> lock(outputMutex_);
    return output_;
  }

  std::vector<std::uint8_t> flashImage(int k, std::uint32_t image) {
    std::lock_guard<std::mutex> lock(host_.hubBench().mutex());
    const std::uint8_t* bytes = chip(k).flash().image(image);
    return std::vector<std::uint8_t>(bytes, bytes + sim::hub::SpiFlash::kImageSize);
  }
  // The carried image's table is in both images, its firmware in image 0.
  bool hasCarriedImage(int k) {
    const std::size_t firmwareEnd = 256 + 260 + (carriedImage[256] | (carriedImage[257] << 8));
    const auto image0 = flashImage(k, 0);
    const auto image1 = flashImage(k, 1);
    return std::equal(carriedImage.begin(), carriedImage.begin() + static_cast<std::ptrdiff_t>(firmwareEnd),
                      image0.begin()) &&
           std::equal(carriedImage.begin(), carriedImage.begin() + 256, image1.begin());
  }
  std::wstring runningVersion(int k) {
    std::lock_guard<std::mutex> lock(host_.hubBench().mutex());
    return version::strVersionFromBytes(chip(k).runningVersion());
  }
  std::int64_t busArrival(int k) {
    std::lock_guard<std::mutex> lock(host_.hubBench().mutex());
    return chip(k).busArrival();
  }

  std::filesystem::path hostPath(const std::wstring& windowsPath) { return host_.hostPath(windowsPath); }
  std::vector<std::uint8_t> readFile(const std::wstring& windowsPath) {
    std::ifstream in(hostPath(windowsPath), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void writeFile(const std::wstring& windowsPath, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(hostPath(windowsPath), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Replaces how a reset hub is found again (default: its version re-read).
  std::function<bool(std::uint8_t)> reEnumerate;
  int listings = 0;

 private:
  sim::SimHostOptions options(const sim::hub::HubBenchConfig& hubs, double timeScale) {
    std::string error;
    EXPECT_TRUE(sim::hub::saveHubSection(folder_.path(), hubs, error)) << error;
    sim::SimHostOptions o;
    o.benchFolder = folder_.path();
    o.timeScale = timeScale;
    o.standardOutput = [this](const std::string& text) {
      std::lock_guard<std::mutex> lock(outputMutex_);
      output_ += text;
    };
    return o;
  }

  int listHubs(DeviceList* list) {
    ++listings;
    CZeltHubDev& dev = *utility.m_ZeltUSBLib.ensureHubDev();
    dev.m_pDevList = list;
    const int n = std::min(hubCount(), static_cast<int>(kMaxDevices));
    dev.m_DriverNum = static_cast<std::uint8_t>(n);
    list->DevNums = n;
    std::uint8_t maxDepth = 0;
    for (int k = 0; k < n; ++k) {
      DeviceListEntry& entry = list->Devs[static_cast<std::size_t>(k)];
      entry = DeviceListEntry{};
      const sim::hub::HubConfig& config = chip(k).config();
      entry.m_strObjectName = deviceObject(config.usb3->pdoName);
      entry.m_strFWVersion = runningVersion(k);
      entry.m_ucChipType = config.chipType();
      entry.m_ucHubDepth = k < static_cast<int>(depths_.size()) ? depths_[static_cast<std::size_t>(k)] : 1;
      entry.m_strVID = L"2e8b";
      entry.m_strSN = config.serial;
      entry.m_ucTargetNumber = static_cast<std::uint8_t>(k);
      vSetField(dev.m_DriverInfo[k].DeviceObjectName, entry.m_strObjectName);
      maxDepth = std::max(maxDepth, entry.m_ucHubDepth);
    }
    utility.m_MaxHubDepth = maxDepth;
    return n == 0 ? -4 : 0;
  }

  // The hub answers again once it is back on the bus; its version block
  // (register 0x07F0) names the firmware it booted.
  bool rereadVersion(std::uint8_t index) {
    if (reEnumerate) return reEnumerate(index);
    std::uint8_t block[16] = {};
    CZeltHubDev* dev = utility.m_ZeltUSBLib.hubDev();
    if (dev == nullptr || dev->HBX763xAccessRegister(index, block, 16, 0x07F0, 0) != 0) return false;
    dialog.m_DevList.Devs[index].m_strFWVersion =
        version::strVersionFromBytes(std::span<const std::uint8_t, 6>(block, 6));
    return true;
  }

  std::vector<std::uint8_t> depths_;
  testing::TempFolder folder_;
  std::mutex outputMutex_;
  std::string output_;
  sim::SimHost host_;

 public:
  CHubUtility utility{host_.ports()};
  ZAr763ORIdirevaVodoRev dialog{host_.ports(), utility};
  LogLines log{host_};
  std::vector<std::uint8_t> carriedImage;
};

}  // namespace hbx::testing_run
