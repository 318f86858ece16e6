#pragma once
// The real 64-bit system folder for a 32-bit program on 64-bit Windows.
//
// Windows redirects System32 to SysWOW64 for such a program, per thread. The
// program turns that off only around what needs the real folder (starting
// the setup tools, so that they are the 64-bit ones; looking at the installed
// driver file), on the thread that does it, and turns it back on right after:
// with it off, a DLL the process loads (a message box's, a digest
// provider's) would be looked for in the wrong folder.
#include <cstdint>

#include "platform/system.h"

namespace hbx {

class NativeSystemView {
 public:
  // `wow64`: the program is a 32-bit process on 64-bit Windows; otherwise
  // there is nothing to turn off and this object does nothing.
  NativeSystemView(platform::SystemPort& system, bool wow64);
  ~NativeSystemView();
  NativeSystemView(const NativeSystemView&) = delete;
  NativeSystemView& operator=(const NativeSystemView&) = delete;

 private:
  platform::SystemPort& system_;
  bool off_ = false;
  std::uintptr_t token_ = 0;
};

}  // namespace hbx
