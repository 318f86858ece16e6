#include "image/version_rules.h"

#include "base/log/format.h"
#include "base/text/text_util.h"

namespace hbx::version {

namespace {

constexpr std::size_t kListFieldsMax = 16;

// CString::Mid: the characters from `start` with at most `length`, empty
// when `start` lies beyond the end.
std::wstring mid(const std::wstring& text, std::size_t start, std::size_t length) {
  if (start >= text.size()) return {};
  return text.substr(start, length);
}

std::wstring right(const std::wstring& text, std::size_t count) {
  return text.size() <= count ? text : text.substr(text.size() - count);
}

constexpr VersionValue kA1Newest{0x1206, 0x21000000};
constexpr VersionValue kA2Oldest{0x1207, 0x20000000};

bool isAbove(const VersionValue& v, const VersionValue& limit) { return v.value() > limit.value(); }

}  // namespace

bool bVersionEquals(const std::wstring& a, const std::wstring& b) { return text::equalsNoCase(a, b); }

VersionValue versionValue(const std::wstring& version) {
  const std::wstring upper = text::upper(version);
  VersionValue v;
  v.msb = text::hexTextValue(upper.substr(0, 4)) & 0xFFFF;
  v.lsb = text::hexTextValue(right(upper, 8));
  return v;
}

int compareVersions(const std::wstring& a, const std::wstring& b) {
  const std::int64_t va = versionValue(a).value();
  const std::int64_t vb = versionValue(b).value();
  return va < vb ? -1 : (va > vb ? 1 : 0);
}

std::wstring strDisplayVersion(const std::wstring& version) {
  return mid(version, 0, 6) + L"_" + mid(version, 6, 2) + L"_" + mid(version, 8, 2) + L"_" +
         mid(version, 10, 2);
}

std::wstring strVersionFromBytes(std::span<const std::uint8_t, 6> b) {
  return wformat(L"%02x%02x%02x%02x%02x%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
}

std::wstring strLogVersion(std::span<const std::uint8_t, 6> b) {
  return wformat(L"%02X%02X%02X_%02X_%02X_%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
}

std::vector<std::wstring> versionListFields(const std::wstring& list) {
  std::vector<std::wstring> fields;
  std::size_t begin = 0;
  while (fields.size() < kListFieldsMax) {
    const std::size_t end = list.find(L';', begin);
    const std::size_t count = end == std::wstring::npos ? std::wstring::npos : end - begin;
    fields.push_back(text::trim(std::wstring_view(list).substr(begin, count)));
    if (end == std::wstring::npos) break;
    begin = end + 1;
  }
  return fields;
}

bool bVersionListed(const std::wstring& list, const std::wstring& version) {
  for (const std::wstring& field : versionListFields(list))
    if (!field.empty() && bVersionEquals(field, version)) return true;
  return false;
}

bool bPartialVersionListed(const std::wstring& version, std::size_t start, std::size_t length,
                           const std::wstring& list) {
  return bVersionListed(list, mid(version, start, length));
}

RevisionGate chipRevisionGate(const std::wstring& chipName, const std::wstring& fileVersion) {
  const VersionValue file = versionValue(fileVersion);
  if (text::equalsNoCase(chipName, L"HBX763xA1") && isAbove(file, kA1Newest)) return RevisionGate::TooNew;
  if (text::equalsNoCase(chipName, L"HBX763xA2") && !isAbove(file, kA2Oldest)) return RevisionGate::TooOld;
  return RevisionGate::Allowed;
}

bool bNeedsLongResetWait(const std::wstring& hubVersion) {
  const VersionValue v = versionValue(hubVersion);
  return (v.msb == 0x1210 && v.lsb == 0x30000000) || (v.msb == 0x1111 && v.lsb == 0x17000000);
}

}  // namespace hbx::version
