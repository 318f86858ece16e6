#include "update/run_display.h"

#include "update/run_dialog.h"
#include "platform/system.h"
#include "ui/control_ids.h"
#include "ui/status_display.h"
#include "image/version_rules.h"

namespace hbx::update {

void RunDisplay::status(const std::wstring& text, std::uint8_t kind, std::uint8_t height) {
  dialog_.vShowUpddateResult(text, kind, height);
}

void RunDisplay::finishHubBars(ui::Colour colour) { dialog_.vFinishHubBars(colour); }

void RunDisplay::hubBar(int hub, int position, std::optional<ui::Colour> colour) {
  dialog_.vSetHubBar(static_cast<std::uint8_t>(hub), position, colour);
}

void RunDisplay::hubResult(int hub, const std::wstring& version) {
  if (hub < 0 || hub >= ui::ctrl::kHubRows) return;
  dialog_.m_Model.setItemText(ui::ctrl::kHubVersions[static_cast<std::size_t>(hub)],
                              ui::strHubVersionText(version));
}

void RunDisplay::versionField(const std::wstring& version) {
  dialog_.m_Model.setItemText(ui::ctrl::kVersionText, version::strDisplayVersion(version));
}

void RunDisplay::enableOk(bool enable) { dialog_.vEnableOkButton(enable); }

void RunDisplay::attention(bool show) { dialog_.vShowAttention(show); }

void RunDisplay::console(const std::string& text) { system_.consoleWrite(text); }

}  // namespace hbx::update
