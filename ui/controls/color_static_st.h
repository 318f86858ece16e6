#pragma once
// CColorStaticST: a static text whose text colour the program sets, with
// an optional blink between two colours on a timer of its own.
#include <cstdint>

#include "ui/controls/control_window.h"

namespace hbx::ui {

// The colours a control-colour handler sets on the device context.
struct CtlColorDC {
  Colour textColour = kSystemColours.buttonText;
  Colour backgroundColour = kSystemColours.buttonFace;
};

class CColorStaticST : public CWndControl {
 public:
  explicit CColorStaticST(int id = 0) : CWndControl(id) {}
  ~CColorStaticST() override;

  LRESULT WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) override;

  // -1 (0xFFFFFFFF) stands for the system button-text colour.
  void vSetTextColor(Colour colour);
  // Stops a running blink; with bOn 1 starts timer 1 with the period of
  // `periodCode`: 0 2000 ms, 1 1000 ms, 2 500 ms, any other that many ms.
  void vSetTextBlink(std::uint32_t bOn, std::uint32_t periodCode);

  // The reflected WM_CTLCOLORSTATIC: sets the colours on `dc` and returns
  // the colour of the background brush.
  Colour CtlColor(CtlColorDC& dc) const;
  // The window is being destroyed: stop the timer, drop the brush.
  void OnDestroy();

  Colour textColour() const { return m_crTextColor; }
  bool blinking() const { return m_bTextBlink != 0; }
  std::uint32_t blinkPhase() const { return m_nTextBlinkStep; }
  std::uint32_t timerId() const { return m_nTimerId; }
  Colour backgroundColour() const { return m_crBkColor; }
  bool hasBrush() const { return m_bHasBrush; }

  static constexpr std::uint32_t kBlinkTimer = 1;

 private:
  void OnTimer(std::uint32_t timerId);

  std::uint32_t m_nTimerId = 0;
  Colour m_crTextColor = kSystemColours.buttonText;
  Colour m_crBlinkTextColors[2] = {kSystemColours.buttonText, kSystemColours.buttonText};
  std::uint32_t m_bTextBlink = 0;
  std::uint32_t m_nTextBlinkStep = 0;
  Colour m_crBkColor = kSystemColours.buttonFace;
  // The background brush: a solid brush of m_crBkColor while it exists.
  bool m_bHasBrush = true;
};

}  // namespace hbx::ui
