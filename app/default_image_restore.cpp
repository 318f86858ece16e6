// Restoring the carried firmware image into the program folder.
#include <algorithm>
#include <string>
#include <vector>

#include "app/fw_update_dlg.h"
#include "base/log/debug_log.h"
#include "base/log/system_error.h"
#include "hub/host/driver_package.h"
#include "hub/hub_utility.h"
#include "image/default_image.h"
#include "image/source_file.h"
#include "image/temp_bin_file.h"
#include "platform/handles.h"

namespace hbx {

using namespace platform;

namespace {

// In the work folder while a copy of the carried image lies in the program
// folder: it tells the copy from a user's file of the same name.
constexpr wchar_t kCarriedCopyNote[] = L"carried_image_copy.note";

// ERROR_RESOURCE_NAME_NOT_FOUND, what FindResourceW reports for a missing entry.
constexpr std::uint32_t kResourceNotFound = 1814;

// The carried name text up to and including the first "BIN", else "ROM",
// "rom" or "bin"; trailing line ends are never part of a name.
std::wstring fileNameFromText(std::wstring text) {
  for (const wchar_t* end : {L"BIN", L"ROM", L"rom", L"bin"}) {
    const std::size_t at = text.find(end);
    if (at != std::wstring::npos) return text.substr(0, at + 3);
  }
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  return text;
}

}  // namespace

std::wstring ZAr763ORIdirevaVodoRev::strCarriedCopyNote() const {
  return ports_.system.tempPath() + driver::kWorkFolder + L"\\" + kCarriedCopyNote;
}

bool ZAr763ORIdirevaVodoRev::vExtractBinFiles() {
  const auto nameText = ports_.payloads.payload(image::kDefaultImageNameType, image::kDefaultImageNameId);
  m_bCarriesNoImage = !nameText;
  if (!nameText) {
    HBX_LOG_ERR(L"%s:%d: FindResource fail: %d", kResourceNotFound);
    return false;
  }
  m_strDefaultFWFile = fileNameFromText(std::wstring(nameText->begin(), nameText->end()));
  HBX_LOG_MSG(L"%s:%d:  !!! m_strFWBinFile: %s", m_strDefaultFWFile);

  const auto imageBytes = ports_.payloads.payload(image::kDefaultImageType, image::kDefaultImageId);
  m_bCarriesNoImage = !imageBytes;
  if (!imageBytes) {
    HBX_LOG_ERR(L"%s:%d: FindResource fail: %d", kResourceNotFound);
    return false;
  }
  // The copy goes into the program folder, unless a file of that name is
  // there already: that one is the user's own, whatever it holds, and is
  // left alone; the copy then goes into the work folder in the temporary
  // path. Only a byte-identical file that the note of an earlier run claims
  // (a run ended from outside before it removed its copy) is taken as this
  // run's. The note is written before the copy and removed after it.
  FilePort& files = ports_.files;
  const std::wstring inProgramFolder = utility_.strProgramFolder() + L"\\" + m_strDefaultFWFile;
  const std::wstring workFolder = ports_.system.tempPath() + driver::kWorkFolder;
  const std::wstring note = strCarriedCopyNote();
  std::uint32_t error = 0;
  int crtErrno = 0;
  std::wstring target = inProgramFolder;
  bool noteClaimedHere = false;  // the note is this call's own, not an earlier run's
  if (files.access(inProgramFolder, 0, crtErrno, error) == 0) {
    std::vector<std::uint8_t> existing;
    const image::SourceRead read = image::readSourceFile(files, inProgramFolder, image::kSourceFileMax, existing);
    const bool leftByARun = files.access(note, 0, crtErrno, error) == 0;
    if (leftByARun && read.step == image::ReadStep::Done && std::ranges::equal(existing, *imageBytes)) {
      m_strCarriedImageCopy = inProgramFolder;
      m_bCarriedCopyTakenOver = true;
      HBX_LOG_MSG(L"%s:%d: restore FW.bin to %s", m_strDefaultFWFile);
      return true;
    }
    files.createDirectory(workFolder, error);  // an existing folder is fine
    target = workFolder + L"\\" + m_strDefaultFWFile;
    HBX_LOG_WRN(L"%s:%d: %s is a file of the user's; it stays, the carried image goes to %s", inProgramFolder, target);
  } else {
    files.createDirectory(workFolder, error);  // an existing folder is fine; removed with the note
    noteClaimedHere = files.access(note, 0, crtErrno, error) != 0;
    const OpenResult claimed = files.createFile(note, access::kGenericWrite, 0, creation::kCreateAlways, 0);
    // Without the note (no work folder can be made) the copy still goes into
    // the program folder: a copy a killed run leaves there is then taken for
    // a user's file and left alone, never deleted.
    if (claimed.handle != kInvalidHandle) files.closeFile(claimed.handle);
  }
  const OpenResult out = files.createFile(target, access::kGenericWrite, 0, creation::kCreateAlways, 0);
  bool written = out.handle != kInvalidHandle;
  if (written) {
    const platform::FileHandle file(files, out.handle);
    written = image::writeAll(files, file.get(), *imageBytes, error);
  } else {
    error = out.error;
  }
  if (!written) {
    // A cut-off image must not stay behind to be taken for the carried one,
    // nor the note this call wrote for it or the work folder it made for it.
    std::uint32_t deleteError = 0;
    if (out.handle != kInvalidHandle) files.deleteFile(target, deleteError);
    if (noteClaimedHere) files.deleteFile(note, deleteError);
    files.removeDirectory(workFolder, deleteError);  // only when empty
    HBX_LOG_ERR(L"%s:%d: restore FW.bin to %s failed. ErrorCode[%s]", target, systemErrorText(error));
    return false;
  }
  m_strCarriedImageCopy = target;
  HBX_LOG_MSG(L"%s:%d: restore FW.bin to %s", target);
  return true;
}

}  // namespace hbx
