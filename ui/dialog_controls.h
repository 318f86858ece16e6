#pragma once
// The controls of one dialog built from its template: a CTextProgressCtrl
// for each progress bar, a CColorStaticST for the coloured statics, a plain
// control for the rest. Owned and changed by the UI thread only.
#include <memory>
#include <string>
#include <vector>

#include "ui/controls/color_static_st.h"
#include "ui/controls/text_progress_ctrl.h"
#include "ui/dialog_template.h"

namespace hbx::ui {

class DialogControls {
 public:
  explicit DialogControls(const DialogTemplate& dialogTemplate);

  const DialogTemplate& dialogTemplate() const { return template_; }
  // The dialog's font (the template's), in logical units at 96 dots per inch.
  const Font& dialogFont() const { return font_; }

  const std::wstring& caption() const { return caption_; }
  void setCaption(const std::wstring& caption) { caption_ = caption; }

  // The control of `id`, or null.
  CWndControl* item(int id);
  const CWndControl* item(int id) const;
  CTextProgressCtrl* progress(int id);
  CColorStaticST* colorStatic(int id);
  // Every control in template order, with the template item it came from.
  struct Entry {
    const DialogItem* item;
    std::unique_ptr<CWndControl> control;
  };
  const std::vector<Entry>& entries() const { return entries_; }

  // Places every control in pixels for dialog base units `base`, as the
  // dialog manager does: x * base.cx / 4, y * base.cy / 8.
  void layout(Size base);
  // The client area's size in pixels for `base`.
  Size clientSize(Size base) const;
  // Sets a redraw hook on every control.
  void setRedrawHook(const std::function<void(CWndControl&)>& hook);

  static Rect toPixels(const Rect& dialogUnits, Size base);

 private:
  const DialogTemplate& template_;
  Font font_;
  std::wstring caption_;
  std::vector<Entry> entries_;
};

}  // namespace hbx::ui
