#pragma once
// One argument of a Windows command line, quoted so that the program's
// argument parser reads it back whole: spaces do not split it and quotes in
// it do not end it.
#include <string>

namespace hbx {

std::wstring quoteCommandLineArgument(const std::wstring& argument);

}  // namespace hbx
