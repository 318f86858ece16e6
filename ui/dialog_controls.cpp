#include "ui/dialog_controls.h"

namespace hbx::ui {

namespace {

// The statics of template 102 that the program colours.
bool isColourStatic(const DialogItem& item) {
  return item.role == ControlRole::HubVersion || item.role == ControlRole::StatusText ||
         item.role == ControlRole::HubCountText;
}

int mulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  // Rounded as the window system's MulDiv rounds: half away from zero.
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

DialogControls::DialogControls(const DialogTemplate& dialogTemplate)
    : template_(dialogTemplate), caption_(dialogTemplate.caption) {
  font_.face = dialogTemplate.fontFace;
  font_.height = -mulDiv(dialogTemplate.fontPoints, 96, 72);
  font_.weight = fw::kNormal;
  for (const DialogItem& item : template_.items) {
    std::unique_ptr<CWndControl> control;
    if (item.controlClass == ControlClass::Progress) {
      control = std::make_unique<CTextProgressCtrl>(item.id);
    } else if (isColourStatic(item)) {
      control = std::make_unique<CColorStaticST>(item.id);
    } else {
      control = std::make_unique<CWndControl>(item.id);
    }
    control->SetText(item.text);
    control->ModifyStyle(0, item.style);
    control->ShowWindow(item.visibility == Visibility::Shown);
    control->SetParentFont(&font_);
    if ((item.style & ws::kBorder) || (item.exStyle & ws_ex::kStaticEdge)) control->SetBorderWidth(1);
    entries_.push_back(Entry{&item, std::move(control)});
  }
}

CWndControl* DialogControls::item(int id) {
  for (Entry& e : entries_) {
    if (e.item->id == id) return e.control.get();
  }
  return nullptr;
}

const CWndControl* DialogControls::item(int id) const {
  for (const Entry& e : entries_) {
    if (e.item->id == id) return e.control.get();
  }
  return nullptr;
}

CTextProgressCtrl* DialogControls::progress(int id) { return dynamic_cast<CTextProgressCtrl*>(item(id)); }

CColorStaticST* DialogControls::colorStatic(int id) { return dynamic_cast<CColorStaticST*>(item(id)); }

Rect DialogControls::toPixels(const Rect& dialogUnits, Size base) {
  // Place and size convert separately, as the template stores them.
  const int left = mulDiv(dialogUnits.left, base.cx, 4);
  const int top = mulDiv(dialogUnits.top, base.cy, 8);
  return Rect{left, top, left + mulDiv(dialogUnits.width(), base.cx, 4),
              top + mulDiv(dialogUnits.height(), base.cy, 8)};
}

void DialogControls::layout(Size base) {
  for (Entry& e : entries_) e.control->MoveWindow(toPixels(e.item->place, base));
}

Size DialogControls::clientSize(Size base) const {
  const Rect r = toPixels(Rect{0, 0, template_.size.cx, template_.size.cy}, base);
  return Size{r.right, r.bottom};
}

void DialogControls::setRedrawHook(const std::function<void(CWndControl&)>& hook) {
  for (Entry& e : entries_) e.control->SetRedrawHook(hook);
}

}  // namespace hbx::ui
