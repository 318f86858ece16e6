#pragma once
// The settings file "HBX763xFWUpg.ini": carried inside the program, written
// beside it at start-up (or into the work folder when a user's file of that
// name lies beside it), read into one field per key and deleted again.
#include <cstdint>
#include <functional>
#include <string>

namespace hbx::platform {
class FilePort;
class PayloadPort;
}  // namespace hbx::platform

namespace hbx {

class Ini {
 public:
  static constexpr const wchar_t* kFileName = L"HBX763xFWUpg.ini";
  static constexpr const wchar_t* kResourceType = L"INI";
  static constexpr std::uint32_t kResourceId = 138;

  Ini(platform::FilePort& files, platform::PayloadPort& payloads);

  // Shows the plain message box of a failed load (the owner decides how, by
  // run mode). Unset, nothing is shown.
  void setPlainMessage(std::function<void(const std::wstring&)> show) { plainMessage_ = std::move(show); }

  // Writes the carried copy to folder + "\HBX763xFWUpg.ini", replacing any
  // file of that name. 0 on success, 255 when it could not be written.
  int nExtractINILib(const std::wstring& folder);
  // Reads every line of the file into the fields. True when every line was
  // recognised; false when one was not (after a plain box naming the last
  // non-empty line) or when the file cannot be read.
  bool vLoadINIFile(const std::wstring& path);
  // Deletes folder + "\HBX763xFWUpg.ini" if it exists. Always false.
  bool vDeleteINIFile(const std::wstring& folder);

  static std::wstring strFilePath(const std::wstring& folder);

  // The folder the carried copy goes to: `programFolder`, the copy claimed by
  // a note in `workFolder`, unless a file of this name lies there that no run
  // wrote; that one is the user's and stays as it is, and the copy goes to
  // `workFolder`, the program's own.
  std::wstring strPlaceCopy(const std::wstring& programFolder, const std::wstring& workFolder);
  // Deletes the copy written into the folder strPlaceCopy chose, and its
  // note; a file that is no longer the run's copy is not touched.
  void vDeleteCopy();

  // One field per key; numbers hold the low byte of their decimal value.
  // [fun_item]
  std::uint8_t force_disable_fwupdate = 0;
  // [chk_item]
  std::uint8_t check_fw_version = 0;
  std::uint8_t check_chip_type = 0;
  std::uint8_t check_U3_only = 0;
  std::uint8_t check_U2_only = 0;
  std::uint8_t check_product_string = 0;
  std::uint8_t check_manufacture_string = 0;
  std::uint8_t check_vid = 0;
  std::uint8_t check_pid = 0;
  std::uint8_t check_part_of_fw_version = 0;
  std::uint8_t check_bounding_option = 0;
  std::uint8_t check_minor_byte_of_chip_type_BiggerThen = 0;
  std::uint8_t EnableRelinkToRomCode = 0;
  std::uint8_t EnableRelinkAfterFWUpg = 0;
  // [chk_value]
  std::wstring fw_version;
  std::wstring chip_type;
  std::wstring minor_byte_of_chip_type;
  std::wstring manufacture_string;
  std::wstring product_string;
  std::wstring vid;
  std::wstring pid;
  std::wstring part_of_fw_version;
  std::wstring bounding_option1;
  std::wstring bounding_option2;
  std::uint8_t start_address_of_part_of_fw_version = 0;
  std::uint8_t part_of_fw_version_length = 0;
  std::wstring minor_byte_of_chip_type_BiggerThen;
  // [regEdit]
  std::uint8_t reg_edit_enable = 0;
  std::wstring reg_edit_subkey;
  std::wstring reg_edit_keyname;
  std::wstring reg_edit_type;
  std::wstring reg_edit_value;

 private:
  // Stores one name/value pair; false when the name is no key of the file.
  bool bStoreItem(const std::wstring& name, const std::wstring& value);

  platform::FilePort& files_;
  platform::PayloadPort& payloads_;
  std::wstring copyFolder_;  // where the carried copy lies; empty once deleted
  std::wstring note_;
  std::function<void(const std::wstring&)> plainMessage_;
};

}  // namespace hbx
