#pragma once
// CHubUtility: the program's one utility object. It holds the hub filters of
// the run, the walk state, the locks and the host services, and it is reached
// everywhere as pUtility. Members belong to several subsystems; each section
// below names the folder whose sources define it.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "image/default_config.h"  // Firmware images (image/)
#include "image/staged_digest.h"
#include "platform/ports.h"
// Hub device operations (hubdev/)
#include "hubdev/hub_records.h"
#include "hubdev/zelt_filter.h"
#include "hubdev/zelt_usb_lib.h"

namespace hbx {

class CHubUtility {
 public:
  explicit CHubUtility(platform::Ports ports);
  ~CHubUtility();
  CHubUtility(const CHubUtility&) = delete;
  CHubUtility& operator=(const CHubUtility&) = delete;

  platform::Ports& ports() { return ports_; }

  // ---- Hub filters of the run (filled by start-up and the options) --------
  std::uint8_t m_ucUsbMode = 0;  // 0 both speeds, 2 USB 3.0 only, 1 USB 2.0 only
  std::wstring m_strVID_Indetify;
  std::wstring m_strFW_Indetify;
  std::wstring m_strPID30_Indetify;
  std::wstring m_strPID20_Indetify;
  std::wstring m_strManuString_Indetify;
  std::uint8_t m_bCheckManuString = 0;
  std::wstring m_strPartOfFWVersion;
  std::uint8_t m_ucPartOfFWVersionStart = 0;
  std::uint8_t m_ucPartOfFWVersionLength = 0;
  std::uint8_t m_ucRequestedHubNumber = 0;
  std::uint8_t m_bRequestedHubNumber = 0;
  std::wstring m_strFWBinFilePath;

  // The hexadecimal reader: each of 0-9 and A-F (and a-f) adds a digit as
  // value * 16 + digit; every other character is passed over.
  static std::uint32_t ulHexTextToValue(const std::wstring& text);

  // ---- Firmware images (image/) --------------------------------------------
  // Stages a firmware file (code only) as HBXFW_Temp\TempBinData.bin: its
  // length, the code, the chip marker and the checksum. Records the digest of
  // what it wrote; false when nothing sound could be staged.
  bool vCreateTempBinDataFile(const std::wstring& strFWFile);
  // Sets the register table to its built-in default (the program passes an
  // empty name; no other source exists).
  void vLoadRegTableFromFile(const std::wstring& strFile);
  // Puts the default configuration table into the configuration buffer and
  // into the table of device-list entry `index`.
  void vSetMConfigInfo(std::uint8_t index);
  // Downloads the staged file into one image of hub `index`, one hub at a
  // time (m_UpdateFirmwareCriticalSection), after checking that the file is
  // still the one staged; then pauses 800 ms.
  bool vUpdateFirmware(std::uint8_t index, std::uint8_t image, std::uint8_t variant);

  image::RegisterTable m_ucRegTable = image::kDefaultRegisterTable;
  // The configuration buffer: the table of the configuration file of the run.
  image::ConfigTable m_ucMConfigInfo{};
  // The digest of TempBinData.bin as the last staging wrote it.
  image::StagedDigest m_TempBinDigest;

  // ---- Host services (host/) ----------------------------------------------
  // The folder of the program's own executable, without a trailing "\".
  const std::wstring& strProgramFolder() const { return m_strProgramFolder; }
  const std::wstring& strModulePath() const { return m_strModulePath; }
  std::uint8_t ucOSCode() const { return m_ucOSCode; }
  std::int64_t llCounterFrequency() const { return m_llCounterFrequency; }

  // Unattended runs must not block on a box nobody answers: in silent or
  // console mode the plain box's text goes to the log instead (and, in console
  // mode, to the console). Set by the application once the options are known.
  void setUnattendedMode(bool silent, bool console);
  // The plain box: OK button, the program's name as caption. Returns the
  // button pressed (IDOK when the box was not shown).
  int nShowPlainMessage(const std::wstring& text);

