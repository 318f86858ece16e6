#include "base/text/utf.h"

#include <cstdint>

namespace hbx {

namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

bool isHighSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool isScalar(std::uint32_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }

void appendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One character as wide text: a surrogate pair where wchar_t has 16 bits.
void appendWide(std::wstring& out, std::uint32_t c) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<wchar_t>(0xD800 + (c >> 10));
    out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<wchar_t>(c);
  }
}

}  // namespace

std::string toUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = static_cast<std::uint32_t>(text[i]);
    // Text from Windows APIs carries UTF-16 pairs also where wchar_t is wider.
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    }
    appendUtf8(out, isScalar(c) ? c : kReplacement);
  }
  return out;
}

std::wstring fromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    std::uint32_t c = extra <= 0 ? b : (b & (0x3F >> extra));
    bool valid = extra >= 0;
    for (int k = 1; valid && k <= extra; ++k) {
      const bool more = i + k < text.size();
      const auto cont = more ? static_cast<unsigned char>(text[i + k]) : 0;
      valid = more && (cont & 0xC0) == 0x80;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!valid) {
      // One replacement for the byte that starts no whole character.
      out += static_cast<wchar_t>(kReplacement);
      ++i;
      continue;
    }
    appendWide(out, isScalar(c) ? c : kReplacement);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string toUtf8Within(std::wstring_view text, std::size_t maxBytes) {
  std::string out = toUtf8(text);
  if (out.size() <= maxBytes) return out;
  std::size_t cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
  out.resize(cut);
  return out;
}

}  // namespace hbx
