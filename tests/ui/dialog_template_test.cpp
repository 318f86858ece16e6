// The dialog templates as data.
#include <gtest/gtest.h>

#include <set>

#include "ui/dialog_controls.h"
#include "ui/dialog_template.h"

namespace hbx::ui {
namespace {

TEST(DialogTemplate, MainDialogFrame) {
  const DialogTemplate& t = mainDialogTemplate();
  EXPECT_EQ(t.resourceId, 102);
  EXPECT_EQ(t.caption, L"763FWUpgradeTool");
  EXPECT_EQ(t.size, (Size{287, 195}));
  EXPECT_EQ(t.fontFace, L"Arial Narrow");
  EXPECT_EQ(t.fontPoints, 12);
  EXPECT_TRUE(t.exStyle & ws_ex::kAppWindow);
}

TEST(DialogTemplate, SingleControls) {
  struct ItemCase {
    int id;
    ControlClass cls;
    const wchar_t* text;
    Rect place;  // x, y, w, h
    Visibility visibility;
  };
  const auto S = ControlClass::Static;
  const ItemCase cases[] = {
      {1034, S, L"Update Version:", {61, 26, 72, 10}, Visibility::Shown},
      {1005, S, L"FW Version", {148, 26, 65, 10}, Visibility::Shown},
      {1002, ControlClass::Progress, L"", {17, 39, 253, 10}, Visibility::Shown},
      {1035, S,
       L"Attention! During updating,. DO NOT shut down or restart system to prevent an incomplete update.",
       {32, 54, 219, 17}, Visibility::HiddenAtStart},
      {1003, S, L"Update Status", {18, 140, 252, 48}, Visibility::Shown},
      {1000, S, L"Display Device Number", {7, 168, 105, 20}, Visibility::Never},
      {1004, S, L"Current Version", {55, 178, 72, 10}, Visibility::Never},
      {1001, ControlClass::Button, L"Start", {242, 169, 38, 19}, Visibility::Never},
      {1008, ControlClass::Button, L"OK", {224, 169, 56, 19}, Visibility::Never},
  };
  for (const ItemCase& c : cases) {
    SCOPED_TRACE(c.id);
    const DialogItem* item = mainDialogTemplate().find(c.id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->controlClass, c.cls);
    EXPECT_EQ(item->text, c.text);
    EXPECT_EQ(item->place, (Rect{c.place.left, c.place.top, c.place.left + c.place.right,
                                 c.place.top + c.place.bottom}));
    EXPECT_EQ(item->visibility, c.visibility);
  }
  EXPECT_EQ(mainDialogTemplate().find(1034)->style & 0x3, ss::kRight);
  EXPECT_EQ(mainDialogTemplate().find(1003)->style & 0x3, ss::kCenter);
}

TEST(DialogTemplate, HubRows) {
  const DialogTemplate& t = mainDialogTemplate();
  for (int row = 0; row < ctrl::kHubRows; ++row) {
    SCOPED_TRACE(row);
    const std::size_t r = static_cast<std::size_t>(row);
    const int y = 80 + 15 * row;
    const DialogItem* label = t.find(ctrl::kHubLabels[r]);
    const DialogItem* speed = t.find(ctrl::kHubSpeeds[r]);
    const DialogItem* version = t.find(ctrl::kHubVersions[r]);
    const DialogItem* bar = t.find(ctrl::kHubBars[r]);
    ASSERT_TRUE(label && speed && version && bar);
    EXPECT_EQ(label->text, L"Hub " + std::to_wstring(row + 1) + L":");
    EXPECT_EQ(speed->visibility, Visibility::Never);
    EXPECT_EQ(version->text, L"Version");
    EXPECT_EQ(version->place, (Rect{76, y, 171, y + 10}));
    EXPECT_EQ(bar->controlClass, ControlClass::Progress);
    EXPECT_EQ(bar->place, (Rect{173, y, 270, y + 9}));
    for (const DialogItem* item : {label, version, bar}) {
      EXPECT_EQ(item->visibility, Visibility::HiddenAtStart);
      EXPECT_EQ(item->row, row);
      EXPECT_EQ(item->place.top, y);
    }
  }
  // The status text covers the fifth row.
  EXPECT_EQ(t.find(ctrl::kStatusText)->place.top, kHubRowY[4]);
}

TEST(DialogTemplate, AboutBox) {
  const DialogTemplate& t = aboutDialogTemplate();
  EXPECT_EQ(t.resourceId, 100);
  EXPECT_EQ(t.caption, L"About 763FWUpgradeTool");
  EXPECT_EQ(t.size, (Size{170, 62}));
  EXPECT_EQ(t.fontFace, L"MS Shell Dlg");
  EXPECT_EQ(t.fontPoints, 8);
  const DialogItem* ok = t.find(ctrl::kAboutOk);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->place, (Rect{113, 41, 163, 55}));
  EXPECT_TRUE(ok->style & bs::kDefPushButton);
  EXPECT_EQ(t.find(ctrl::kAboutTitle)->text, L"763FWUpgradeTool, Version 1.0");
  EXPECT_EQ(t.find(ctrl::kAboutTitle)->place.left, 42);
  EXPECT_EQ(t.find(ctrl::kAboutSecondLine)->place.top, 26);
}

TEST(DialogControls, BuiltFromTheTemplate) {
  DialogControls controls(mainDialogTemplate());
  std::set<int> colourStatics;
  for (const auto& e : controls.entries()) {
    if (dynamic_cast<CColorStaticST*>(e.control.get())) colourStatics.insert(e.item->id);
    EXPECT_EQ(e.control->IsWindowVisible(), e.item->visibility == Visibility::Shown) << e.item->id;
    EXPECT_EQ(e.control->GetText(), e.item->text);
  }
  EXPECT_EQ(colourStatics, (std::set<int>{1000, 1003, 1018, 1021, 1025, 1029, 1033}));
  for (int id : {1002, 1014, 1019, 1023, 1027, 1031}) EXPECT_NE(controls.progress(id), nullptr) << id;
  // 12 points at 96 dots per inch.
  EXPECT_EQ(controls.dialogFont().height, -16);
  // Dialog units to pixels, place and size each rounded.
  EXPECT_EQ(DialogControls::toPixels(Rect{17, 39, 270, 49}, Size{7, 20}), (Rect{30, 98, 473, 123}));
}

}  // namespace
}  // namespace hbx::ui
