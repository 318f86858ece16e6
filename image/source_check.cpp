#include "image/source_check.h"

namespace hbx::image {

namespace {

wchar_t lowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool equalsIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
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
  return path.find(L"Config") != std::wstring::npos ? SourceKind::Configuration : SourceKind::Firmware;
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
  }
  return withResult(check, SourceVerdict::Accepted, check.majorType);
}

}  // namespace hbx::image
