#include "ui/controls/color_static_st.h"

namespace hbx::ui {

CColorStaticST::~CColorStaticST() { m_bHasBrush = false; }

LRESULT CColorStaticST::WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (message == wm::kTimer) {
    OnTimer(static_cast<std::uint32_t>(wParam));
    return 0;
  }
  return CWndControl::WindowProc(message, wParam, lParam);
}

void CColorStaticST::vSetTextColor(Colour colour) {
  m_crTextColor = colour == 0xFFFFFFFF ? kSystemColours.buttonText : colour;
  Invalidate();
}

void CColorStaticST::vSetTextBlink(std::uint32_t bOn, std::uint32_t periodCode) {
  if (m_nTimerId != 0) {
    KillTimer(m_nTimerId);
    m_nTimerId = 0;
  }
  m_bTextBlink = bOn;
  m_nTextBlinkStep = 0;
  if (bOn != 1) return;
  std::uint32_t periodMs = periodCode;
  switch (periodCode) {
    case 0: periodMs = 2000; break;
    case 1: periodMs = 1000; break;
    case 2: periodMs = 500; break;
    default: break;
  }
  m_nTimerId = kBlinkTimer;
  SetTimer(m_nTimerId, periodMs);
}

Colour CColorStaticST::CtlColor(CtlColorDC& dc) const {
  dc.textColour = m_bTextBlink ? m_crBlinkTextColors[m_nTextBlinkStep & 1] : m_crTextColor;
  dc.backgroundColour = m_crBkColor;
  return m_crBkColor;
}

void CColorStaticST::OnTimer(std::uint32_t timerId) {
  if (m_nTimerId == 0 || timerId != m_nTimerId) return;  // not ours: default handling
  if (!m_bTextBlink) return;
  m_nTextBlinkStep = m_nTextBlinkStep == 0 ? 1 : 0;
  Invalidate();
}

void CColorStaticST::OnDestroy() {
  if (m_nTimerId != 0) KillTimer(m_nTimerId);
  m_nTimerId = 0;
  m_bHasBrush = false;
}

}  // namespace hbx::ui
