// Choosing the firmware source of an update run from what the option parser
// left of the command line.
#include "app/command_line.h"
#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "base/text/text_util.h"
#include "hub/hub_utility.h"
#include "image/source_file.h"

namespace hbx {

namespace {

// Major types of firmware sources are 0 to 3; above are the classification's
// error values.
constexpr std::uint8_t kHighestMajorType = 3;

}  // namespace

StepResult ZAr763ORIdirevaVodoRev::SelectFirmwareSource(std::wstring S) {
  CHubUtility& utility = utility_;
  vExtractBinFiles();

  // Every refusal below also deletes the copy of the carried image just
  // restored: nothing the program wrote outlives the process.
  if (m_bExport) {
    nShowMessage(L"Export FW  and Update FW can not be enabled at the same time!!", msgkind::kError,
                 platform::mb::kOk);
    vRemoveBinFiles();
    return StepResult::endProcess(exitValue(ExitCode::kCommandLineError));
  }
  if (m_Ini.force_disable_fwupdate == 1) {
    nShowMessage(L"This tool version cannot do FW udpate !!Please contact Corvane when you want to do FW udpate ",
                 msgkind::kError, platform::mb::kOk);
    vRemoveBinFiles();
    return StepResult::endProcess(exitValue(ExitCode::kCommandLineError));
  }

  m_bUpdate = 1;
  const std::size_t option = S.find(L"/U");
  const std::optional<cmdline::ArgumentSpan> named = cmdline::firmwareSpan(S);
  std::wstring file;
  if (option != std::wstring::npos) {
    file = named ? S.substr(named->begin, named->end - named->begin) : S.substr(option + 2);
  } else if (!S.empty()) {
    file = S.substr(1);
  }
  text::removeAll(S, L"/U");
  const std::size_t bin = file.find(L".BIN");
  if (option != std::wstring::npos && text::trim(file).empty()) {
    // "/U" with no name: a script that lost its file name must not flash the
    // carried image instead.
    HBX_LOG_ERR(L"%s:%d: /U without a file name");
    vReportSource(L"", L"no file name after /U");
    nShowMessage(L"Please Input FW File!!! ", msgkind::kError, platform::mb::kOk);
    return vShowUsage(exitValue(ExitCode::kCommandLineError));
  }
  if (named) {
    // The whole word: its extension is checked by the classification below.
  } else if (bin != std::wstring::npos) {
    file = file.substr(0, bin + 4);
  } else if (option != std::wstring::npos) {
    // "/U" names a file that is no firmware image: writing the carried image
    // instead would flash what the user did not ask for.
    HBX_LOG_ERR(L"%s:%d: not a .BIN file [%s]", text::trim(file));
    vReportSource(text::trim(file), L"not a firmware image file (.bin)");
    nShowMessage(L"Input FW File is not exist!!! ", msgkind::kError, platform::mb::kOk);
    return vShowUsage(exitValue(ExitCode::kCommandLineError));
  } else if (m_bCarriesNoImage) {
    // Nothing to fall back on: no hub is touched without a named file.
    const std::wstring text = L"This program carries no firmware: name the firmware file with /U <file>.";
    HBX_LOG_ERR(L"%s:%d: %s", text);
    vReportSource(L"", L"the program carries no firmware image and no /U file was given");
    nShowMessage(text, msgkind::kError, platform::mb::kOk);
    return StepResult::endProcess(exitValue(ExitCode::kCommandLineError));
  } else {
    // The copy of the carried image, wherever its restore had to put it.
    file = m_strCarriedImageCopy.empty() ? m_strDefaultFWFile : m_strCarriedImageCopy;
  }

  file = text::trim(file);
  if (file.empty()) {
    nShowMessage(L"Please Input FW File!!! ", msgkind::kError, platform::mb::kOk);
    return vShowUsage(exitValue(ExitCode::kCommandLineError));
  }
  if (file.starts_with(L"./")) text::removeAll(file, L"./");

  // A path with a drive is taken as it is; any other lies in the program
  // folder. Both are checked and classified alike.
  const bool absolute = file.find(L':') != std::wstring::npos;
  utility.m_strFWBinFilePath = absolute ? file : utility.strProgramFolder() + L"\\" + file;
  // Before any refusal below, which would write the report over the source.
  if (const StepResult report = vRefuseReportOverRunFiles(); report.endsProcess()) return report;
  // The source is only read: a read-only file or share is fine, a folder,
  // pipe or device is no source.
  if (!utility.bCheckSourceFileExists(utility.m_strFWBinFilePath, 1)) {
    vReportSource(utility.m_strFWBinFilePath, L"the file does not exist or cannot be read");
    nShowMessage(L"Input FW File is not exist!!! ", msgkind::kError, platform::mb::kOk);
    return vShowUsage(exitValue(ExitCode::kCommandLineError));
  }
  m_bMajorType = vIsValidHubFirmware(utility.m_strFWBinFilePath);
  if (m_bMajorType > kHighestMajorType) {
    // 0xF2, 0xF6 or 0xFF: no firmware any hub could take.
    HBX_LOG_ERR(L"%s:%d: vIsValidHubFirmware(%s) = 0x%02X", utility.m_strFWBinFilePath, m_bMajorType);
    vReportSource(utility.m_strFWBinFilePath, L"no hub could boot this firmware source");
    nShowMessage(L"The FW is not valide, Please check again!!", msgkind::kError, platform::mb::kOk);
    vRemoveBinFiles();
    return StepResult::endProcess(exitValue(ExitCode::kCommandLineError));
  }

  // The version of the run is the one the file holds; a name that carries
  // another one was refused by the classification above.
  m_strCurFileFWVer = image::sourceVersionText(utility.runSource());
  vReportSource(utility.m_strFWBinFilePath);
  return StepResult::goOn();
}

}  // namespace hbx
