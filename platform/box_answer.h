#pragma once
// The answer of a message box that nobody is there to answer.
#include <cstdint>

#include "platform/windows.h"

namespace hbx::platform {

// The box's default button: the second one with kDefButton2, else the first.
inline int defaultAnswer(std::uint32_t flags) {
  const bool second = (flags & 0xF00) == mb::kDefButton2;
  switch (flags & 0xF) {
    case mb::kOkCancel: return second ? idanswer::kCancel : idanswer::kOk;
    case mb::kYesNo: return second ? idanswer::kNo : idanswer::kYes;
    default: return idanswer::kOk;
  }
}

}  // namespace hbx::platform
