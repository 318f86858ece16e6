#include "base/log/format.h"

#include <cstdio>

namespace hbx {

std::int64_t FormatArg::asSigned() const {
  switch (kind_) {
    case Kind::Signed: return i_;
    case Kind::Unsigned:
    case Kind::Pointer: return static_cast<std::int64_t>(u_);
    case Kind::Double: return static_cast<std::int64_t>(d_);
    default: return 0;
  }
}

std::uint64_t FormatArg::asUnsigned() const {
  return kind_ == Kind::Signed ? static_cast<std::uint64_t>(i_)
                               : static_cast<std::uint64_t>(asSigned());
}

double FormatArg::asDouble() const {
  switch (kind_) {
    case Kind::Double: return d_;
    case Kind::Signed: return static_cast<double>(i_);
    case Kind::Unsigned: return static_cast<double>(u_);
    default: return 0;
  }
}

std::wstring FormatArg::asWide() const {
  if (kind_ == Kind::Wide) return std::wstring(w_);
  if (kind_ == Kind::Narrow) return fromUtf8(n_);
  return L"";
}

std::string FormatArg::asNarrow() const {
  if (kind_ == Kind::Narrow) return std::string(n_);
  if (kind_ == Kind::Wide) return toUtf8(w_);
  return "";
}

namespace {

struct Conversion {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = 0;
  int precision = -1;
  bool wideLen = false, narrowLen = false, longLong = false, shortLen = false;
  char conv = 0;
};

template <class CharT>
struct Writer {
  std::basic_string<CharT> out;
  std::size_t maxChars;
  bool full() const { return out.size() >= maxChars; }
  void put(CharT c) {
    if (out.size() < maxChars) out += c;
  }
  void put(const std::basic_string<CharT>& s) {
    for (CharT c : s) put(c);
  }
};

template <class CharT>
std::basic_string<CharT> widen(const std::string& ascii) {
  return std::basic_string<CharT>(ascii.begin(), ascii.end());
}

template <class CharT>
void pad(Writer<CharT>& w, const std::basic_string<CharT>& body, const Conversion& s, bool numeric) {
  const int len = static_cast<int>(body.size());
  if (len >= s.width) {
    w.put(body);
    return;
  }
  const int fill = s.width - len;
  if (s.left) {
    w.put(body);
    for (int i = 0; i < fill; ++i) w.put(CharT(' '));
    return;
  }
  if (s.zero) {
    // Zeros go after a sign or a 0x prefix of a number.
    std::size_t lead = 0;
    if (numeric && !body.empty() && (body[0] == CharT('-') || body[0] == CharT('+') || body[0] == CharT(' '))) lead = 1;
    if (numeric && body.size() >= lead + 2 && body[lead] == CharT('0') &&
        (body[lead + 1] == CharT('x') || body[lead + 1] == CharT('X'))) lead += 2;
    w.put(body.substr(0, lead));
    for (int i = 0; i < fill; ++i) w.put(CharT('0'));
    w.put(body.substr(lead));
    return;
  }
  for (int i = 0; i < fill; ++i) w.put(CharT(' '));
  w.put(body);
}

std::string integerText(const Conversion& s, const FormatArg& a) {
  const bool is64 = s.longLong;
  std::string digits;
  // Literal pointers, not strings: assigning literals to a std::string here
  // trips a false -Wrestrict warning of GCC 12 at -O3.
  const char* sign = "";
  const char* prefix = "";
  if (s.conv == 'd' || s.conv == 'i') {
    std::int64_t v = a.asSigned();
    if (!is64) v = static_cast<std::int32_t>(static_cast<std::uint32_t>(a.asUnsigned()));
    if (s.shortLen) v = static_cast<std::int16_t>(v);
    const std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    digits = std::to_string(mag);
    sign = v < 0 ? "-" : s.plus ? "+" : s.space ? " " : "";
  } else {
    std::uint64_t v = a.asUnsigned();
    if (!is64) v &= 0xFFFFFFFFull;
    if (s.shortLen) v &= 0xFFFFull;
    char buf[32];
    if (s.conv == 'u') std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v));
    else if (s.conv == 'o') std::snprintf(buf, sizeof buf, "%llo", static_cast<unsigned long long>(v));
    else if (s.conv == 'X') std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
    else std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(v));
    digits = buf;
    if (s.alt && v != 0 && (s.conv == 'x' || s.conv == 'X')) prefix = s.conv == 'x' ? "0x" : "0X";
    if (s.alt && s.conv == 'o' && digits[0] != '0') prefix = "0";
  }
  if (s.precision == 0 && digits == "0") digits.clear();
  const std::size_t zeros =
      s.precision > static_cast<int>(digits.size()) ? static_cast<std::size_t>(s.precision) - digits.size() : 0;
  std::string text;
  text.reserve(4 + zeros + digits.size());
  text.append(sign).append(prefix).append(zeros, '0').append(digits);
  return text;
}

std::string doubleText(const Conversion& s, double v) {
  std::string f = "%";
  if (s.plus) f += '+';
  if (s.space) f += ' ';
  if (s.alt) f += '#';
  f += '.';
  f += std::to_string(s.precision < 0 ? 6 : s.precision);
  f += s.conv;
  char buf[512];
  std::snprintf(buf, sizeof buf, f.c_str(), v);
  return buf;
}

