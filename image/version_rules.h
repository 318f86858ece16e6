#pragma once
// Firmware version strings and every rule decided on them: equality, the
// numeric form used for ordering, the forms shown to users and in log lines,
// and the gates that allow or refuse an update.
//
// A version string stands for six bytes as twelve hexadecimal characters,
// most significant first ("25031825010c").
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hbx::version {

// Equal versions: the whole strings compared ignoring letter case.
bool bVersionEquals(const std::wstring& a, const std::wstring& b);

// The numeric form: MSB is the first 4 characters, LSB the last 8, each read
// by the hexadecimal reader after upper-casing; value = MSB * 2^32 + LSB.
// Shorter strings give what characters they have.
struct VersionValue {
  std::uint32_t msb = 0;
  std::uint32_t lsb = 0;
  std::int64_t value() const { return (static_cast<std::int64_t>(msb) << 32) + lsb; }
};
VersionValue versionValue(const std::wstring& version);

// Ordering by the numeric form: negative, 0 or positive as in a <=> b.
int compareVersions(const std::wstring& a, const std::wstring& b);

// The form shown to users: "xxxxxx_xx_xx_xx".
std::wstring strDisplayVersion(const std::wstring& version);

// Six version bytes as a hub reports them: "%02x" each, lower case.
std::wstring strVersionFromBytes(std::span<const std::uint8_t, 6> bytes);
// Six version bytes as log lines show them: "%02X%02X%02X_%02X_%02X_%02X".
std::wstring strLogVersion(std::span<const std::uint8_t, 6> bytes);

// The fields of a ";"-separated version list, trimmed, at most 16 (empty
// fields are kept in their places so the count stays that of the text).
std::vector<std::wstring> versionListFields(const std::wstring& list);

// True when `version` equals one non-empty field of the list.
bool bVersionListed(const std::wstring& list, const std::wstring& version);

// The partial-version test: the characters of `version` from `start` (0-based)
// with `length`, compared ignoring case with each non-empty field of `list`.
bool bPartialVersionListed(const std::wstring& version, std::size_t start, std::size_t length,
                           const std::wstring& list);

// The chip revision gate on the file version F for a hub's chip name.
enum class RevisionGate {
  Allowed,
  TooNew,  // "HBX763xA1" takes nothing above 0x120621000000
  TooOld,  // "HBX763xA2" takes only versions above 0x120720000000
};
RevisionGate chipRevisionGate(const std::wstring& chipName, const std::wstring& fileVersion);

// Versions whose hubs need the long wait (140 s instead of 40 s) before a
// processor reset: 0x121030000000 and 0x111117000000.
bool bNeedsLongResetWait(const std::wstring& hubVersion);

}  // namespace hbx::version
