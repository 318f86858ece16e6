#pragma once
// The dialog templates as data: the main dialog (template 102) and the
// about box (template 100), every control with its place in dialog units.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/control_ids.h"
#include "ui/controls/win_types.h"
#include "ui/controls/window_styles.h"

namespace hbx::ui {

enum class ControlClass { Static, Button, Progress };

// What the control is for in the dialog.
enum class ControlRole {
  VersionCaption,
  VersionText,
  OverallBar,
  Attention,
  HubLabel,
  SpeedLabel,
  HubVersion,
  HubBar,
  StatusText,
  HubCountText,
  SpareVersion,
  SpareVersionCaption,
  StartButton,
  OkButton,
  AboutIcon,
  AboutText,
};

enum class Visibility {
  Shown,            // visible from the start
  HiddenAtStart,    // shown later by the program
  Never,            // kept hidden
};

struct DialogItem {
  int id = 0;
  ControlClass controlClass = ControlClass::Static;
  std::wstring text;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  Rect place;  // x, y, right, bottom in dialog units
  Visibility visibility = Visibility::Shown;
  ControlRole role = ControlRole::StatusText;
  int row = -1;  // hub row 0..4 for the row controls
};

struct DialogTemplate {
  int resourceId = 0;
  std::wstring caption;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  Size size;  // dialog units
  std::wstring fontFace;
  int fontPoints = 0;
  std::vector<DialogItem> items;

  // The item of `id`, or null.
  const DialogItem* find(int id) const;
};

// The y of each hub row, in dialog units.
inline constexpr std::array<int, ctrl::kHubRows> kHubRowY = {80, 95, 110, 125, 140};

const DialogTemplate& mainDialogTemplate();
const DialogTemplate& aboutDialogTemplate();

}  // namespace hbx::ui
