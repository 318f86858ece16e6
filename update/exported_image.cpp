#include "update/exported_image.h"

#include "image/source_file.h"
#include "image/temp_bin_file.h"

namespace hbx::update {

bool bIsExportedImagePath(const std::wstring& path) { return path.find(kExportedImageName) != std::wstring::npos; }

bool bSplitExportedImage(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& image,
                         ExportedTrailer& trailer) {
  if (file.size() < kTrailerBytes) return false;
  const std::size_t imageBytes = file.size() - kTrailerBytes;
  image.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(imageBytes));
  const std::uint8_t* t = file.data() + imageBytes;
  auto word = [t](std::size_t at) { return static_cast<std::uint16_t>(t[at] | (t[at + 1] << 8)); };
  for (std::size_t i = 0; i < trailer.version.size(); ++i) trailer.version[i] = t[i];
  trailer.fwType = t[6];
  trailer.vid = word(7);
  trailer.pid30 = word(9);
  trailer.pid20 = word(11);
  trailer.manufacturer.clear();
  for (std::size_t i = 0; i < kTrailerManufacturerChars && t[13 + i] != 0; ++i)
    trailer.manufacturer.push_back(static_cast<wchar_t>(t[13 + i]));
  return true;
}

bool bReadExportedImage(platform::FilePort& files, const std::wstring& path, std::vector<std::uint8_t>& image,
                        ExportedTrailer& trailer, std::uint32_t& error) {
  std::vector<std::uint8_t> file;
  error = 0;
  const image::SourceRead read = image::readSourceFile(files, path, image::kSourceFileMax, file);
  error = read.error;
  if (read.step != image::ReadStep::Done) return false;
  return bSplitExportedImage(file, image, trailer);
}

}  // namespace hbx::update
