#pragma once
// Where the topology walk stands, handed down the recursion instead of kept
// in the utility object: the controller being walked and the way from its
// root hub to the hub whose ports are searched.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os_types.h"

namespace hbx {

struct WalkContext {
  std::wstring rootHubName;  // as it was when the controller's walk began
  std::wstring hostDesc;     // the host controller's description
  bool corvaneHost = false;
  std::uint32_t level = 0;   // tier of the hub whose ports are searched (0: the root hub)
  // The ports from the root hub down to that hub, and the name keys of the
  // hubs on the way (root hub first): a hub named like one of them is a loop.
  std::vector<std::uint8_t> portChain;
  std::vector<std::wstring> hubNames;
};

// One port of the searched hub that holds a hub.
struct WalkPort {
  platform::OsHandle parent = platform::kInvalidHandle;
  std::uint32_t port = 0;
  std::uint8_t positionIndex = 0;
  std::wstring hubName;  // as the parent reports it (empty: not read)
  bool placed = true;    // false: the name is a hub above it; neither listed nor searched
};

// What the examination of one hub came to.
enum class Examined { Listed, LeftOut, RecordsOverflow };

}  // namespace hbx
