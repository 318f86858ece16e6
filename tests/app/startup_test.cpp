// Start-up: settings applied, run modes, message routine, window, console,
// the single-instance rule, and the end of the dialog.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <unistd.h>

#include "app/fw_upgrade_app.h"
#include "app/program.h"
#include "app_fixture.h"
#include "sim/sim_processes.h"

namespace hbx::testing {
namespace {

using Dlg = ZAr763ORIdirevaVodoRev;

class StartupTest : public AppTest {
 protected:
  // Every string the debug-output channel receives.
  std::string debugLog() { return readHostFile(logFile_); }
  void captureLog() {
    logFile_ = host_->driveC() / "debug.log";
    host_->system().setDebugLogFile(logFile_);
  }
  static std::string readHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path logFile_;
};

TEST_F(StartupTest, SettingsGiveTheFirstFilterValues) {
  struct Case {
    std::string settings;
    std::wstring line;
    std::function<void(const CHubUtility&)> check;
  };
  const Case cases[] = {
      {"", L"",
       [](const CHubUtility& u) {
         EXPECT_EQ(u.m_ucUsbMode, 0);
         EXPECT_EQ(u.m_strVID_Indetify, L"2E8B");
         EXPECT_TRUE(u.m_strFW_Indetify.empty());
         EXPECT_EQ(u.m_bCheckManuString, 0);
         EXPECT_TRUE(u.m_strPartOfFWVersion.empty());
         EXPECT_EQ(u.m_ucPartOfFWVersionStart, 0);
         EXPECT_EQ(u.m_ucPartOfFWVersionLength, 0);
         EXPECT_EQ(u.m_bRequestedHubNumber, 0);
       }},
      {"check_U3_only=7\n", L"", [](const CHubUtility& u) { EXPECT_EQ(u.m_ucUsbMode, 2); }},
      {"check_U3_only=1\ncheck_U2_only=1\n", L"", [](const CHubUtility& u) { EXPECT_EQ(u.m_ucUsbMode, 1); }},
      {"check_vid=1\nvid=abcd\n", L"", [](const CHubUtility& u) { EXPECT_EQ(u.m_strVID_Indetify, L"abcd"); }},
      {"check_vid=2\nvid=abcd\n", L"", [](const CHubUtility& u) { EXPECT_EQ(u.m_strVID_Indetify, L"2E8B"); }},
      {"check_vid=1\nvid=abcd\n", L"/VID 1234", [](const CHubUtility& u) { EXPECT_EQ(u.m_strVID_Indetify, L"1234"); }},
      {"check_fw_version=1\nfw_version=230211170000;230211170001\n", L"",
       [](const CHubUtility& u) { EXPECT_EQ(u.m_strFW_Indetify, L"230211170000;230211170001"); }},
      {"check_fw_version=2\nfw_version=230211170000\n", L"",
       [](const CHubUtility& u) { EXPECT_TRUE(u.m_strFW_Indetify.empty()); }},
      {"check_manufacture_string=1\nmanufacture_string=Acme\n", L"",
       [](const CHubUtility& u) {
         EXPECT_EQ(u.m_bCheckManuString, 1);
         EXPECT_EQ(u.m_strManuString_Indetify, L"Acme");
       }},
      {"check_part_of_fw_version=1\npart_of_fw_version=01;\nstart_address_of_part_of_fw_version=8\n"
       "part_of_fw_version_length=2\n",
       L"",
       [](const CHubUtility& u) {
         EXPECT_EQ(u.m_strPartOfFWVersion, L"01;");
         EXPECT_EQ(u.m_ucPartOfFWVersionStart, 8);
         EXPECT_EQ(u.m_ucPartOfFWVersionLength, 2);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    if (!c.settings.empty()) carrySettings(c.settings);
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    ASSERT_FALSE(start(c.line).endsProcess());
    c.check(*utility_);
    EXPECT_FALSE(exists(Ini::strFilePath(kProgramFolder)));
    // Start, pressed at the end of start-up, takes the carried configuration file.
    EXPECT_EQ(dialog_->m_ucFWType, 1);
  }
}

TEST_F(StartupTest, SettingsFailureLeavesTheDialogIdle) {
  struct Case {
    std::wstring line;
    bool boxShown;
    std::string errors;
  };
  // Interactive mode stays idle; the unattended modes, with nobody to close
  // the dialog, end with -10 and say why on standard error.
  const std::wstring text = L"Load Ini File failed, strItemName[bogus],strItemValue[1] ";
  const std::string failed = "[Error] vLoadINIFile Failed[C:\\HBX\\HBX763xFWUpg.ini]\n";
  // Unattended, the box goes to standard error too, never to standard output.
  const Case cases[] = {{L"", true, ""},
                        {L"/silent /U x.bin", false, "[8634FWUpgradeTool] " + toUtf8(text) + "\n" + failed},
                        {L"/Dos", false, "[8634FWUpgradeTool] " + toUtf8(text) + "\n" + failed}};
  carrySettings("vid=1\nbogus=1\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    const std::size_t boxesBefore = boxes().size();
    const std::size_t outputBefore = output().size();
    const std::size_t errorsBefore = errors().size();
    const StepResult r = start(c.line);
    EXPECT_EQ(errors().substr(errorsBefore), c.errors);
    EXPECT_EQ(r.endsProcess(), !c.boxShown);
    if (r.endsProcess()) {
      EXPECT_EQ(r.exitCode(), -10);
    }
    EXPECT_EQ(boxes().size(), boxesBefore + (c.boxShown ? 1 : 0));
    if (c.boxShown) {
      EXPECT_EQ(boxes().back(), L"[8634FWUpgradeTool] " + text);
    }
    // A shown box prints as "[caption] text" on the simulated host.
    const std::string printed = output().substr(outputBefore);
    EXPECT_EQ(printed, c.boxShown ? "[8634FWUpgradeTool] " + toUtf8(text) + "\n" : "");
    // No options were read and nothing else ran.
    EXPECT_EQ(dialog_->m_Model.caption(), L"763FWUpgradeTool");
    EXPECT_EQ(dialog_->m_bUpdate, 0);
    EXPECT_FALSE(exists(Ini::strFilePath(kProgramFolder)));
    // Without a terminal nobody reads the idle dialog: it ends with -10 too.
    if (!r.endsProcess()) {
      EXPECT_EQ(dialog_->DoModal(nullptr), -10);
    }
  }
}

TEST_F(StartupTest, CaptionBannerAndCurrentFolder) {
  captureLog();
  ASSERT_FALSE(start(L"/DOS /DBG 3 /VID 2e8b").endsProcess());
  EXPECT_EQ(dialog_->m_Model.caption(), L"Corvane USB 3.2 Hub Firmware Update Tool Ver 3, 2, 2, 0");
  EXPECT_NE(output().find("=====ZELT Hub FWUpg Tool(Corvane USB 3.2 Hub Firmware Update Tool Ver 3, 2, 2, 0)======\r\n"),
            std::string::npos);
  EXPECT_TRUE(host_->system().consoleAllocated());
  EXPECT_EQ(host_->system().currentDirectory(), kProgramFolder);
  const std::string log = debugLog();
  EXPECT_NE(log.find("\r\nMSG::ZAr763ORIdirevaVodoRev::OnInitDialog:"), std::string::npos);
  EXPECT_NE(log.find(":  Assign Target VID Hubs!!, pUtility.m_strVID_Indetify=[2E8B]"), std::string::npos);
  EXPECT_NE(log.find(": FWUpgToolVersion [Corvane USB 3.2 Hub Firmware Update Tool Ver 3, 2, 2, 0], "
                     "pFWUpdateDlg->g_strInitCmd=[/DOS /DBG 3 /VID 2e8b]"),
            std::string::npos);
  // The last error is left from an earlier failed call of the thread (the
  // work folder, not empty, that the settings file's note was deleted from),
  // as GetLastError would be.
  EXPECT_NE(log.find(": iProcessCount: 1 , dwProcessID : 0 dwErrorCode 145"), std::string::npos);

  // Without the console option start-up lets go of any console.
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  host_->ports().system.allocConsole();
  ASSERT_FALSE(start(L"/A").endsProcess());
  EXPECT_FALSE(host_->system().consoleAllocated());
}

TEST_F(StartupTest, MessageRoutineByMode) {
  struct Case {
    std::uint8_t console;
    std::uint8_t level;
    std::uint8_t kind;
    std::uint32_t flags;
    int result;
    std::wstring caption;  // empty: no box, the text goes to standard error
    std::uint32_t shownFlags;
  };
  // A suppressed box answers at once with its default button.
  const Case cases[] = {
      {0, 0, 1, 0, 1, L"Error", 0x10},
      {0, 0, 2, 0, 1, L"TimeOut", 0x10},
      {0, 0, 3, 0, 1, L"Warning", 0x30},
      {0, 0, 4, 0, 1, L"Information", 0x40},
      {0, 0, 5, 0x4, 6, L"Question", 0x24},  // Yes/No: the default answer is Yes
      {0, 0, 9, 0x1, 1, L"", 0x1},
      {0, 3, 2, 0, 1, L"", 0},  // below the message level
      {0, 3, 3, 0, 1, L"Warning", 0x30},
      {0, 0xFF, 5, 0, 1, L"", 0},       // silent
      {1, 0, 1, 0, 1, L"", 0},          // console
      {1, 0, 5, 0x104, 7, L"", 0},      // console, Yes/No with No as default
      {0, 0xFF, 5, 0x101, 2, L"", 0},   // silent, OK/Cancel with Cancel as default
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.console) << "/" << int(c.level) << "/" << int(c.kind));
    dialog_->m_bConsole = c.console;
    dialog_->m_ucMsgBoxLevel = c.level;
    const std::size_t before = host_->windows().shown().size();
    EXPECT_EQ(dialog_->nShowMessage(L"text", c.kind, c.flags), c.result);
    const auto shown = host_->windows().shown();
    const bool suppressed = c.caption.empty() && c.shownFlags == 0;
    ASSERT_EQ(shown.size(), before + (suppressed ? 0 : 1));
    if (suppressed) continue;
    EXPECT_EQ(shown.back().caption, c.caption);
    EXPECT_EQ(shown.back().flags, c.shownFlags);
    EXPECT_EQ(shown.back().text, L"text");
  }
}

TEST(WindowPositionHook, HiddenModesTurnEveryRequestIntoAHide) {
  using ui::DialogModel;
  EXPECT_EQ(DialogModel::windowPosFlags(0x43, false), 0x43u);
  for (std::uint32_t requested : {0x0u, 0x40u, 0x43u, 0x80u}) {
    EXPECT_EQ(DialogModel::windowPosFlags(requested, true), 0xFFFFFFBFu);
  }
  DialogModel model;
  model.setWindowPos(ui::swp::kShowWindow, true);
  EXPECT_FALSE(model.isVisible());
  model.setWindowPos(ui::swp::kShowWindow, false);
  EXPECT_TRUE(model.isVisible());
  model.setWindowPos(ui::swp::kNoMove | ui::swp::kNoSize, true);
  EXPECT_FALSE(model.isVisible());
}

TEST_F(StartupTest, TheDialogIsShownOnlyInInteractiveMode) {
  // The carried image's firmware code alone: a firmware file.
  const std::string image = carriedImage();
  const std::size_t length = static_cast<std::uint8_t>(image[256]) | (static_cast<std::uint8_t>(image[257]) << 8);
  writeFile(L"C:\\HBX\\FW_250318_25_01_0C.BIN", image.substr(258, length));
  struct Case {
    std::wstring line;
    bool visible;
  };
  for (const Case& c : {Case{L"/U FW_250318_25_01_0C.BIN", true}, Case{L"/SILENT /U FW_250318_25_01_0C.BIN", false},
                        Case{L"/DOS /U FW_250318_25_01_0C.BIN", false}}) {
    CMy763FWUpgradeToolApp application(host_->ports(), *utility_);
    // The process ends with the exit code of the run start-up started.
    const int exitCode = application.InitInstance(c.line);
    ASSERT_NE(application.dialog(), nullptr) << c.line;
    EXPECT_EQ(exitCode, application.dialog()->m_iRet) << c.line;
    EXPECT_EQ(application.dialog()->m_Model.isVisible(), c.visible) << c.line;
    // The run takes the version from the firmware file itself.
    EXPECT_EQ(application.dialog()->m_strCurFileFWVer, L"25031825010C");
  }
}

TEST_F(StartupTest, OkRemovesOnlyImageFilesTheProgramWrote) {
  captureLog();
  log::vDEBUG_SetLevel(3);
  const std::wstring carried = std::wstring(kProgramFolder) + L"\\" + kCarriedImage;
  ASSERT_FALSE(start(L"/DBG 3").endsProcess());
  ASSERT_EQ(utility_->m_strFWBinFilePath, carried);
  dialog_->SetExitcode(-4);
  dialog_->OnBnClickedButtonOk();
  EXPECT_FALSE(exists(carried));
  EXPECT_TRUE(dialog_->m_Model.hasEnded());
  EXPECT_EQ(dialog_->m_Model.dialogResult(), 1);
  EXPECT_NE(debugLog().find("MSG::ZAr763ORIdirevaVodoRev::SetExitcode:"), std::string::npos);
  EXPECT_NE(debugLog().find(":  iExitcode[ -4]"), std::string::npos);
  EXPECT_NE(debugLog().find(":  m_iRet[ -4]"), std::string::npos);
  EXPECT_NE(debugLog().find("MSG::ZAr763ORIdirevaVodoRev::vRemoveBinFiles:"), std::string::npos);

  // A file the user named stays; the carried copy goes all the same.
  writeFile(L"C:\\HBX\\FW_1.BIN", carriedFirmware());
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  ASSERT_FALSE(start(L"/U ./fw_1.bin").endsProcess());
  ASSERT_TRUE(exists(carried));
  // The close box after the run (during it, the close waits for its end).
  dialog_->vWaitForRunEnd();
  dialog_->OnClose();
  EXPECT_TRUE(exists(L"C:\\HBX\\FW_1.BIN"));
  EXPECT_FALSE(exists(carried));
  EXPECT_EQ(dialog_->m_Model.quitCode(), 18);

  // The image the program wrote from an exported image goes.
  dialog_->m_strExportedImageFile = L"C:\\HBX\\FW_1.BIN";
  dialog_->vRemoveBinFiles();
  EXPECT_FALSE(exists(L"C:\\HBX\\FW_1.BIN"));
}

TEST_F(StartupTest, AUsersFileOfTheCarriedImagesNameIsNeverTouched) {
  const std::wstring carried = std::wstring(kProgramFolder) + L"\\" + kCarriedImage;
  writeFile(L"C:\\HBX\\FW_1.BIN", carriedFirmware());
  struct Case {
    std::string content;  // the user's file, byte-identical to the carried image or not
    std::wstring line;
  };
  const Case cases[] = {
      {"the user's own file", L"/DOS /A"},
      {"the user's own file", L"/DOS /U ./fw_1.bin"},
      {carriedImage(), L"/DOS /A"},
      {carriedImage(), L"/DOS /U ./" + std::wstring(kCarriedImage)},
  };
  for (const Case& c : cases) {
    const std::wstring& line = c.line;
    SCOPED_TRACE(line);
    writeFile(carried, c.content);
    dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
    dialog_->g_strInitCmd = line;
    ASSERT_FALSE(dialog_->OnInitDialog().endsProcess());
    // The carried image is written elsewhere and still carries its version.
    const std::wstring copy = dialog_->m_strCarriedImageCopy;
    EXPECT_NE(copy, carried);
    EXPECT_TRUE(copy.ends_with(std::wstring(L"\\") + kCarriedImage)) << copy;
    EXPECT_EQ(readFile(copy), carriedImage());
    if (line == L"/DOS /A") {
      EXPECT_EQ(utility_->m_strFWBinFilePath, copy);
      EXPECT_EQ(dialog_->m_strCurFileFWVer, L"25031825010C");
    }
    dialog_->DoModal(nullptr);  // to the end of the run
    EXPECT_EQ(readFile(carried), c.content);
    EXPECT_FALSE(exists(copy));
  }
  // A byte-identical copy that the note of a run ended from outside claims is
  // that run's: it is used and removed, and so is the note.
  writeFile(carried, carriedImage());
  writeFile(dialog_->strCarriedCopyNote(), "");
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  dialog_->g_strInitCmd = L"/DOS /A";
  ASSERT_FALSE(dialog_->OnInitDialog().endsProcess());
  EXPECT_EQ(utility_->m_strFWBinFilePath, carried);
  dialog_->DoModal(nullptr);
  EXPECT_FALSE(exists(carried));
  EXPECT_FALSE(exists(dialog_->strCarriedCopyNote()));
}

// A bench with an earlier copy of the tool still running.
class SingleInstanceTest : public AppTest {
 protected:
  SingleInstanceTest() : AppTest(makeBench()) {}
  ~SingleInstanceTest() override {
    std::error_code ec;
    std::filesystem::remove_all(bench_, ec);
  }
  static std::filesystem::path makeBench() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hbx-app-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    std::ofstream(std::filesystem::path(pattern) / "bench.json")
        << R"({"processes": [{"pid": 7001, "image": "notepad.exe"}, {"pid": 7002, "image": "8634FWUpgradeTool.exe"}]})";
    bench_ = pattern;
    return bench_;
  }
  bool running(std::uint32_t pid) {
    const auto ids = host_->ports().processes.enumProcesses(1024);
    return ids && std::find(ids->begin(), ids->end(), pid) != ids->end();
  }
  static inline std::filesystem::path bench_;
};

TEST_F(SingleInstanceTest, AnEarlierCopyIsEndedNeverTheStartingOne) {
  ASSERT_TRUE(running(7002));
  ASSERT_FALSE(start(L"").endsProcess());
  EXPECT_FALSE(running(7002));
  EXPECT_TRUE(running(7001));
  EXPECT_TRUE(host_->processes().ownRegistrationPresent());
  // Alone now: nothing more is ended.
  dialog_ = std::make_unique<Dlg>(host_->ports(), *utility_);
  ASSERT_FALSE(start(L"").endsProcess());
  EXPECT_TRUE(running(7001));
  EXPECT_TRUE(host_->processes().ownRegistrationPresent());
}

TEST(RunProgram, EndsWithTheExitCodeOfTheRun) {
  struct Case {
    std::wstring line;
    int exitCode;
  };
  // The hubs of the built-in bench are not at the version checked: -7.
  for (const Case& c : {Case{L"/?", 0}, Case{L"/P3 1234 /P2 5678", -10}, Case{L"/C 250318250100", -7}}) {
    std::string out;
    sim::SimHostOptions options;
    options.timeScale = 0.001;
    options.standardOutput = [&out](const std::string& text) { out += text; };
    sim::SimHost host(options);
    EXPECT_EQ(app::runProgram(host.ports(), c.line), c.exitCode) << c.line;
    EXPECT_EQ(pUtility, nullptr);
    EXPECT_EQ(pFWUpdateDlg, nullptr);
  }
}

}  // namespace
}  // namespace hbx::testing
