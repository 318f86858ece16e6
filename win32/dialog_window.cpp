#include "win32/dialog_window.h"

#include <commctrl.h>

#include <condition_variable>
#include <utility>

#include "ui/control_ids.h"
#include "ui/dialog_controls.h"
#include "win32/gdi_canvas.h"

namespace hbx::win32 {

namespace {

constexpr int kMainDialog = 102;
constexpr int kAboutDialog = 100;
constexpr int kIcon = 128;
constexpr int kAboutText = 101;
constexpr UINT kAboutCommand = 0x10;
// Notes to the window's own thread.
constexpr UINT kNewPicture = WM_APP + 1;
constexpr UINT kEnd = WM_APP + 2;

// The dialog's face, the colour the controls paint their background in.
HBRUSH faceBrush() {
  static HBRUSH brush = CreateSolidBrush(ui::kSystemColours.buttonFace);
  return brush;
}

UINT textAlignment(std::uint32_t style) {
  switch (style & 0x3) {
    case ui::ss::kCenter: return DT_CENTER;
    case ui::ss::kRight: return DT_RIGHT;
    default: return DT_LEFT;
  }
}

// A static as the window system draws one (DrawText, broken between words),
// in the colours its control-colour handler gives.
void paintStatic(HDC dc, const RECT& place, HFONT dialogFont, const ui::DialogItem& item, ui::CWndControl& control) {
  ui::CtlColorDC colours;
  if (auto* coloured = dynamic_cast<ui::CColorStaticST*>(&control)) coloured->CtlColor(colours);
  HBRUSH background = CreateSolidBrush(colours.backgroundColour);
  FillRect(dc, &place, background);
  DeleteObject(background);
  const std::optional<ui::Font>& own = control.GetOwnFont();
  HFONT font = own ? createFont(*own) : dialogFont;
  HGDIOBJ previous = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colours.textColour);
  RECT r = place;
  const std::wstring& text = control.GetText();
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_WORDBREAK | DT_EXPANDTABS | textAlignment(item.style));
  SelectObject(dc, previous);
  if (own && font != GetStockObject(SYSTEM_FONT)) DeleteObject(font);
}

// A bar paints itself, through the off-screen surface of its own paint rules,
// with its client area at `place`.
void paintBar(HDC dc, const RECT& place, ui::CTextProgressCtrl& bar) {
  const int width = place.right - place.left;
  const int height = place.bottom - place.top;
  bar.MoveWindow(ui::Rect{0, 0, width, height});
  bar.SetBorderWidth(0);
  const int saved = SaveDC(dc);
  SetViewportOrgEx(dc, place.left, place.top, nullptr);
  IntersectClipRect(dc, 0, 0, width, height);
  GdiCanvas canvas(dc, ui::Canvas::Owner::OtherWindow, ui::kSystemColours.buttonFace);
  bar.WindowProc(ui::wm::kPaint, reinterpret_cast<ui::WPARAM>(static_cast<ui::Canvas*>(&canvas)), 0);
  RestoreDC(dc, saved);
}

INT_PTR CALLBACK aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(window, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::mutex openMutex;
std::condition_variable opened;

}  // namespace

DialogWindow::Picture::~Picture() {
  if (bitmap != nullptr) DeleteObject(bitmap);
}

DialogWindow::DialogWindow(HINSTANCE instance, std::wstring captionNote)
    : instance_(instance), captionNote_(std::move(captionNote)) {}

DialogWindow::~DialogWindow() { close(); }

void DialogWindow::open() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { run(); });
  std::unique_lock<std::mutex> lock(openMutex);
  opened.wait(lock, [this] { return window_.load() != nullptr || failed_; });
}

void DialogWindow::close() {
  if (HWND window = window_.load()) PostMessageW(window, kEnd, 0, 0);
  if (thread_.joinable()) thread_.join();
}

