#pragma once
// A whole run of the program on a bench folder written by the test: the
// hubs and the USB tree of bench.json, the program started in-process with
// its command line, and afterwards the exit code, the last status the
// dialog showed, the standard output, the debug log and the hubs' flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "update/ini.h"
#include "app/program.h"
#include "sim/hub/hub_bench.h"
#include "sim/hub/hub_chip.h"
#include "sim/registry_file.h"
#include "sim/sim_clock.h"
#include "sim/sim_host.h"
#include "sim/sim_payloads.h"
#include "sim/sim_system.h"
#include "tests/sim/temp_folder.h"
#include "ui/control_ids.h"
#include "ui/dialog_view.h"

namespace hbx::testing::e2e {

inline constexpr char kOldVersion[] = "250115250000";
inline constexpr char kCarriedVersion[] = "25031825010c";

// One hub of the carried image's chip type (HBX773x) with both functions.
struct Hub {
  std::string name;
  std::string version = kOldVersion;
  std::string serial;
  std::vector<Hub> below;  // on its ports 1, 2, ...
  std::string family = "HBX773x";
  std::string extraKeys;  // more keys of its "hubs" entry, as JSON text
};

inline Hub hub(std::string name, std::string version = kOldVersion, std::string serial = "", std::vector<Hub> below = {}) {
  Hub h;
  h.name = std::move(name);
  h.version = std::move(version);
  h.serial = std::move(serial);
  h.below = std::move(below);
  return h;
}

// Sees the dialog's status text each time the modal loop draws it; nobody
// answers, so the dialog ends by itself when the run is over.
class StatusView : public ui::DialogView {
 public:
  void open() override {}
  void close() override {}
  bool wantsPicture() override { return true; }
  void present() override {}
  void draw(ui::DialogControls& controls, const ui::ViewState&) override {
    if (const ui::CWndControl* item = controls.item(ui::ctrl::kStatusText)) status = item->GetText();
  }
  ui::UserAction takeAction() override { return ui::UserAction::kNoOneThere; }
  std::wstring status;
};

class E2eRun {
 public:
  // `roots`: the hubs on the ports 1, 2, ... of one controller. Runs are on
  // virtual time (scale 0) unless a scale is given.
  explicit E2eRun(const std::vector<Hub>& roots, double timeScale = 0) : timeScale_(timeScale) {
    writeBench(roots);
    startHost();
  }

  // The next program run on the same bench folder, after bench.json was
  // written again for `roots` (other faults, say): a new simulated host that
  // finds what the last run left (flash, running hubs, registry, files).
  void nextRun(const std::vector<Hub>& roots) {
    host_.reset();
    output_.clear();
    view_.status.clear();
    writeBench(roots);
    startHost();
  }
  // The next run on a computer with the faults of bench.json's "host"
  // section `hostSection` (a JSON object).
  void withHostFaults(const std::string& hostSection, const std::vector<Hub>& roots) {
    hostSection_ = hostSection;
    nextRun(roots);
  }
  // The same computer started again with `roots` (their faults, say, gone)
  // after a power cycle: the hubs boot from the flash the runs so far left.
  void reopen(const std::vector<Hub>& roots) {
    nextRun(roots);
    powerCycle();
  }

  // The version the hubs must boot after an update that ends with 0.
  std::array<std::uint8_t, 6> newVersion{0x25, 0x03, 0x18, 0x25, 0x01, 0x0C};

  // Every hub of the bench off and on again (hubbench power-cycle).
  void powerCycle() {
    std::lock_guard<std::mutex> lock(host_->hubBench().mutex());
    host_->hubBench().powerCycle(host_->clock().performanceCounter());
  }

