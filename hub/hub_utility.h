#pragma once
// CHubUtility: the program's one utility object. It holds the hub filters of
// the run, the walk state, the locks and the host services, and it is reached
// everywhere as pUtility. Members belong to several subsystems; each section
// below names the folder whose sources define it.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "image/default_config.h"  // Firmware images (image/)
#include "image/source_file.h"
#include "image/staged_digest.h"
#include "platform/ports.h"
// Hub device operations (device/)
#include "hub/device/hub_records.h"
#include "hub/device/zelt_filter.h"
#include "hub/device/zelt_usb_lib.h"
// Hub discovery (discovery/)
#include "hub/discovery/power_settings_memory.h"
#include "hub/discovery/usb_layouts.h"
#include "hub/discovery/walk_context.h"

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
  // The firmware source as its last read found it (see image::LoadedSource).
  image::LoadedSource m_Source;
  // Reads `path` whole now and keeps it as m_Source.
  const image::LoadedSource& readSource(const std::wstring& path);
  // m_Source when it was read from `path`, else `path` read now: the run
  // reads its source once (start-up classifies it) and takes every later
  // look from that read.
  const image::LoadedSource& sourceOf(const std::wstring& path);
  const image::LoadedSource& runSource() { return sourceOf(m_strFWBinFilePath); }

  // The hexadecimal reader: each of 0-9 and A-F (and a-f) adds a digit as
  // value * 16 + digit; every other character is passed over.
  static std::uint32_t ulHexTextToValue(const std::wstring& text);

  // ---- Firmware images (image/) --------------------------------------------
  // Stages a firmware file (code only) as HBXFW_Temp\TempBinData.bin: its
  // length, the code, the chip marker and the checksum. Records the digest of
  // what it wrote; false when nothing sound could be staged.
  bool vCreateTempBinDataFile(const std::wstring& strFWFile);
  // The same from firmware code already in memory.
  bool bStageFirmwareCode(std::span<const std::uint8_t> code);
  // Sets the register table to its built-in default (the program passes an
  // empty name; no other source exists).
  void vLoadRegTableFromFile(const std::wstring& strFile);
  // Puts the default configuration table into the configuration buffer and
  // into the table of device-list entry `index`.
  void vSetMConfigInfo(std::uint8_t index);
  // Reads one image of hub `index` into `out` (0xFF00 bytes): the
  // configuration table, then the firmware area from byte 256. A failed table
  // read finds the hub again by its position before the next of 3 attempts.
  bool bReadSPIROM(std::uint8_t index, std::uint8_t* out, std::uint8_t image, std::uint8_t variant);
  // Downloads the staged file into one image of hub `index`, one hub at a
  // time (m_UpdateFirmwareCriticalSection), after checking that the file is
  // still the one staged; then pauses 800 ms.
  bool vUpdateFirmware(std::uint8_t index, std::uint8_t image, std::uint8_t variant);
  // Reads back both images' configuration tables and image 0's firmware
  // area of hub `index` and compares them with `table` (256 bytes) and the
  // staged download file; the first difference is logged with its image,
  // offset and both bytes. True when everything matches.
  bool bVerifyWrittenImage(std::uint8_t index, const std::uint8_t* table);
  // True when image 0 of hub `index` holds the firmware of `version` whole:
  // a sealed configuration table and a firmware area of a valid length with
  // the chip marker of `majorType`, a right checksum and those version bytes.
  // What a hub runs is no proof: an update cut in its writes leaves the old
  // firmware running on an erased image, one without a reset runs the old
  // firmware over the new.
  bool bImage0HoldsVersion(std::uint8_t index, const std::wstring& version, std::uint8_t majorType);

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

  // `accessMode`: what _waccess must allow beyond existence (6 read and
  // write); `regularFileOnly`: a folder, pipe or device fails.
  bool bCheckFilePathExists(const std::wstring& strFilePath, std::uint8_t bShowMsg, int accessMode = 6,
                            bool regularFileOnly = false);
  // The test of a firmware source, which is only read: a file on a disk (no
  // folder, pipe or device) that can be read. Messages as above.
  bool bCheckSourceFileExists(const std::wstring& strFilePath, std::uint8_t bShowMsg);
  // `data`: for REG_DWORD a 4-byte buffer (a write takes its first 16-bit
  // unit); for the text types a zero-filled buffer of kRegistryTextChars
  // wchar_t. A read that fails leaves the buffer as it was.
  static constexpr std::size_t kRegistryTextChars = 260;
  bool bRegistryReadWrite(const std::wstring& wSubKey, const std::wstring& wKeyName, void* data,
                          std::uint8_t write, std::uint8_t type);
  // Removes one value of an existing key under HKEY_LOCAL_MACHINE; true when
  // it is gone.
  bool bRegistryDeleteValue(const std::wstring& wSubKey, const std::wstring& wKeyName);
  std::uint8_t GetOSVersion();
  bool IsWow64();
  // The machine Windows runs on (platform::machine), told alike to the 32-bit
  // and the 64-bit build: IsWow64Process2 where kernel32 has it; on older
  // Windows (none of them runs on ARM64) the build's own machine, or x64
  // under WOW64.
  std::uint16_t uNativeMachine();
  // 64-bit Windows, whichever build runs: the amd64 device-console tool.
  bool bIs64BitWindows() { return uNativeMachine() != platform::machine::kI386; }
  int DetectProcess(const std::wstring& pName);
  std::uint32_t GetProcessID(const std::wstring& pName);
  bool KillProcess(std::uint32_t pId, std::uint32_t exitCode);
  // Ends another copy of the program, process `pId` of image `pName`: asks
  // it to stop the write-safe way (it cleans up and ends by itself), waits
  // at most `waitMs` for it to be gone, and only then ends it outright with
  // `exitCode`. True once it is gone.
  bool StopProcess(std::uint32_t pId, const std::wstring& pName, std::uint32_t exitCode, std::uint32_t waitMs);
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

  // ---- Payload extraction and driver installation (host/) ------------------
  // `base` is the temporary-files path (ending in "\"); the driver folder is
  // base + "HBX763xFW\FilterDriver". Statuses: 0, -1 or -10.
  // Writes the driver package into the driver folder (INF, catalog, the two
  // driver builds, the two libraries, the uninstall script); the first
  // failure stops, files already written stay.
  int nLoadFilterDriverLib(const std::wstring& base);
  // Writes only the uninstall script into the driver folder.
  int nLoadDelInstall_INF(const std::wstring& base);
  // Extracts the package and runs the setup library's DefaultInstall on it.
  // The extraction status, -1 when the command cannot be started, or 0.
  int InstallFilterDriver(const std::wstring& base);
  int Launch_INF(const std::wstring& driverFolder);
  // Starts a setup command in the driver folder and waits for it, with
  // file-system redirection off on this thread meanwhile.
  platform::ProcessLaunch launchSetupCommand(const std::wstring& commandLine, const std::wstring& driverFolder);
  // Runs the uninstall script of the driver folder (extracting the package
  // first when the script is missing). 0 once it ran, -1 when it cannot start.
  int Launch_DelINF(const std::wstring& base);
  // `add` writes the device-console tool of this Windows into `folder`
  // (a user's tool of that name is used as it is); otherwise deletes the
  // copy this run wrote or took over from a run ended from outside, never
  // a user's tool. 0 or -10.
  int nADD_Delete_DevconFile(const std::wstring& folder, bool add);
  // True when "UpperFilters" of the USB class key names our filter.
  bool bIsInstallZeltFilterDriverFromRegistry();
  // Uninstalls the filter (Launch_DelINF on `buffer`, the temporary-files
  // path) and, once the script ran, calls `vRemoveRunImages` (the dialog's
  // vRemoveBinFiles) and deletes the staged image and the driver files. On
  // return `buffer` holds the driver folder for the caller to remove. The
  // result of Launch_DelINF, or kRemovalLeftDriver when the script ran but
  // left some of the filter in place (logged with what is left).
  static constexpr int kRemovalLeftDriver = -2;
  int Remove_FilterDriverAndFiles(std::wstring& buffer, const std::function<void()>& vRemoveRunImages);
  // What is left of the filter: its name in "UpperFilters", its service key,
  // its driver file in the real system drivers folder; empty when nothing.
  std::wstring strFilterLeftovers();

  // ---- Hub discovery (discovery/) -----------------------------------------
  // USB hub queries on hub handles.
  // Stores the root hub name of a host controller in m_strRootHubName.
  bool GetRootHubName(platform::OsHandle hHostController);
  // Fills strbcdUSB, strVID, strPID (and the logged texts) from the device
  // descriptor of the device on a port, and reads its strings with the
  // indices 2 (manufacturer), 3 (product) and 1 (serial number) only.
  void GetDeviceDescriptor(platform::OsHandle hHub, std::uint32_t ulPortIndex, std::uint16_t uspLanguageID,
                           const UsbDeviceDescriptor& descriptor);
  // One string of the device on a port in its first language; empty on failure.
  std::wstring GetStringDescriptor(platform::OsHandle hHub, std::uint32_t ulPortIndex, std::uint16_t& uspLanguageID,
                                   std::uint8_t ucIndex);
  // The device name of the hub on a port, cut after its first "}"; empty
  // after three attempts without one.
  std::wstring strGetExternalHubName(platform::OsHandle hHub, std::uint8_t ulPortIndex);
  // Mask of the connected downstream ports among ports 1-8 of `ucPortMask`
  // (port 2 sets 2, port 3 sets 4, port 4 sets 8, any other port 1).
  std::uint32_t GetPortStatus(const std::wstring& strHubName, std::uint8_t ucPortMask);
  // "{xxxxxxxx-...}" names of the MCCI stack: first group minus one, lower
  // case, "-" as "_". Other names come back unchanged.
  std::wstring strChangeDeviceNameForMCCI(const std::wstring& strHubName);
  // Connection information of a port in the EX layout (kConnectionInfoExBytes);
  // when the EX request fails the older one answers, copied field by field
  // with Speed 0. False when both fail.
  bool bGetConnectionInformation(platform::OsHandle hHub, std::uint32_t ulPortIndex, std::vector<std::uint8_t>& info);
  // bNumberOfPorts of a hub's node information; false when it cannot be read.
  bool bGetHubPortCount(platform::OsHandle hHub, std::uint32_t& ulPortCount, std::uint32_t& dwErrorCode);

  // Filter-driver device objects and hub interfaces.
  // 0 found; -1 no list or unreadable detail; -4 no interface matched; -5 the
  // last one examined did not match; -8 out of memory; -9 time-out (bWait).
  int GetObjecNameFromDriverName(DriverInfo* Driverinfo, bool bHub, bool bWait);
  using HubInterfacePaths = std::array<std::wstring, 16>;
  std::uint8_t ucGetHubInterfaces(const HubInfo& hub, HubInterfacePaths& paths, bool bRestart);
  std::uint8_t ucGetHWId(const platform::Guid& interfaceClass, const HubInfo& hub, HubInterfacePaths& paths,
                         bool bRestart);
  bool bChangeDeviceStatus(platform::OsHandle hDevInfo, const platform::DeviceInfoData& devInfo,
                           std::uint32_t dwStateChange);
  std::wstring vGetSetupDiDeviceRegistryProperty(platform::OsHandle hDevInfo, const platform::DeviceInfoData* devInfo,
                                                 std::uint32_t dwProperty);

  // Selective suspend. With 0 it switches the hub's setting off and
  // remembers the value it found; with 1 it writes back what was found (1
  // where nothing was). False only when overwriting a value failed.
  bool bSetHubPowerManagementByRegistry(HubInfo hub, std::uint32_t dwValue);
  // At the end of a run: puts back every value the walks of the run changed,
  // for every hub they met, and removes the values kept beside them; with
  // `keepSettings` ("/UN") the settings stay as the run left them and only the
  // kept values go. One result per value put back, with its hub connection.
  struct PowerSettingPutBack {
    std::wstring hub;
    bool ok;
  };
  std::vector<PowerSettingPutBack> putBackPowerSettings(bool keepSettings);
  // What the walks of the run left of each value they met.
  std::vector<PowerSettingsMemory::Left> powerSettingsLeft() const { return m_PowerSettingsFound.leftByDiscovery(); }

  // The USB topology walk. Fills the records of the walk's target (the hub
  // device object of m_ZeltUSBLib unless a scan names another) with every hub
  // that passes the run's filters; descends through the hubs it leaves out.
  // False when no host controller is present or the enumeration broke off.
  bool GetDeviceList();
  void EnumerateHost(platform::OsHandle hHostController, const std::wstring& strHostDesc, bool bCorvaneHost);
  // Searches the ports of one hub (the root hub at tier 0) and descends into
  // every hub found; `walk` says where the walk stands.
  void GetHubPort(platform::OsHandle hHub, std::uint32_t ulPortCount, WalkContext& walk);
  // The hub device object whose records the walk fills.
  CZeltHubDev* walkTarget();
  // Makes `target` the walk's target for the life of the object (a rebuild
  // during re-enumeration works on records of its own).
  class WalkTargetScope {
   public:
    WalkTargetScope(CHubUtility& utility, CZeltHubDev& target);
    ~WalkTargetScope();
    WalkTargetScope(const WalkTargetScope&) = delete;
    WalkTargetScope& operator=(const WalkTargetScope&) = delete;

   private:
    CHubUtility& utility_;
    CZeltHubDev* previous_;
  };

  // Finds the hub of device-list entry `ucTargetNumber` again after its
  // processor reset, by its position index, and brings that entry up to
  // date. Three attempts; one re-enumeration at a time.
  bool ReEnumrationTargetHub(std::uint8_t ucTargetNumber);

  // Re-enumeration mode: 1 only while a reset hub is being found again.
  std::atomic<std::uint8_t> m_bAllHubCheck4ReEnum{0};

  // Driver-key instance numbers of the last hub-interface listing.
  HubInterfacePaths m_strHubDriverKey;
  // The root hub name of the controller walked last, and the descriptor
  // texts of the device examined last.
  std::wstring m_strRootHubName;
  std::wstring strbcdUSB;
  std::wstring strVID;
  std::wstring strPID;
  std::wstring strIManufacture;
  std::wstring strIProduct;
  std::wstring strISerialNumber;
  std::wstring strBcdDevice;

  // ---- Update run (update/) -----------------------------------------------
  // The deepest tier of hubs still to be reset: raised to the greatest hub
  // depth while the hubs are opened, lowered by the main task as each tier
  // is done, read by the workers waiting for their reset turn.
  std::atomic<std::uint8_t> m_MaxHubDepth{0};

  // ---- Hub device operations (device/) -------------------------------------
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
  std::wstring m_strDevconCopy;  // the device-console tool this run placed; empty: none
  std::uint8_t m_ucOSCode = 255;
  std::int64_t m_llCounterFrequency = 0;
  std::atomic<bool> m_bSilentMode{false};
  std::atomic<bool> m_bConsoleMode{false};
  std::atomic<bool> m_bLocksInitialized{false};
  // Hub discovery (discovery/): the selective-suspend values found.
  PowerSettingsMemory m_PowerSettingsFound;
  // Hub discovery (discovery/): the records a walk fills (null: m_ZeltUSBLib's),
  // and how many of them this walk has filled so far (overwrites are logged).
  CZeltHubDev* m_pWalkTarget = nullptr;
  std::uint8_t m_ucWalkRecordsFilled = 0;

  // The walk's steps for one hub found on a port (discovery/topology_walk.cpp).
  Examined examineHub(WalkPort& at, const WalkContext& walk, CZeltHubDev& dev);
  void fetchWalkHubName(WalkPort& at, const WalkContext& walk);
  bool passesSpeedMode();
  bool passesIdentityFilters(const WalkPort& at, const CZeltHubDev& dev);
  DriverInfo* takeWalkRecord(const std::wstring& changedName, CZeltHubDev& dev, bool& overflow);
  bool readWalkVersion(const WalkPort& at, const WalkContext& walk, const HubInfo& hub, DriverInfo& record,
                       CZeltHubDev& dev);
  bool listedByFamily(const DriverInfo& record);
  void fillWalkRecord(DriverInfo& record, const WalkPort& at, const WalkContext& walk);
  void descendInto(const WalkPort& at, WalkContext& walk, const std::wstring& path);

  // The steps of a selective-suspend change (discovery/power_settings.cpp).
  bool powerSettingPaths(const HubInfo& hub, std::uint32_t dwValue, std::uint8_t os, std::vector<std::wstring>& paths);
  std::wstring powerSettingDriverKey(const std::wstring& path, std::size_t index, std::uint32_t dwValue,
                                     std::uint8_t os);
  bool changeSuspendSetting(const HubInfo& hub, const std::wstring& subKey, const std::wstring& keyName,
                            std::uint32_t dwValue);
};

// The process-wide utility object (set by the program at start).
extern CHubUtility* pUtility;

}  // namespace hbx