template <class CharT>
std::basic_string<CharT> stringArg(const FormatArg& a) {
  if constexpr (sizeof(CharT) == 1) {
    return a.asNarrow();
  } else {
    return a.asWide();
  }
}

template <class CharT>
std::basic_string<CharT> formatImpl(std::basic_string_view<CharT> fmt, std::span<const FormatArg> args,
                                    std::size_t maxChars) {
  Writer<CharT> w{{}, maxChars};
  std::size_t next = 0;
  auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };
  std::size_t i = 0;
  while (i < fmt.size() && !w.full()) {
    const CharT c = fmt[i];
    if (c != CharT('%')) {
      w.put(c);
      ++i;
      continue;
    }
    const std::size_t start = i++;
    Conversion s;
    for (; i < fmt.size(); ++i) {
      const CharT f = fmt[i];
      if (f == CharT('-')) s.left = true;
      else if (f == CharT('+')) s.plus = true;
      else if (f == CharT(' ')) s.space = true;
      else if (f == CharT('0')) s.zero = true;
      else if (f == CharT('#')) s.alt = true;
      else break;
    }
    if (i < fmt.size() && fmt[i] == CharT('*')) {
      const FormatArg* a = take();
      int v = a ? static_cast<int>(a->asSigned()) : 0;
      if (v < 0) { s.left = true; v = -v; }
      s.width = v;
      ++i;
    } else {
      while (i < fmt.size() && fmt[i] >= CharT('0') && fmt[i] <= CharT('9')) {
        s.width = s.width * 10 + static_cast<int>(fmt[i] - CharT('0'));
        if (s.width > 4096) s.width = 4096;
        ++i;
      }
    }
    if (i < fmt.size() && fmt[i] == CharT('.')) {
      ++i;
      s.precision = 0;
      if (i < fmt.size() && fmt[i] == CharT('*')) {
        const FormatArg* a = take();
        s.precision = a ? static_cast<int>(a->asSigned()) : 0;
        if (s.precision < 0) s.precision = -1;
        ++i;
      } else {
        while (i < fmt.size() && fmt[i] >= CharT('0') && fmt[i] <= CharT('9')) {
          s.precision = s.precision * 10 + static_cast<int>(fmt[i] - CharT('0'));
          if (s.precision > 4096) s.precision = 4096;
          ++i;
        }
      }
    }
    while (i < fmt.size()) {
      const CharT m = fmt[i];
      if (m == CharT('l')) {
        if (i + 1 < fmt.size() && fmt[i + 1] == CharT('l')) { s.longLong = true; ++i; }
        else s.wideLen = true;  // %ls, %ld (long is 32 bits)
        ++i;
      } else if (m == CharT('w')) { s.wideLen = true; ++i; }
      else if (m == CharT('h')) { s.narrowLen = true; s.shortLen = true; ++i; }
      else if (m == CharT('I') && i + 2 < fmt.size() && fmt[i + 1] == CharT('6') && fmt[i + 2] == CharT('4')) {
        s.longLong = true;
        i += 3;
      } else if (m == CharT('I') && i + 2 < fmt.size() && fmt[i + 1] == CharT('3') && fmt[i + 2] == CharT('2')) {
        i += 3;
      } else break;
    }
    if (i >= fmt.size()) {
      // A lone '%' at the end prints as it stands.
      for (std::size_t k = start; k < fmt.size(); ++k) w.put(fmt[k]);
      break;
    }
    s.conv = static_cast<char>(fmt[i++]);
    switch (s.conv) {
      case '%':
        w.put(CharT('%'));
        break;
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': {
        const FormatArg* a = take();
        if (s.precision >= 0) s.zero = false;
        if (a) pad<CharT>(w, widen<CharT>(integerText(s, *a)), s, true);
        break;
      }
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': {
        const FormatArg* a = take();
        if (a) pad<CharT>(w, widen<CharT>(doubleText(s, a->asDouble())), s, true);
        break;
      }
      case 'c': case 'C': {
        const FormatArg* a = take();
        if (a) pad<CharT>(w, std::basic_string<CharT>(1, static_cast<CharT>(a->asUnsigned())), s, false);
        break;
      }
      case 'p': {
        const FormatArg* a = take();
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                      static_cast<unsigned long long>(a ? a->asUnsigned() : 0));
        pad<CharT>(w, widen<CharT>(buf), s, false);
        break;
      }
      case 's': case 'S': case 'Z': {
        const FormatArg* a = take();
        std::basic_string<CharT> text = a ? stringArg<CharT>(*a) : std::basic_string<CharT>();
        if (a && a->kind() != FormatArg::Kind::Wide && a->kind() != FormatArg::Kind::Narrow)
          text = widen<CharT>("(null)");
        if (s.precision >= 0 && text.size() > static_cast<std::size_t>(s.precision)) text.resize(s.precision);
        pad<CharT>(w, text, s, false);
        break;
      }
      default:
        // Unknown conversion: print it as written.
        for (std::size_t k = start; k < i; ++k) w.put(fmt[k]);
        break;
    }
  }
  return std::move(w.out);
}

}  // namespace

std::wstring formatWideArgs(std::wstring_view format, std::span<const FormatArg> args,
                            std::size_t maxChars) {
  return formatImpl<wchar_t>(format, args, maxChars);
}

std::string formatNarrowArgs(std::string_view format, std::span<const FormatArg> args,
                             std::size_t maxChars) {
  return formatImpl<char>(format, args, maxChars);
}

}  // namespace hbx
