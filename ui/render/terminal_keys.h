#pragma once
// Turns the bytes a terminal sends into keys. A key that sends an escape
// sequence (arrows, function keys, Alt with a letter) is one key, not an
// Escape followed by letters; a lone Escape byte is the Escape key once no
// more bytes of a sequence follow it.
#include <string>
#include <vector>

namespace hbx::ui::render {

struct TerminalKey {
  enum class Kind { kChar, kEnter, kEscape, kOther };
  Kind kind = Kind::kOther;
  char ch = 0;  // kChar only
  bool operator==(const TerminalKey&) const = default;
};

class TerminalKeyDecoder {
 public:
  // The keys completed by `bytes`, the bytes read since the last call (empty
  // when nothing came). An Escape byte at the end stays pending: the next
  // call tells whether a sequence follows it.
  std::vector<TerminalKey> feed(const std::string& bytes);

 private:
  enum class State { kGround, kEscape, kCsi, kSs3 };
  State state_ = State::kGround;
};

}  // namespace hbx::ui::render