  bool bCheckFilePathExists(const std::wstring& strFilePath, std::uint8_t bShowMsg);
  // `data`: for REG_DWORD a 4-byte buffer (a write takes its first 16-bit
  // unit); for the text types a zero-filled buffer of kRegistryTextChars
  // wchar_t. A read that fails leaves the buffer as it was.
  static constexpr std::size_t kRegistryTextChars = 260;
  bool bRegistryReadWrite(const std::wstring& wSubKey, const std::wstring& wKeyName, void* data,
                          std::uint8_t write, std::uint8_t type);
  std::uint8_t GetOSVersion();
  bool IsWow64();
  int DetectProcess(const std::wstring& pName);
  std::uint32_t GetProcessID(const std::wstring& pName);
  bool KillProcess(std::uint32_t pId, std::uint32_t exitCode);
  int bRebootSystem();
  std::wstring vGetFileVersionInfo(const std::wstring& path);
  std::wstring WideStrToMultiStr(const std::wstring& text);
  // The locks are members that always exist; these two mark the span of a
  // run in which they are in use and report a lock still held at the end.
  void vInitializeCriticalSection();
  void vDeleteCriticalSection();
  bool bLocksInitialized() const { return m_bLocksInitialized.load(); }
  // Sleeps 5000 ms and returns true.
  bool bWait5Seconds();

  // The run's locks.
  std::mutex m_UpdateConfigurationCriticalSection;
  std::mutex m_UpdateFirmwareCriticalSection;
  std::mutex m_CPURSTCriticalSection;
  std::mutex m_EnumCriticalSection;
  std::mutex m_VerifyFWCriticalSection;
  std::mutex m_ThreadCriticalSection;

  // Remembered positions of the hubs (all bytes 0xFF at start).
  std::array<std::uint32_t, 8> m_ulOldPositionIndex{};

  // ---- Hub device operations (hubdev/) ------------------------------------
  // These work on a handle the caller opened (INVALID_HANDLE_VALUE is
  // refused) and send every register request through ZELTFILTER1.
  // Reads `count` bytes at `address` every 100 ms until they equal `expected`;
  // false on a failed read or once the whole-second clock has moved on by
  // more than `timeoutSeconds`.
  bool PollingRegStatus(platform::OsHandle hDevice, std::uint16_t address, const std::uint8_t* expected,
                        std::uint8_t count, std::uint32_t timeoutSeconds);
  // Low byte to 0x07FB, high byte to 0x07FC. 0, -1, or -10 for an invalid handle.
  int WriteSignatureWORD(platform::OsHandle hDevice, std::uint16_t word);
  // Clears the signature, writes mark * 256 + 0x5A and checks it. 0, -1 or -10.
  int MarkSignatureforIdentify(platform::OsHandle hDevice, std::uint8_t mark);
  // 1 marked, 0 not, 0xFF read failed, 0xF6 invalid handle.
  std::uint8_t bIsSignatureMarked(platform::OsHandle hDevice);
  // The mark number, 0xFF read failed, 0xF6 invalid handle.
  std::uint8_t ucGetSignatureMarked(platform::OsHandle hDevice);
  // Reads the record's version block and accepts it when its chip family is known.
  bool bGet763xFWVersion(DriverInfo& info);
  // Action 0 reads the table, 1 erases and writes it, 2 erases; true when the
  // last step returned 0. Without the variant flag image 1 is used.
  bool vWrRdConfiguration(std::uint8_t index, std::uint8_t action, std::uint8_t* table, std::uint8_t image,
                          std::uint8_t variant);
  int vCPURST(std::uint8_t index, std::uint8_t byRegisters);

  // The filter-driver instance of the utility object's hub operations; it
  // holds only the ports (bound here, used once the object is built).
  CZELTFILTER0 ZELTFILTER1{ports_};
  // Creates and holds the hub device object (CZeltHubDev, with ZELTFILTER0).
  CZeltUSBLib m_ZeltUSBLib{*this};

 private:
  platform::Ports ports_;
  std::wstring m_strProgramFolder;
  std::wstring m_strModulePath;
  std::uint8_t m_ucOSCode = 255;
  std::int64_t m_llCounterFrequency = 0;
  bool m_bRedirectionDisabled = false;
  std::uintptr_t m_RedirectionToken = 0;
  std::atomic<bool> m_bSilentMode{false};
  std::atomic<bool> m_bConsoleMode{false};
  std::atomic<bool> m_bLocksInitialized{false};
};

// The process-wide utility object (set by the program at start).
extern CHubUtility* pUtility;

}  // namespace hbx
