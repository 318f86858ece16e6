#pragma once
// CWndControl: one child window of the dialog as the program sees it: its
// id, text, style, visibility, font and place, the timers it runs, and a
// redraw hook through which the owner of the display learns of a change.
// Calls reach a control only on the UI thread (the dialog model sees to it).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "ui/controls/win_types.h"

namespace hbx::ui {

// Window messages the controls handle.
namespace wm {
inline constexpr std::uint32_t kPaint = 0x000F;
inline constexpr std::uint32_t kEraseBkgnd = 0x0014;
inline constexpr std::uint32_t kTimer = 0x0113;
inline constexpr std::uint32_t kUser = 0x0400;
}  // namespace wm

class CWndControl {
 public:
  explicit CWndControl(int id = 0) : m_nId(id) {}
  virtual ~CWndControl() = default;
  CWndControl(const CWndControl&) = delete;
  CWndControl& operator=(const CWndControl&) = delete;

  // The control's window procedure; the base handles nothing.
  virtual LRESULT WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam);

  int GetDlgCtrlID() const { return m_nId; }

  const std::wstring& GetText() const { return m_strText; }
  void SetText(const std::wstring& text);

  bool IsWindowVisible() const { return m_bVisible; }
  void ShowWindow(bool show);
  bool IsWindowEnabled() const { return m_bEnabled; }
  void EnableWindow(bool enable);

  std::uint32_t GetStyle() const { return m_dwStyle; }
  void ModifyStyle(std::uint32_t remove, std::uint32_t add) { m_dwStyle = (m_dwStyle & ~remove) | add; }

  // The control's own font, else its parent's, else the system font.
  void SetFont(const std::optional<Font>& font);
  const std::optional<Font>& GetOwnFont() const { return m_font; }
  void SetParentFont(const Font* parentFont) { m_pParentFont = parentFont; }
  Font GetEffectiveFont() const;

  // The control's rectangle in its parent's client area, in pixels.
  const Rect& GetWindowRect() const { return m_rect; }
  void MoveWindow(const Rect& rect) { m_rect = rect; }
  // The window's border (ws::kBorder, ws_ex::kStaticEdge) lies outside its
  // client area.
  void SetBorderWidth(int pixels) { m_nBorder = pixels; }
  int GetBorderWidth() const { return m_nBorder; }
  Rect GetClientRect() const {
    return Rect{0, 0, m_rect.width() - 2 * m_nBorder, m_rect.height() - 2 * m_nBorder};
  }

  // Window timers of the control: id to period in milliseconds.
  void SetTimer(std::uint32_t timerId, std::uint32_t periodMs) { m_timers[timerId] = periodMs; }
  void KillTimer(std::uint32_t timerId) { m_timers.erase(timerId); }
  std::optional<std::uint32_t> TimerPeriod(std::uint32_t timerId) const;
  const std::map<std::uint32_t, std::uint32_t>& Timers() const { return m_timers; }

  // Invalidates the control and, for a synchronous redraw, paints it at once.
  void Invalidate();
  std::uint64_t RedrawCount() const { return m_ulRedraws; }
  void SetRedrawHook(std::function<void(CWndControl&)> hook) { m_redrawHook = std::move(hook); }

 private:
  int m_nId;
  std::wstring m_strText;
  bool m_bVisible = true;
  bool m_bEnabled = true;
  std::uint32_t m_dwStyle = 0;
  std::optional<Font> m_font;
  const Font* m_pParentFont = nullptr;
  Rect m_rect;
  int m_nBorder = 0;
  std::map<std::uint32_t, std::uint32_t> m_timers;
  std::uint64_t m_ulRedraws = 0;
  std::function<void(CWndControl&)> m_redrawHook;
};

}  // namespace hbx::ui
