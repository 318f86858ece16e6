#pragma once
// A simulated computer with the utility object and the main dialog, for
// running start-up and its pieces in-process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "hub/hub_utility.h"
#include "sim/sim_host.h"
#include "sim/sim_payloads.h"
#include "sim/sim_system.h"
#include "sim/sim_windows.h"

namespace hbx::testing {

// The carried image's name: the copy start-up restores into the program folder.
inline constexpr const wchar_t* kCarriedImage = L"Config_250318_25_01_0C.bin";
inline constexpr const wchar_t* kProgramFolder = L"C:\\HBX";

class AppTest : public ::testing::Test {
 protected:
  // `benchFolder`: a bench folder for the simulated computer; none, the
  // built-in bench.
  explicit AppTest(std::optional<std::filesystem::path> benchFolder = std::nullopt) {
    sim::SimHostOptions options;
    options.benchFolder = benchFolder;
    options.timeScale = 0.001;  // runs that start-up presses Start for wait in virtual time
    options.standardOutput = [this](const std::string& text) {
      std::lock_guard<std::mutex> lock(outputMutex_);
      output_ += text;
    };
    options.standardError = [this](const std::string& text) {
      std::lock_guard<std::mutex> lock(outputMutex_);
      errors_ += text;
    };
    host_ = std::make_unique<sim::SimHost>(options);
    log::setDebugOutput(&host_->ports().system);
    utility_ = std::make_unique<CHubUtility>(host_->ports());
    pUtility = utility_.get();
    dialog_ = std::make_unique<ZAr763ORIdirevaVodoRev>(host_->ports(), *utility_);
    pFWUpdateDlg = dialog_.get();
  }
  ~AppTest() override {
    pFWUpdateDlg = nullptr;
    dialog_.reset();
    pUtility = nullptr;
    utility_.reset();
    log::setDebugOutput(nullptr);
    log::vDEBUG_SetLevel(0);
  }

  // Start-up on `line` as the application runs it; the carried image is in
  // the program folder, as its restore leaves it.
  StepResult start(const std::wstring& line) {
    writeFile(std::wstring(kProgramFolder) + L"\\" + kCarriedImage, carriedImage());
    writeFile(dialog_->strCarriedCopyNote(), "");  // the restore's claim on that copy
    dialog_->m_strDefaultFWFile = kCarriedImage;
    dialog_->m_strCarriedImageCopy = std::wstring(kProgramFolder) + L"\\" + kCarriedImage;
    dialog_->g_strInitCmd = cmdline::strCollect(line);
    return dialog_->OnInitDialog();
  }

  // The carried image, and its firmware area as a firmware file: sources
  // that pass the classification.
  std::string carriedImage() {
    const auto bytes = host_->payloads().payload(L"BIN", 166);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }
  std::string carriedFirmware() { return carriedImage().substr(256); }

  // Replaces the settings file the program carries.
  void carrySettings(const std::string& content) {
    host_->payloads().replace(Ini::kResourceType, Ini::kResourceId,
                              std::vector<std::uint8_t>(content.begin(), content.end()));
  }

  void writeFile(const std::wstring& windowsPath, const std::string& content) {
    const std::filesystem::path path = host_->hostPath(windowsPath);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  bool exists(const std::wstring& windowsPath) { return std::filesystem::exists(host_->hostPath(windowsPath)); }
  std::string readFile(const std::wstring& windowsPath) {
    std::ifstream in(host_->hostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // "[Caption] text" of every box shown so far.
  std::vector<std::wstring> boxes() const {
    std::vector<std::wstring> out;
    for (const sim::ShownMessageBox& box : host_->windows().shown()) out.push_back(L"[" + box.caption + L"] " + box.text);
    return out;
  }
  std::string output() {
    std::lock_guard<std::mutex> lock(outputMutex_);
    return output_;
  }

  // Standard error so far.
  std::string errors() {
    std::lock_guard<std::mutex> lock(outputMutex_);
    return errors_;
  }

  std::mutex outputMutex_;
  std::string output_;
  std::string errors_;
  std::unique_ptr<sim::SimHost> host_;
  std::unique_ptr<CHubUtility> utility_;
  std::unique_ptr<ZAr763ORIdirevaVodoRev> dialog_;
};

}  // namespace hbx::testing
