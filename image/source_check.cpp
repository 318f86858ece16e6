#include "image/source_check.h"

#include <cwctype>

namespace hbx::image {

namespace {

wchar_t lowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool equalsIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

std::wstring fileNameOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

SourceCheck withResult(SourceCheck check, SourceVerdict verdict, std::uint8_t result) {
  check.verdict = verdict;
  check.result = result;
  return check;
}

}  // namespace

std::wstring extensionOf(const std::wstring& path) {
  return path.size() <= 4 ? path : path.substr(path.size() - 4);
}

SourceKind sourceKindOf(const std::wstring& path) {
  if (!equalsIgnoringCase(extensionOf(path), L".bin")) return SourceKind::None;
  std::wstring name = fileNameOf(path);
  for (wchar_t& c : name) c = lowerAscii(c);
  return name.find(L"config") != std::wstring::npos ? SourceKind::Configuration : SourceKind::Firmware;
}

std::optional<std::wstring> versionInName(const std::wstring& path) {
  std::wstring name = fileNameOf(path);
  std::erase(name, L'_');
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  if (name.size() < 12) return std::nullopt;
  name.erase(0, name.size() - 12);
  for (wchar_t c : name)
    if (!std::iswxdigit(c)) return std::nullopt;
  return name;
}

std::size_t versionOffsetOf(SourceKind kind) {
  return kind == SourceKind::Configuration ? kVersionInImage : kVersionInCode;
}

SourceCheck checkSource(SourceKind kind, std::span<const std::uint8_t> content) {
  SourceCheck check;
  if (kind == SourceKind::None) return check;
  if (kind == SourceKind::Firmware && content.size() > kFirmwareFileMax)
    return withResult(check, SourceVerdict::TooLong, kFirmwareTooLong);

  check.version = versionBytesAt(content, versionOffsetOf(kind));
  if (!check.version) return withResult(check, SourceVerdict::TooShort, kNotASource);
  check.majorType = majorTypeOf((*check.version)[kTypeByteIndex]);
  if (check.majorType > 3) return withResult(check, SourceVerdict::BadMajorType, kNotASource);

  if (kind == SourceKind::Configuration) {
    const bool wrongSize = (check.majorType == 1 && content.size() != kImageSizeMajorType1) ||
                           (check.majorType == 2 && content.size() != kImageSizeMajorType2);
    if (wrongSize) return withResult(check, SourceVerdict::WrongImageSize, kWrongImageSize);
    if (!bConfigTableSealed(content.first<kConfigTableSize>()))
      return withResult(check, SourceVerdict::BadTable, kNotASource);
    check.areaFault = firmwareAreaFault(content.subspan(kFirmwareAreaOffset), check.majorType);
  } else if (content.size() < kFirmwareLengthMin) {
    // The staged length is the file's: a hub boots nothing shorter.
    check.areaFault = AreaFault::Length;
  }
  // Written to a hub, such a source would leave it without firmware it boots.
  if (check.areaFault != AreaFault::None) return withResult(check, SourceVerdict::NotBootable, kNotASource);
  return withResult(check, SourceVerdict::Accepted, check.majorType);
}

}  // namespace hbx::image
