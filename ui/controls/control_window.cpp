#include "ui/controls/control_window.h"

namespace hbx::ui {

LRESULT CWndControl::WindowProc(std::uint32_t, WPARAM, LPARAM) { return 0; }

void CWndControl::SetText(const std::wstring& text) {
  if (text == m_strText) return;
  m_strText = text;
  Invalidate();
}

void CWndControl::ShowWindow(bool show) {
  if (show == m_bVisible) return;
  m_bVisible = show;
  Invalidate();
}

void CWndControl::EnableWindow(bool enable) {
  if (enable == m_bEnabled) return;
  m_bEnabled = enable;
  Invalidate();
}

void CWndControl::SetFont(const std::optional<Font>& font) {
  m_font = font;
  Invalidate();
}

Font CWndControl::GetEffectiveFont() const {
  if (m_font) return *m_font;
  if (m_pParentFont) return *m_pParentFont;
  return Font{};
}

std::optional<std::uint32_t> CWndControl::TimerPeriod(std::uint32_t timerId) const {
  const auto it = m_timers.find(timerId);
  if (it == m_timers.end()) return std::nullopt;
  return it->second;
}

void CWndControl::Invalidate() {
  ++m_ulRedraws;
  if (m_redrawHook) m_redrawHook(*this);
}

}  // namespace hbx::ui