 private:
  void writeBench(const std::vector<Hub>& roots) {
    std::string hubs;
    std::string usb3;
    std::string usb2;
    int pdo = 20;
    hubs_.clear();
    // On the root hub the USB 2.0 functions sit on ports 11 and up.
    for (std::size_t p = 0; p < roots.size(); ++p) {
      describe(roots[p], static_cast<int>(p + 1), static_cast<int>(p + 11), pdo, hubs, usb3, usb2);
    }
    // The filter driver is installed: these runs are about the update.
    const std::string host = hostSection_.empty() ? "" : R"("host": )" + hostSection_ + ",";
    const std::string bench = "{" + host + R"("hubs": {"driverInstalled": true, "devices": [)" + hubs + R"(]},
      "usb": {"controllers": [{"path": "\\\\?\\PCI#VEN_3A7F&DEV_7630#4&1&0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}",
        "description": "Corvane Host", "ports": 20, "devices": [)" + usb3 + (usb2.empty() ? "" : "," + usb2) + "]}]}}";
    folder_.write("bench.json", bench);
  }

  void startHost() {
    sim::SimHostOptions options;
    options.benchFolder = folder_.path();
    options.timeScale = timeScale_;
    options.debugLogFile = folder_.path() / "debug.log";
    options.standardOutput = [this](const std::string& text) {
      std::lock_guard<std::mutex> lock(outputMutex_);
      output_ += text;
    };
    host_ = std::make_unique<sim::SimHost>(options);
    EXPECT_EQ(host_->benchError(), "");
  }

 public:

  // The carried settings with `key` set to `value`.
  void carrySetting(const std::string& key, int value) {
    const auto carried = host_->payloads().payload(Ini::kResourceType, Ini::kResourceId);
    ASSERT_TRUE(carried);
    std::string text(carried->begin(), carried->end());
    const std::size_t at = text.find(key + "=");
    ASSERT_NE(at, std::string::npos) << key;
    text.replace(at, text.find('\n', at) - at, key + "=" + std::to_string(value));
    host_->payloads().replace(Ini::kResourceType, Ini::kResourceId, std::vector<std::uint8_t>(text.begin(), text.end()));
  }

  int run(const std::wstring& line) {
    const std::size_t logStart = debugLog().size();
    const std::size_t outputStart = output().size();
    const int code = app::runProgram(host_->ports(), line, &view_);
    expectTrueVerdict(line, code, debugLog().substr(logStart), output().substr(outputStart));
    return code;
  }

  // Image 0 of the hub holds firmware its chip boots, of `newVersion`.
  bool bootsNewVersion(const std::string& name) {
    std::lock_guard<std::mutex> lock(host_->hubBench().mutex());
    sim::hub::HubChip* chip = host_->hubBench().hub(name);
    const auto version = sim::hub::HubChip::validFirmware(chip->flash().image(0), chip->config().chipType());
    return version && *version == newVersion;
  }

  sim::SimHost& host() { return *host_; }
  const std::wstring& status() const { return view_.status; }
  std::string output() {
    std::lock_guard<std::mutex> lock(outputMutex_);
    return output_;
  }
  std::string debugLog() { return readText(folder_.path() / "debug.log"); }
  // The registry as the bench folder keeps it between runs.
  sim::RegistryKeys registry() {
    auto keys = sim::loadRegistryFile(folder_.path() / "registry.json");
    EXPECT_TRUE(keys.has_value());
    return keys.value_or(sim::RegistryKeys());
  }
  std::string file(const std::wstring& windowsPath) { return readText(host_->hostPath(windowsPath)); }

  std::vector<std::uint8_t> carriedImage() {
    const auto image = host_->payloads().payload(L"BIN", 166);
    return image ? *image : std::vector<std::uint8_t>();
  }
  std::vector<std::uint8_t> flashImage(const std::string& name, std::uint32_t image) {
    std::lock_guard<std::mutex> lock(host_->hubBench().mutex());
    const std::uint8_t* bytes = host_->hubBench().hub(name)->flash().image(image);
    return std::vector<std::uint8_t>(bytes, bytes + sim::hub::SpiFlash::kImageSize);
  }
  // The carried image's configuration table is in both images of the hub's
  // flash and its firmware in image 0.
  bool holdsCarriedImage(const std::string& name) {
    const std::vector<std::uint8_t> image = carriedImage();
    if (image.size() < 258) return false;
    const std::size_t firmwareEnd = 256 + 260 + (image[256] | (image[257] << 8));
    if (image.size() < firmwareEnd) return false;
    const std::vector<std::uint8_t> image0 = flashImage(name, 0);
    const std::vector<std::uint8_t> image1 = flashImage(name, 1);
    return std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(firmwareEnd), image0.begin()) &&
           std::equal(image.begin(), image.begin() + 256, image1.begin());
  }
  // What a PASS promises, after every run: an update that ends with 0 left
  // the new version in image 0 of every hub of the image's family, and every
  // hub reported as passed holds it there (found by its serial number in the
  // scan's log).
  void expectTrueVerdict(const std::wstring& line, int code, const std::string& log, const std::string& output) {
    std::wstring upper = line;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    const bool update = upper.find(L"/O") == std::wstring::npos && upper.find(L"/I") == std::wstring::npos &&
                        upper.find(L"/E") == std::wstring::npos &&
                        (upper.find(L"/C") == std::wstring::npos || upper.find(L"/U") != std::wstring::npos);
    if (!update) return;
    if (code == 0) {
      for (const Hub& h : hubs_)
        if (h.family == "HBX773x") {
          EXPECT_TRUE(bootsNewVersion(h.name)) << "exit 0, but " << h.name << " does not boot the new firmware";
        }
    }
    for (const std::string& name : passedHubs(log, output)) {
      EXPECT_TRUE(bootsNewVersion(name)) << name << " passed without the new firmware";
    }
  }
  // The hubs reported as passed: "The Hub[n] FW Update PASS" on the console,
  // "Update FW PASS, target[n]" in the log.
  std::vector<std::string> passedHubs(const std::string& log, const std::string& output) {
    std::map<int, std::string> serialOf;  // device-list index -> serial, first scan only
    for (std::size_t at = log.find("Found Hubs["); at != std::string::npos; at = log.find("Found Hubs[", at + 1)) {
      const int index = std::atoi(log.c_str() + at + 11);
      const std::size_t sn = log.find("SN[", at);
      if (sn == std::string::npos || serialOf.count(index)) continue;
      serialOf[index] = log.substr(sn + 3, log.find(']', sn) - sn - 3);
    }
    std::vector<std::string> names;
    for (const auto& [index, serial] : serialOf) {
      const bool passed = output.find("The Hub[" + std::to_string(index) + "] FW Update PASS") != std::string::npos ||
                          log.find("Update FW PASS, target[" + std::to_string(index) + "]") != std::string::npos;
      if (!passed) continue;
      for (const Hub& h : hubs_)
        if (serialOf[index] == serialOf_(h)) names.push_back(h.name);
    }
    return names;
  }
  static std::string serialOf_(const Hub& h) { return h.serial.empty() ? "SN-" + h.name : h.serial; }

  std::array<std::uint8_t, 6> runningVersion(const std::string& name) {
    std::lock_guard<std::mutex> lock(host_->hubBench().mutex());
    return host_->hubBench().hub(name)->runningVersion();
  }
  // The numbers (from 1, counted per hub) of the hub's requests that carried
  // one download packet: a 24-byte header and 32 bytes of data.
  std::vector<std::uint32_t> downloadRequests(const std::string& name) {
    std::vector<std::uint32_t> numbers;
    std::uint32_t number = 0;
    for (const sim::hub::TraceEntry& entry : host_->hubBench().trace()) {
      if (entry.hub != name) continue;
      ++number;
      if (entry.inLength == 56) numbers.push_back(number);
    }
    return numbers;
  }
  // When the hub came back after its last reset (0: never reset).
  std::int64_t busArrival(const std::string& name) {
    std::lock_guard<std::mutex> lock(host_->hubBench().mutex());
    return static_cast<std::int64_t>(host_->hubBench().hub(name)->busArrival());
  }

 private:
  // The hub's entry in "hubs" and its two functions, with everything below
  // them, at ports `port3` and `port2` of their parents.
  void describe(const Hub& hub, int port3, int port2, int& pdo, std::string& hubs, std::string& usb3, std::string& usb2) {
    hubs_.push_back(hub);
    const int own = pdo;
    pdo += 2;
    if (!hubs.empty()) hubs += ",";
    hubs += R"({"name": ")" + hub.name + R"(", "family": ")" + hub.family + R"(", "firmwareVersion": ")" + hub.version + "\"";
    // Without valid firmware the hub runs its ROM code, which reports the
    // chip type in version byte 3 as the built-in hubs' does.
    if (hub.family == "HBX773x") hubs += R"(, "romVersion": "000000200000")";
    // Every hub has a serial number of its own unless the test gives one.
    hubs += R"(, "serial": ")" + serialOf_(hub) + "\"";
    if (!hub.extraKeys.empty()) hubs += ", " + hub.extraKeys;
    hubs += R"(, "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-)" + std::to_string(own) + R"("},
      "usb2": {"pid": "0622", "bcdUSB": "0210", "pdo": "\\Device\\USBPDO-)" + std::to_string(own + 1) + R"("}})";
    std::string below3;
    std::string below2;
    for (std::size_t p = 0; p < hub.below.size(); ++p) {
      const int port = static_cast<int>(p + 1);
      describe(hub.below[p], port, port, pdo, hubs, below3, below2);
    }
    const auto function = [&](std::string& out, const char* side, int at, const std::string& children) {
      if (!out.empty()) out += ",";
      out += R"({"port": )" + std::to_string(at) + R"(, "chip": ")" + hub.name + R"(", "side": ")" + side +
             R"(", "devices": [)" + children + "]}";
    };
    function(usb3, "usb3", port3, below3);
    function(usb2, "usb2", port2, below2);
  }

  double timeScale_;
  std::string hostSection_;
  std::vector<Hub> hubs_;
  TempFolder folder_;
  std::mutex outputMutex_;
  std::string output_;
  std::unique_ptr<sim::SimHost> host_;
  StatusView view_;
};

}  // namespace hbx::testing::e2e
