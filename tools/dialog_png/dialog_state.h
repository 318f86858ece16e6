#pragma once
// The state of a dialog's controls as text: what each control shows
// (visibility, text, font, colours, a bar's range and position), one line a
// control in template order. hbx_dialog_png writes the state of the moment it
// paints; the Windows screenshot program loads it into the real window, so
// the two pictures show the same state.
#include <string>

#include "ui/dialog_controls.h"

namespace hbx::tools {

std::string saveDialogState(ui::DialogControls& controls);
// Sets `controls` (built from the same template) to the state `text` holds;
// false with `error` for text that does not fit the template.
bool loadDialogState(ui::DialogControls& controls, const std::string& text, std::string& error);

}  // namespace hbx::tools
