#pragma once
// A utility object on a bench folder, with helpers to look at what the
// driver package left on drive C: and in the registry.
#include <filesystem>
#include <string>
#include <vector>

#include "hub/host/driver_package.h"
#include "sim/hub/hub_bench.h"
#include "sim/sim_files.h"
#include "sim/sim_payloads.h"
#include "sim/sim_registry.h"
#include "tests/host/utility_fixture.h"

namespace hbx::testing {

inline constexpr const char* kNotInstalledBench = R"({"hubs": {"driverInstalled": false}})";
inline constexpr const wchar_t* kTemp = L"C:\\Windows\\Temp\\";
inline constexpr const wchar_t* kDriverFolder = L"C:\\Windows\\Temp\\HBX763xFW\\FilterDriver";
inline constexpr const wchar_t* kInstalledDriver = L"C:\\Windows\\system32\\drivers\\zeltufdriver.sys";

// The driver folder's files in the order the package is written.
inline const std::vector<std::wstring>& packageFiles() {
  static const std::vector<std::wstring> files{
      L"zeltufdriver.inf", L"zeltufdriver.cat", L"i386\\zeltufdriver.sys", L"amd64\\zeltufdriver.sys",
      L"k9371937.DLL",     L"msvcrtd.dll",      L"DeleteZeltufdriver.bat"};
  return files;
}

class DeployTest : public UtilityTest {
 protected:
  std::filesystem::path hostPath(const std::wstring& windowsPath) { return host->hostPath(windowsPath); }
  bool exists(const std::wstring& windowsPath) {
    std::error_code ec;
    return std::filesystem::exists(hostPath(windowsPath), ec);
  }
  std::vector<std::uint8_t> bytesOf(const std::wstring& windowsPath) {
    const std::string text = readText(hostPath(windowsPath));
    return std::vector<std::uint8_t>(text.begin(), text.end());
  }
  std::vector<std::uint8_t> carried(const driver::PayloadId& id) {
    return host->payloads().payload(id.type, id.id).value_or(std::vector<std::uint8_t>{});
  }
  std::wstring upperFilters() {
    const auto value = host->registry().value(driver::kUsbClassKey, L"UpperFilters");
    if (!value) return L"<none>";
    std::wstring text;
    for (std::size_t i = 0; i + 1 < value->bytes.size(); i += 2) {
      const auto unit = static_cast<wchar_t>(value->bytes[i] | (value->bytes[i + 1] << 8));
      text += unit == 0 ? L'|' : unit;
    }
    return text;
  }
  bool deviceObjects() { return host->hubBench().driverInstalled(); }
};

}  // namespace hbx::testing
