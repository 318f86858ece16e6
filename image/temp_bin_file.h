#pragma once
// The staged download file: program folder\"HBXFW_Temp"\"TempBinData.bin".
// Both stagings write it, every firmware download reads it.
#include <cstdint>
#include <span>
#include <string>

#include "platform/files.h"

namespace hbx::image {

inline constexpr wchar_t kTempBinFolderName[] = L"HBXFW_Temp";
inline constexpr wchar_t kTempBinFileName[] = L"TempBinData.bin";

std::wstring tempBinFolder(const std::wstring& programFolder);
std::wstring tempBinFile(const std::wstring& programFolder);

// Writes all of `bytes` to an open file; false with the system error on a
// failed or short write.
bool writeAll(platform::FilePort& files, platform::OsHandle file, std::span<const std::uint8_t> bytes,
              std::uint32_t& error);

// The largest source file the program reads whole: far above every image
// (64 KiB and an export's trailer), so that a huge file is refused by its
// size before memory is taken for it.
inline constexpr std::uint32_t kSourceFileMax = 0x100000;

}  // namespace hbx::image
