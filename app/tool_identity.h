#pragma once
// The tool's own name and version, as it shows them and as the process list
// names it.
namespace hbx::tool {

inline constexpr const wchar_t* kProgramFileName = L"8634FWUpgradeTool.exe";
inline constexpr const wchar_t* kVersion = L"3, 2, 2, 0";
inline constexpr const wchar_t* kCaption = L"Corvane USB 3.2 Hub Firmware Update Tool Ver 3, 2, 2, 0";

}  // namespace hbx::tool
