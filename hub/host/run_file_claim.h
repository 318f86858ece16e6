#pragma once
// Files a run writes beside the program under names a user's own file may
// hold (the settings file, the device-console tool). The run writes its copy
// there only where no file lies, and a note in the work folder claims the
// copy while it lies there: a copy that a run ended from outside left behind
// is told from a user's file by the next run. A user's file is never
// overwritten nor deleted.
#include <cstdint>
#include <span>
#include <string>

#include "platform/files.h"

namespace hbx::runfile {

enum class Found {
  Nothing,    // no file at that path
  RunsCopy,   // a copy an earlier run wrote: its note is there and the file holds the first bytes of the copy
  UsersFile,  // anything else: the user's, left as it is
};

// What lies at `path`, for a copy of `bytes` that `note` claims. A copy
// whose write was cut short holds the first of its bytes and counts as the
// run's; a folder, pipe or device there is the user's and is not read.
Found whatLiesAt(platform::FilePort& files, const std::wstring& path, const std::wstring& note,
                 std::span<const std::uint8_t> bytes);

// Writes the note, making its folder first. False when it cannot be written:
// a copy the run leaves then passes for a user's file, never deleted.
bool claim(platform::FilePort& files, const std::wstring& note);

// Deletes the note and then its folder, when nothing else is in it.
void release(platform::FilePort& files, const std::wstring& note);

}  // namespace hbx::runfile
