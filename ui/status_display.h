#pragma once
// The rules of the dialog's status presentation that do not depend on a
// window: colours of the status kinds, the hub version as a row shows it,
// and the console search indicator.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/controls/win_types.h"

namespace hbx::ui {

// The text colour of status colour kind `kind`.
Colour colourOfKind(std::uint8_t kind);

// "230211170000" -> "230211_17_00_00": the first six characters, then the
// pairs 7-8, 9-10 and 11-12, each after "_"; missing characters give empty
// groups.
std::wstring strHubVersionText(const std::wstring& version);

// The bold "Arial" font of the status text and the hub versions.
Font boldArial(int height);

// The console line that grows while the hubs are searched.
class SearchIndicator {
 public:
  // What one timer tick prints, in order.
  std::vector<std::wstring> tick();
  const std::wstring& text() const { return text_; }

 private:
  std::wstring text_ = L"Search Hub";
};

}  // namespace hbx::ui
