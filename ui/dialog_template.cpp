#include "ui/dialog_template.h"

namespace hbx::ui {

namespace {

Rect at(int x, int y, int w, int h) { return Rect{x, y, x + w, y + h}; }

DialogTemplate makeMainDialog() {
  DialogTemplate t;
  t.resourceId = 102;
  t.caption = L"763FWUpgradeTool";
  t.style = ws::kPopup | ws::kCaption | ws::kSysMenu | ds::kModalFrame;
  t.exStyle = ws_ex::kAppWindow;
  t.size = Size{287, 195};
  t.fontFace = L"Arial Narrow";
  t.fontPoints = 12;
  auto& v = t.items;
  const auto S = ControlClass::Static;
  v.push_back({ctrl::kVersionCaption, S, L"Update Version:", ss::kRight, 0, at(61, 26, 72, 10),
               Visibility::Shown, ControlRole::VersionCaption});
  v.push_back({ctrl::kVersionText, S, L"FW Version", ss::kLeft, 0, at(148, 26, 65, 10), Visibility::Shown,
               ControlRole::VersionText});
  v.push_back({ctrl::kOverallBar, ControlClass::Progress, L"", pbs::kSmooth, ws_ex::kStaticEdge,
               at(17, 39, 253, 10), Visibility::Shown, ControlRole::OverallBar});
  v.push_back({ctrl::kAttention, S,
               L"Attention! During updating,. DO NOT shut down or restart system to prevent an incomplete update.",
               ss::kLeft | ws::kBorder, 0, at(32, 54, 219, 17), Visibility::HiddenAtStart, ControlRole::Attention});
  for (int row = 0; row < ctrl::kHubRows; ++row) {
    const int y = kHubRowY[static_cast<std::size_t>(row)];
    const std::size_t r = static_cast<std::size_t>(row);
    v.push_back({ctrl::kHubLabels[r], S, L"Hub " + std::to_wstring(row + 1) + L":", ss::kLeft, 0,
                 at(18, y, 24, 10), Visibility::HiddenAtStart, ControlRole::HubLabel, row});
    v.push_back({ctrl::kHubSpeeds[r], S, L"USB 3.0", ss::kLeft, 0, at(44, y, 30, 10), Visibility::Never,
                 ControlRole::SpeedLabel, row});
    v.push_back({ctrl::kHubVersions[r], S, L"Version", ss::kCenter, 0, at(76, y, 95, 10),
                 Visibility::HiddenAtStart, ControlRole::HubVersion, row});
    v.push_back({ctrl::kHubBars[r], ControlClass::Progress, L"", ws::kBorder, 0, at(173, y, 97, 9),
                 Visibility::HiddenAtStart, ControlRole::HubBar, row});
  }
  v.push_back({ctrl::kStatusText, S, L"Update Status", ss::kCenter, 0, at(18, 140, 252, 48), Visibility::Shown,
               ControlRole::StatusText});
  v.push_back({ctrl::kHubCount, S, L"Display Device Number", ss::kLeft, 0, at(7, 168, 105, 20),
               Visibility::Never, ControlRole::HubCountText});
  v.push_back({ctrl::kSpareVersion, S, L"Current Version", ss::kLeft, 0, at(55, 178, 72, 10), Visibility::Never,
               ControlRole::SpareVersion});
  v.push_back({ctrl::kStaticNoId, S, L"Current Version:", ss::kLeft, 0, at(7, 178, 50, 10), Visibility::Never,
               ControlRole::SpareVersionCaption});
  v.push_back({ctrl::kButtonStart, ControlClass::Button, L"Start", 0, 0, at(242, 169, 38, 19),
               Visibility::Never, ControlRole::StartButton});
  v.push_back({ctrl::kButtonOk, ControlClass::Button, L"OK", 0, 0, at(224, 169, 56, 19), Visibility::Never,
               ControlRole::OkButton});
  return t;
}

DialogTemplate makeAboutDialog() {
  DialogTemplate t;
  t.resourceId = 100;
  t.caption = L"About 763FWUpgradeTool";
  t.style = ws::kPopup | ws::kCaption | ws::kSysMenu | ds::kModalFrame;
  t.size = Size{170, 62};
  t.fontFace = L"MS Shell Dlg";
  t.fontPoints = 8;
  auto& v = t.items;
  v.push_back({ctrl::kAboutIcon, ControlClass::Static, L"#128", ss::kIcon, 0, at(14, 14, 21, 20),
               Visibility::Shown, ControlRole::AboutIcon});
  v.push_back({ctrl::kAboutTitle, ControlClass::Static, L"763FWUpgradeTool, Version 1.0", ss::kLeft, 0,
               at(42, 14, 114, 8), Visibility::Shown, ControlRole::AboutText});
  v.push_back({ctrl::kAboutSecondLine, ControlClass::Static, L"Firmware update for HBX763x USB hubs", ss::kLeft,
               0, at(42, 26, 114, 8), Visibility::Shown, ControlRole::AboutText});
  v.push_back({ctrl::kAboutOk, ControlClass::Button, L"OK", bs::kDefPushButton, 0, at(113, 41, 50, 14),
               Visibility::Shown, ControlRole::OkButton});
  return t;
}

}  // namespace

const DialogItem* DialogTemplate::find(int id) const {
  for (const DialogItem& item : items) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

const DialogTemplate& mainDialogTemplate() {
  static const DialogTemplate t = makeMainDialog();
  return t;
}

const DialogTemplate& aboutDialogTemplate() {
  static const DialogTemplate t = makeAboutDialog();
  return t;
}

}  // namespace hbx::ui
