#pragma once
// A setup information file as the simulated setup library reads it:
// sections of lines, each line a key with comma-separated fields or a bare
// list of fields, with %name% replaced from the [Strings] section.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace hbx::sim::setup {

struct InfLine {
  std::wstring key;                  // empty for a line without "="
  std::vector<std::wstring> fields;  // trimmed, quotes removed, strings replaced
};

class InfFile {
 public:
  // Parses the bytes of an INF (UTF-16LE with its byte-order mark, or 8-bit
  // text). Every line is bounded by the file; nothing is refused, as the
  // setup library skips what it does not understand.
  static InfFile parse(const std::vector<std::uint8_t>& bytes);

  bool hasSection(const std::wstring& name) const;
  // The lines of a section (none when it is missing); names ignore case.
  const std::vector<InfLine>& section(const std::wstring& name) const;
  // The fields of the first line with `key` in `section`.
  std::optional<std::vector<std::wstring>> value(const std::wstring& section, const std::wstring& key) const;

 private:
  std::map<std::wstring, std::vector<InfLine>> sections_;
};

}  // namespace hbx::sim::setup
