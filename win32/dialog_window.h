#pragma once
// The dialog as a real modal window built from dialog template 102. The
// window has a thread of its own that runs its modal loop and owns it. The
// dialog model's thread hands it pictures: it paints the controls through
// GDI into an off-screen bitmap, by the controls' own paint rules, and
// posts the window a note; it never waits for the window. The window shows
// the newest picture in each control's place and keeps its child windows'
// texts and visibility in step. OK (Enter) and the close box (Escape) are
// kept for the program's modal loop to take.
#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/dialog_view.h"

namespace hbx::win32 {

class DialogWindow final : public ui::DialogView {
 public:
  // The dialog comes from the resources of `instance`; `captionNote` follows
  // the caption the program sets (a test build says so there).
  explicit DialogWindow(HINSTANCE instance, std::wstring captionNote = L"");
  ~DialogWindow() override;
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  void open() override;
  void close() override;
  bool wantsPicture() override;
  void draw(ui::DialogControls& controls, const ui::ViewState& state) override;
  void present() override {}
  ui::UserAction takeAction() override;

  // The window, while it is open (for tests that capture it).
  HWND window() const { return window_.load(); }

 private:
  // What a child window shows besides its picture.
  struct ChildState {
    bool visible = false;
    bool enabled = true;
    std::wstring text;
  };
  struct Picture {
    HBITMAP bitmap = nullptr;
    std::wstring caption;
    std::map<int, ChildState> children;
    ~Picture();
  };

  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK childProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);
  void run();
  void onInit(HWND window);
  void showNewest(HWND window);
  // Copies the part of the newest picture under `child` to `dc`.
  void paintChild(HWND child, HDC dc);
  // Copies the whole newest picture to `dc` (the dialog's client area).
  void paintClient(HDC dc);

  HINSTANCE instance_;
  const std::wstring captionNote_;
  std::thread thread_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> failed_{false};
  std::atomic<bool> okPressed_{false};
  std::atomic<bool> closePressed_{false};

  std::mutex mutex_;
  // Each painted control's client area in the dialog's client area, from
  // the dialog manager's layout of the template.
  std::map<int, RECT> places_;
  SIZE clientSize_{};
  HFONT dialogFont_ = nullptr;
  std::shared_ptr<Picture> newest_;
};

}  // namespace hbx::win32
