#pragma once
// What the USB tree adds to a simulated computer: the tree itself from the
// bench's "usb" section, its registry content (the USB class key with
// "UpperFilters", the selective-suspend values of every hub under the keys
// of each driver family, the Windows version values of the named Windows)
// and the device console's "Restart".
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/processes.h"
#include "sim/usb/usb_tree.h"

namespace hbx::sim {
class SimRegistry;
class WinPaths;
struct SimOsIdentity;
}  // namespace hbx::sim

namespace hbx::sim::usb {

inline constexpr const wchar_t* kUsbClassKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";

struct UsbTreeLoad {
  std::unique_ptr<UsbTree> tree;  // always set: empty when the section was refused
  std::string error;
};
// The tree of the bench document's "usb" section (the default without one).
UsbTreeLoad makeUsbTree(const nlohmann::json& document, hub::HubBench& hubs, SimClock& clock);

// The registry keys a hub's selective-suspend setting lives under: the
// device's "Device Parameters" (EnableSelectiveSuspend), its "WDF" subkey
// (IdleInWorkingState) and its driver's class key (SelectiveSuspendEnabled).
struct SuspendKey {
  std::wstring key;
  std::wstring value;
};
std::vector<SuspendKey> suspendKeys(UsbTree& tree, const TreeNode& node);

// Writes the tree's registry content. The USB class key always exists;
// its "UpperFilters" is written only when the "usb" section names them, so
// the bench's own registry decides whether the filter counts as registered.
void writeUsbRegistry(UsbTree& tree, SimRegistry& registry);

// The named Windows ("7", "8", "8.1", "10", "11"): what GetVersionExW reports
// to a program without a supported-OS list, and the version values of
// "SOFTWARE\Microsoft\Windows NT\CurrentVersion".
void applyWindows(const std::string& windows, SimRegistry& registry, SimOsIdentity& identity);

// ShellExecuteExW of the device console placed in the program folder:
// "Restart <hardware id>", the id one argument by the rules of the Windows
// command line. Empty for any other program.
std::optional<platform::ProcessLaunch> runDeviceConsole(UsbTree& tree, WinPaths& paths, const std::wstring& file,
                                                        const std::wstring& parameters);

// The arguments of a Windows command line (CommandLineToArgvW's rules for
// arguments after the program name).
std::vector<std::wstring> splitCommandLine(const std::wstring& line);

}  // namespace hbx::sim::usb
