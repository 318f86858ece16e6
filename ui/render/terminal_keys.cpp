#include "ui/render/terminal_keys.h"

namespace hbx::ui::render {

namespace {
constexpr char kEsc = 0x1b;
TerminalKey key(TerminalKey::Kind kind, char ch = 0) { return TerminalKey{kind, ch}; }
}  // namespace

std::vector<TerminalKey> TerminalKeyDecoder::feed(const std::string& bytes) {
  std::vector<TerminalKey> keys;
  // Nothing followed a pending Escape since the last call: it was the key.
  if (bytes.empty() && state_ == State::kEscape) {
    state_ = State::kGround;
    keys.push_back(key(TerminalKey::Kind::kEscape));
    return keys;
  }
  for (char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    switch (state_) {
      case State::kGround:
        if (c == kEsc) {
          state_ = State::kEscape;
        } else if (c == '\r' || c == '\n') {
          keys.push_back(key(TerminalKey::Kind::kEnter));
        } else if (u >= 0x20 && u < 0x7F) {
          keys.push_back(key(TerminalKey::Kind::kChar, c));
        } else {
          keys.push_back(key(TerminalKey::Kind::kOther));
        }
        break;
      case State::kEscape:
        if (c == '[') {
          state_ = State::kCsi;
        } else if (c == 'O') {
          state_ = State::kSs3;
        } else if (c == kEsc) {
          // Escape pressed twice: the first one was a key of its own.
          keys.push_back(key(TerminalKey::Kind::kEscape));
        } else {
          // Alt with a key.
          state_ = State::kGround;
          keys.push_back(key(TerminalKey::Kind::kOther));
        }
        break;
      case State::kCsi:
        // Parameters and intermediates until the final byte (0x40-0x7E).
        if (u >= 0x40 && u <= 0x7E) {
          state_ = State::kGround;
          keys.push_back(key(TerminalKey::Kind::kOther));
        } else if (u < 0x20 || u > 0x3F) {
          state_ = State::kGround;  // not a sequence after all: drop it
          keys.push_back(key(TerminalKey::Kind::kOther));
        }
        break;
      case State::kSs3:
        state_ = State::kGround;
        keys.push_back(key(TerminalKey::Kind::kOther));
        break;
    }
  }
  return keys;
}

}  // namespace hbx::ui::render