void DialogWindow::run() {
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  const INT_PTR result = DialogBoxParamW(instance_, MAKEINTRESOURCEW(kMainDialog), nullptr, &DialogWindow::dialogProc,
                                         reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  {
    std::lock_guard<std::mutex> lock(openMutex);
    if (result == -1 || result == 0) failed_ = true;
  }
  opened.notify_all();
}

INT_PTR CALLBACK DialogWindow::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<DialogWindow*>(lParam)->onInit(window);
    return TRUE;
  }
  auto* self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case kNewPicture:
      self->showNewest(window);
      return TRUE;
    case kEnd:
      EndDialog(window, IDOK);
      return TRUE;
    case WM_COMMAND:
      // The modal loop decides: OK only once the run has ended, the close
      // box during a run only when the run has ended.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == ui::ctrl::kButtonOk) self->okPressed_ = true;
      if (LOWORD(wParam) == IDCANCEL) self->closePressed_ = true;
      return TRUE;
    case WM_PRINTCLIENT:
      // The picture holds every control: PrintWindow gets the whole client
      // area from it, children included.
      self->paintClient(reinterpret_cast<HDC>(wParam));
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(faceBrush());
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) >= kAboutCommand && (wParam & 0xFFF0) <= 0x1F) {
        DialogBoxParamW(self->instance_, MAKEINTRESOURCEW(kAboutDialog), window, aboutProc, 0);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void DialogWindow::onInit(HWND window) {
  HICON icon = LoadIconW(instance_, MAKEINTRESOURCEW(kIcon));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  wchar_t about[128] = {};
  if (LoadStringW(instance_, kAboutText, about, 128) > 0) {
    if (HMENU menu = GetSystemMenu(window, FALSE)) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(menu, MF_STRING, kAboutCommand, about);
    }
  }
  RECT client{};
  GetClientRect(window, &client);
  std::map<int, RECT> places;
  for (const ui::DialogItem& item : ui::mainDialogTemplate().items) {
    if (item.controlClass == ui::ControlClass::Button || item.id == ui::ctrl::kStaticNoId) continue;
    HWND child = GetDlgItem(window, item.id);
    if (child == nullptr) continue;
    RECT place{};
    GetClientRect(child, &place);
    MapWindowPoints(child, window, reinterpret_cast<POINT*>(&place), 2);
    places[item.id] = place;
    SetWindowSubclass(child, &DialogWindow::childProc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    places_ = std::move(places);
    clientSize_ = SIZE{client.right, client.bottom};
    dialogFont_ = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  }
  {
    std::lock_guard<std::mutex> lock(openMutex);
    window_ = window;
  }
  opened.notify_all();
}

LRESULT CALLBACK DialogWindow::childProc(HWND child, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR self) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the picture covers the whole control
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(child, &paint);
      reinterpret_cast<DialogWindow*>(self)->paintChild(child, dc);
      EndPaint(child, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      reinterpret_cast<DialogWindow*>(self)->paintChild(child, reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_NCDESTROY:
      RemoveWindowSubclass(child, &DialogWindow::childProc, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(child, message, wParam, lParam);
}

void DialogWindow::paintChild(HWND child, HDC dc) {
  std::shared_ptr<Picture> picture;
  RECT place{};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    picture = newest_;
    const auto it = places_.find(GetDlgCtrlID(child));
    if (it != places_.end()) place = it->second;
  }
  RECT client{};
  GetClientRect(child, &client);
  if (!picture) {
    FillRect(dc, &client, faceBrush());
    return;
  }
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(memory, picture->bitmap);
  BitBlt(dc, 0, 0, client.right, client.bottom, memory, place.left, place.top, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

void DialogWindow::paintClient(HDC dc) {
  std::shared_ptr<Picture> picture;
  SIZE size{};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    picture = newest_;
    size = clientSize_;
  }
  if (!picture) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(memory, picture->bitmap);
  BitBlt(dc, 0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
}

void DialogWindow::showNewest(HWND window) {
  std::shared_ptr<Picture> picture;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    picture = newest_;
  }
  if (!picture) return;
  if (windowText(window) != picture->caption) SetWindowTextW(window, picture->caption.c_str());
  for (const auto& [id, state] : picture->children) {
    HWND child = GetDlgItem(window, id);
    if (child == nullptr) continue;
    if ((IsWindowVisible(child) != FALSE) != state.visible) ShowWindow(child, state.visible ? SW_SHOWNA : SW_HIDE);
    if ((IsWindowEnabled(child) != FALSE) != state.enabled) EnableWindow(child, state.enabled);
    if (windowText(child) != state.text) SetWindowTextW(child, state.text.c_str());
    InvalidateRect(child, nullptr, FALSE);
  }
}

bool DialogWindow::wantsPicture() { return window_.load() != nullptr; }

void DialogWindow::draw(ui::DialogControls& controls, const ui::ViewState&) {
  std::map<int, RECT> places;
  SIZE size{};
  HFONT dialogFont = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    places = places_;
    size = clientSize_;
    dialogFont = dialogFont_;
  }
  HWND window = window_.load();
  if (window == nullptr || size.cx <= 0 || size.cy <= 0) return;

  auto picture = std::make_shared<Picture>();
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  picture->bitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
  ReleaseDC(nullptr, screen);
  if (memory == nullptr || picture->bitmap == nullptr) {
    if (memory != nullptr) DeleteDC(memory);
    return;
  }
  HGDIOBJ previous = SelectObject(memory, picture->bitmap);
  const RECT all{0, 0, size.cx, size.cy};
  FillRect(memory, &all, faceBrush());
  for (const ui::DialogControls::Entry& e : controls.entries()) {
    ui::CWndControl& control = *e.control;
    if (e.item->id != ui::ctrl::kStaticNoId) {
      picture->children[e.item->id] = ChildState{control.IsWindowVisible(), control.IsWindowEnabled(), control.GetText()};
    }
    const auto place = places.find(e.item->id);
    if (place == places.end() || !control.IsWindowVisible()) continue;
    if (e.item->controlClass == ui::ControlClass::Static) {
      paintStatic(memory, place->second, dialogFont, *e.item, control);
    } else if (e.item->controlClass == ui::ControlClass::Progress) {
      paintBar(memory, place->second, static_cast<ui::CTextProgressCtrl&>(control));
    }
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  picture->caption = controls.caption() + captionNote_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    newest_ = std::move(picture);
  }
  // A note, not a call: the window shows the picture when it gets to it.
  PostMessageW(window, kNewPicture, 0, 0);
}

ui::UserAction DialogWindow::takeAction() {
  if (okPressed_.exchange(false)) return ui::UserAction::kOk;
  if (closePressed_.exchange(false)) return ui::UserAction::kClose;
  // No window could be made: nobody can answer.
  if (failed_) return ui::UserAction::kNoOneThere;
  return ui::UserAction::kNone;
}

}  // namespace hbx::win32
