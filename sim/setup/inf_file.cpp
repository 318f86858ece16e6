#include "sim/setup/inf_file.h"

#include <cwctype>

#include "sim/win_paths.h"

namespace hbx::sim::setup {

namespace {

std::wstring decode(const std::vector<std::uint8_t>& bytes) {
  std::wstring text;
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    }
    return text;
  }
  for (std::uint8_t b : bytes) text += static_cast<wchar_t>(b);
  return text;
}

std::wstring trim(const std::wstring& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::iswspace(text[begin])) ++begin;
  while (end > begin && std::iswspace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Cuts a line at a ";" outside quotes.
std::wstring withoutComment(const std::wstring& line) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == L'"') quoted = !quoted;
    else if (line[i] == L';' && !quoted) return line.substr(0, i);
  }
  return line;
}

std::vector<std::wstring> splitFields(const std::wstring& text) {
  std::vector<std::wstring> fields;
  std::wstring field;
  bool quoted = false;
  for (wchar_t c : text) {
    if (c == L'"') {
      quoted = !quoted;
    } else if (c == L',' && !quoted) {
      fields.push_back(trim(field));
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(trim(field));
  return fields;
}

std::wstring replaceStrings(const std::wstring& text, const std::map<std::wstring, std::wstring>& strings) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') {
      out += text[i];
      continue;
    }
    const std::size_t close = text.find(L'%', i + 1);
    if (close == std::wstring::npos) {
      out += text.substr(i);
      break;
    }
    const std::wstring name = text.substr(i + 1, close - i - 1);
    const auto it = strings.find(foldCase(name));
    // Directory ids (%12%) and unknown names stay as written.
    out += it != strings.end() ? it->second : L"%" + name + L"%";
    i = close;
  }
  return out;
}

}  // namespace

InfFile InfFile::parse(const std::vector<std::uint8_t>& bytes) {
  const std::wstring text = decode(bytes);
  // Raw lines per section first: [Strings] may come last.
  std::map<std::wstring, std::vector<std::wstring>> raw;
  std::vector<std::wstring>* current = nullptr;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = trim(withoutComment(text.substr(start, end - start)));
    start = end + 1;
    if (line.empty()) continue;
    if (line.front() == L'[') {
      const std::size_t close = line.find(L']');
      current = close == std::wstring::npos ? nullptr : &raw[foldCase(trim(line.substr(1, close - 1)))];
      continue;
    }
    if (current) current->push_back(line);
  }
  std::map<std::wstring, std::wstring> strings;
  for (const std::wstring& line : raw[L"strings"]) {
    const std::size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    const std::vector<std::wstring> value = splitFields(line.substr(eq + 1));
    strings[foldCase(trim(line.substr(0, eq)))] = value.empty() ? L"" : value.front();
  }
  InfFile inf;
  for (const auto& [name, lines] : raw) {
    std::vector<InfLine>& parsed = inf.sections_[name];
    for (const std::wstring& line : lines) {
      InfLine entry;
      const std::size_t eq = line.find(L'=');
      const bool quotedBeforeEq = eq != std::wstring::npos && line.find(L'"') < eq;
      if (eq != std::wstring::npos && !quotedBeforeEq) {
        entry.key = foldCase(trim(line.substr(0, eq)));
        entry.fields = splitFields(replaceStrings(line.substr(eq + 1), strings));
      } else {
        entry.fields = splitFields(replaceStrings(line, strings));
      }
      parsed.push_back(std::move(entry));
    }
  }
  return inf;
}

bool InfFile::hasSection(const std::wstring& name) const { return sections_.count(foldCase(name)) != 0; }

const std::vector<InfLine>& InfFile::section(const std::wstring& name) const {
  static const std::vector<InfLine> kNone;
  const auto it = sections_.find(foldCase(name));
  return it == sections_.end() ? kNone : it->second;
}

std::optional<std::vector<std::wstring>> InfFile::value(const std::wstring& sectionName, const std::wstring& key) const {
  for (const InfLine& line : section(sectionName)) {
    if (line.key == foldCase(key)) return line.fields;
  }
  return std::nullopt;
}

}  // namespace hbx::sim::setup
