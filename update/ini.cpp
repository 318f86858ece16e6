#include "update/ini.h"

#include <exception>
#include <vector>

#include "base/log/debug_log.h"
#include "base/text/text_util.h"
#include "base/log/system_error.h"
#include "hub/host/run_file_claim.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/payloads.h"

namespace hbx {

namespace {

// In the work folder while the carried copy lies beside the program.
constexpr wchar_t kCopyNote[] = L"settings_copy.note";

// ERROR_RESOURCE_NAME_NOT_FOUND: the program carries no settings file.
constexpr std::uint32_t kResourceNameNotFound = 1814;

enum class KeyKind { Section, Number, Text };

struct KeySlot {
  const wchar_t* name;
  KeyKind kind;
  std::uint8_t Ini::*number;
  std::wstring Ini::*text;
};

constexpr KeySlot section(const wchar_t* name) { return {name, KeyKind::Section, nullptr, nullptr}; }
constexpr KeySlot number(const wchar_t* name, std::uint8_t Ini::*field) {
  return {name, KeyKind::Number, field, nullptr};
}
constexpr KeySlot textKey(const wchar_t* name, std::wstring Ini::*field) {
  return {name, KeyKind::Text, nullptr, field};
}

// Every line the file may hold. Sections do not scope the keys.
const KeySlot kKeys[] = {
    section(L"[fun_item]"),
    section(L"[chk_item]"),
    section(L"[chk_value]"),
    section(L"[regEdit]"),
    number(L"force disable fwupdate", &Ini::force_disable_fwupdate),
    number(L"check_fw_version", &Ini::check_fw_version),
    number(L"check_chip_type", &Ini::check_chip_type),
    number(L"check_U3_only", &Ini::check_U3_only),
    number(L"check_U2_only", &Ini::check_U2_only),
    number(L"check_product_string", &Ini::check_product_string),
    number(L"check_manufacture_string", &Ini::check_manufacture_string),
    number(L"check_vid", &Ini::check_vid),
    number(L"check_pid", &Ini::check_pid),
    number(L"check_part_of_fw_version", &Ini::check_part_of_fw_version),
    number(L"check_bounding_option", &Ini::check_bounding_option),
    number(L"check_minor_byte_of_chip_type_BiggerThen", &Ini::check_minor_byte_of_chip_type_BiggerThen),
    number(L"EnableRelinkToRomCode", &Ini::EnableRelinkToRomCode),
    number(L"EnableRelinkAfterFWUpg", &Ini::EnableRelinkAfterFWUpg),
    textKey(L"fw_version", &Ini::fw_version),
    textKey(L"chip_type", &Ini::chip_type),
    textKey(L"minor_byte_of_chip_type", &Ini::minor_byte_of_chip_type),
    textKey(L"manufacture_string", &Ini::manufacture_string),
    textKey(L"product_string", &Ini::product_string),
    textKey(L"vid", &Ini::vid),
    textKey(L"pid", &Ini::pid),
    textKey(L"part_of_fw_version", &Ini::part_of_fw_version),
    textKey(L"bounding_option1", &Ini::bounding_option1),
    textKey(L"bounding_option2", &Ini::bounding_option2),
    number(L"start_address_of_part_of_fw_version", &Ini::start_address_of_part_of_fw_version),
    number(L"part_of_fw_version_length", &Ini::part_of_fw_version_length),
    textKey(L"minor_byte_of_chip_type_BiggerThen", &Ini::minor_byte_of_chip_type_BiggerThen),
    number(L"reg_edit_enable", &Ini::reg_edit_enable),
    textKey(L"reg_edit_subkey", &Ini::reg_edit_subkey),
    textKey(L"reg_edit_keyname", &Ini::reg_edit_keyname),
    textKey(L"reg_edit_type", &Ini::reg_edit_type),
    textKey(L"reg_edit_value", &Ini::reg_edit_value),
};

// The lines of an 8-bit text file as text-mode reading gives them: split at
// LF, a CR before the LF dropped, each byte one character.
std::vector<std::wstring> textLines(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::wstring> lines;
  std::wstring line;
  for (std::uint8_t byte : bytes) {
    if (byte == '\n') {
      if (!line.empty() && line.back() == L'\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<wchar_t>(byte);
    }
  }
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool fileExists(platform::FilePort& files, const std::wstring& path) {
  int crtErrno = 0;
  std::uint32_t error = 0;
  return files.access(path, 0, crtErrno, error) == 0;
}

}  // namespace

Ini::Ini(platform::FilePort& files, platform::PayloadPort& payloads) : files_(files), payloads_(payloads) {}

std::wstring Ini::strFilePath(const std::wstring& folder) { return folder + L"\\" + kFileName; }

int Ini::nExtractINILib(const std::wstring& folder) {
  const std::wstring path = strFilePath(folder);
  std::uint32_t error = 0;
  if (fileExists(files_, path)) files_.deleteFile(path, error);

  const auto carried = payloads_.payload(kResourceType, kResourceId);
  if (!carried) {
    HBX_LOG_ERR(L"%s:%d:  Load bin file WriteFile Failed, Erroe=%d", kResourceNameNotFound);
    return 255;
  }
  const platform::OpenResult opened =
      files_.createFile(path, platform::access::kGenericRead | platform::access::kGenericWrite,
                        platform::share::kRead, platform::creation::kCreateNew, 0);
  if (opened.handle == platform::kInvalidHandle) {
    HBX_LOG_ERR(L"%s:%d:  Load bin file WriteFile Failed, Erroe=%s", systemErrorText(opened.error));
    return 255;
  }
  const auto size = static_cast<std::uint32_t>(carried->size());
  platform::FileIoResult written;
  {
    const platform::FileHandle file(files_, opened.handle);
    written = files_.writeFile(file.get(), carried->data(), size);
  }
  if (!written.ok || written.bytes != size) {
    HBX_LOG_ERR(L"%s:%d:  Load bin file WriteFile Failed, Erroe=%s", systemErrorText(written.error));
    return 255;
  }
  return 0;
}

bool Ini::bStoreItem(const std::wstring& name, const std::wstring& value) {
  for (const KeySlot& key : kKeys) {
    if (!text::equalsNoCase(name, key.name)) continue;
    switch (key.kind) {
      case KeyKind::Section: break;
      case KeyKind::Number: this->*key.number = static_cast<std::uint8_t>(text::decimalValue(value)); break;
      case KeyKind::Text: this->*key.text = value; break;
    }
    return true;
  }
  return false;
}

bool Ini::vLoadINIFile(const std::wstring& path) {
  try {
    std::vector<std::uint8_t> bytes;
    std::uint32_t error = 0;
    if (!platform::readWholeFile(files_, path, bytes, error)) return false;

    bool result = true;
    std::wstring lastName;
    std::wstring lastValue;
    for (const std::wstring& line : textLines(bytes)) {
      if (line.empty()) continue;
      const std::size_t equals = line.find(L'=');
      const std::wstring rest = equals == std::wstring::npos ? std::wstring() : line.substr(equals + 1);
      // Anything after a "/" is a comment.
      lastName = text::trim(std::wstring_view(line).substr(0, equals));
      lastValue = text::trim(std::wstring_view(rest).substr(0, rest.find(L'/')));
      if (!bStoreItem(lastName, lastValue)) result = false;
    }
    if (!result) {
      const std::wstring message =
          wformat(L"Load Ini File failed, strItemName[%s],strItemValue[%s] ", lastName, lastValue);
      if (plainMessage_) plainMessage_(message);
    }
    return result;
  } catch (const std::exception&) {
    HBX_LOG_MSG(L"%s:%d: vLoadINIFile: strINIFilePath : %s , dwErrorCode %d", path, 0);
    return false;
  }
}

std::wstring Ini::strPlaceCopy(const std::wstring& programFolder, const std::wstring& workFolder) {
  note_ = workFolder + L"\\" + kCopyNote;
  const auto carried = payloads_.payload(kResourceType, kResourceId);
  const std::vector<std::uint8_t> bytes = carried ? *carried : std::vector<std::uint8_t>();
  std::uint32_t error = 0;
  if (runfile::whatLiesAt(files_, strFilePath(programFolder), note_, bytes) == runfile::Found::UsersFile) {
    HBX_LOG_WRN(L"%s:%d: %s is a file of the user's; it stays, the settings go to %s", strFilePath(programFolder),
                workFolder);
    files_.createDirectory(workFolder, error);  // an existing folder is fine
    copyFolder_ = workFolder;
    return copyFolder_;
  }
  // A copy a run ended from outside left in the work folder is ours.
  vDeleteINIFile(workFolder);
  runfile::claim(files_, note_);
  copyFolder_ = programFolder;
  return copyFolder_;
}

void Ini::vDeleteCopy() {
  if (copyFolder_.empty()) return;
  vDeleteINIFile(copyFolder_);
  // A copy another program holds stays until the end of the run tries again.
  if (fileExists(files_, strFilePath(copyFolder_))) return;
  copyFolder_.clear();
  runfile::release(files_, note_);
}

bool Ini::vDeleteINIFile(const std::wstring& folder) {
  const std::wstring path = strFilePath(folder);
  std::uint32_t error = 0;
  if (fileExists(files_, path)) files_.deleteFile(path, error);
  return false;
}

}  // namespace hbx
