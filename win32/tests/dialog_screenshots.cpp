// dialog_screenshots_win32 OUT_FOLDER STATE...
// Opens the program's dialog window (template 102, the Windows view of the
// program), shows each STATE in it (dialog_state.h, written by hbx_dialog_png
// --state from a run on a bench) and takes the window with PrintWindow into
// a DIB: OUT_FOLDER\NAME_wine.bmp holds its client area (Wine's PrintWindow
// paints no window frame), NAME being the state file's name without its
// extension. Ends with 0 when every picture was written.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/dialog_png/dialog_state.h"
#include "ui/dialog_template.h"
#include "win32/dialog_window.h"

namespace {

std::wstring windowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

// Whether the window shows what `controls` hold: the caption and every
// child's text and visibility (the window takes a picture in when it gets
// to the note the view posts it).
bool showsState(HWND window, hbx::ui::DialogControls& controls) {
  if (windowText(window) != controls.caption()) return false;
  for (const hbx::ui::DialogControls::Entry& e : controls.entries()) {
    if (e.item->id == hbx::ui::ctrl::kStaticNoId) continue;
    HWND child = GetDlgItem(window, e.item->id);
    if (child == nullptr) continue;
    if ((IsWindowVisible(child) != FALSE) != e.control->IsWindowVisible()) return false;
    if (windowText(child) != e.control->GetText()) return false;
  }
  return true;
}

// A bottom-up 24-bit DIB of `width` x `height` as a BMP file.
bool writeBmp(const std::wstring& path, const void* bits, int width, int height) {
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = static_cast<DWORD>(stride * height);
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + info.biSizeImage;
  std::ofstream out(path.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&info), sizeof(info));
  out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(info.biSizeImage));
  return static_cast<bool>(out);
}

// The window's client area through PrintWindow.
bool capture(HWND window, const std::wstring& path) {
  RECT client{};
  GetClientRect(window, &client);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = client.bottom;  // bottom-up, as a BMP file holds it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = dib != nullptr;
  if (ok) {
    HGDIOBJ previous = SelectObject(memory, dib);
    ok = PrintWindow(window, memory, PW_CLIENTONLY) != FALSE;
    GdiFlush();
    ok = ok && writeBmp(path, bits, client.right, client.bottom);
    SelectObject(memory, previous);
    DeleteObject(dib);
  }
  DeleteDC(memory);
  return ok;
}

std::wstring stem(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: dialog_screenshots_win32 OUT_FOLDER STATE...\n");
    return 2;
  }
  hbx::win32::DialogWindow view(GetModuleHandleW(nullptr));
  view.open();
  HWND window = view.window();
  if (window == nullptr) {
    std::fprintf(stderr, "the dialog window could not be made\n");
    return 1;
  }
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    const std::string state((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    hbx::ui::DialogControls controls(hbx::ui::mainDialogTemplate());
    std::string error;
    if (state.empty() || !hbx::tools::loadDialogState(controls, state, error)) {
      std::fprintf(stderr, "%ls: %s\n", argv[i], error.empty() ? "no state" : error.c_str());
      ++failures;
      continue;
    }
    view.draw(controls, hbx::ui::ViewState{});
    bool shown = false;
    for (int wait = 0; wait < 100 && !shown; ++wait) {
      shown = showsState(window, controls);
      if (!shown) Sleep(50);
    }
    // The children repaint from the new picture after their texts are set.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    Sleep(200);
    const std::wstring path = std::wstring(argv[1]) + L"\\" + stem(argv[i]) + L"_wine.bmp";
    if (!shown || !capture(window, path)) {
      std::fprintf(stderr, "%ls: %s\n", argv[i], shown ? "no picture written" : "the window never showed the state");
      ++failures;
      continue;
    }
    std::printf("%ls\n", path.c_str());
  }
  view.close();
  return failures == 0 ? 0 : 1;
}
