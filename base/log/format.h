#pragma once
// A small printf-style formatter with the Microsoft conventions the program's
// formats rely on, identical on every platform:
//   - in a wide format "%s" takes a wide string and "%S" a narrow one; in a
//     narrow format it is the other way round; "%ls"/"%ws" are always wide and
//     "%hs" always narrow (arguments are typed, so either width prints);
//   - "%d %i %u %x %X %o %c %f %p %%" with flags "-+ 0#", width, precision,
//     "*" and the length modifiers h, l, ll, I64, w;
//   - int and long are 32 bits: "%x" of -1 is "ffffffff", "%lld" takes 64.
//   - zero padding applies to strings too ("%012S" pads a text with '0').
// Output longer than `maxChars` is cut.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/text/utf.h"  // the formatter converts between the widths with it

namespace hbx {

class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Double, Wide, Narrow, Pointer };

  FormatArg(bool v) : kind_(Kind::Signed), i_(v ? 1 : 0) {}
  FormatArg(char v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(signed char v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(unsigned char v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(short v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(unsigned short v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(int v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(unsigned v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(long v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(unsigned long v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(long long v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(unsigned long long v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(double v) : kind_(Kind::Double), d_(v) {}
  FormatArg(const wchar_t* v) : kind_(Kind::Wide), w_(v ? std::wstring_view(v) : std::wstring_view()) {}
  FormatArg(const std::wstring& v) : kind_(Kind::Wide), w_(v) {}
  FormatArg(std::wstring_view v) : kind_(Kind::Wide), w_(v) {}
  FormatArg(const char* v) : kind_(Kind::Narrow), n_(v ? std::string_view(v) : std::string_view()) {}
  FormatArg(const std::string& v) : kind_(Kind::Narrow), n_(v) {}
  FormatArg(std::string_view v) : kind_(Kind::Narrow), n_(v) {}
  FormatArg(const void* v) : kind_(Kind::Pointer), u_(reinterpret_cast<std::uintptr_t>(v)) {}

  Kind kind() const { return kind_; }
  std::int64_t asSigned() const;
  std::uint64_t asUnsigned() const;
  double asDouble() const;
  std::wstring asWide() const;
  std::string asNarrow() const;

 private:
  Kind kind_;
  std::int64_t i_ = 0;
  std::uint64_t u_ = 0;
  double d_ = 0;
  std::wstring_view w_;
  std::string_view n_;
};

inline constexpr std::size_t kUnlimited = static_cast<std::size_t>(-1);

std::wstring formatWideArgs(std::wstring_view format, std::span<const FormatArg> args,
                            std::size_t maxChars = kUnlimited);
std::string formatNarrowArgs(std::string_view format, std::span<const FormatArg> args,
                             std::size_t maxChars = kUnlimited);

template <class... A>
std::wstring wformat(std::wstring_view format, const A&... args) {
  const std::array<FormatArg, sizeof...(A)> list{FormatArg(args)...};
  return formatWideArgs(format, list);
}

template <class... A>
std::string nformat(std::string_view format, const A&... args) {
  const std::array<FormatArg, sizeof...(A)> list{FormatArg(args)...};
  return formatNarrowArgs(format, list);
}

// UTF-8 <-> wide text, for channels that carry bytes (files, the console).

}  // namespace hbx
