#pragma once
// What the run shows: the status text, the hub bars and result texts, the
// OK button and console lines. One place, so the main task, the workers and
// the side tasks show things the same way.
#include <cstdint>
#include <optional>
#include <string>

#include "ui/controls/win_types.h"

namespace hbx {
class RunDialog;
namespace platform {
class SystemPort;
}
}

namespace hbx::update {

inline constexpr ui::Colour kGreen = 0x32FA32;
inline constexpr ui::Colour kRed = 0x3232FA;

// Status colour kinds.
inline constexpr std::uint8_t kStatusRed = 0;
inline constexpr std::uint8_t kStatusGreen = 1;
inline constexpr std::uint8_t kStatusBlue = 3;

class RunDisplay {
 public:
  RunDisplay(RunDialog& dialog, platform::SystemPort& system) : dialog_(dialog), system_(system) {}

  void status(const std::wstring& text, std::uint8_t kind, std::uint8_t height);
  // Every listed hub's bar in `colour`, full.
  void finishHubBars(ui::Colour colour);
  void hubBar(int hub, int position, std::optional<ui::Colour> colour = std::nullopt);
  // The hub's result text: the version it came back with, in its row.
  void hubResult(int hub, const std::wstring& version);
  void versionField(const std::wstring& version);
  void enableOk(bool enable);
  void attention(bool show);
  // A console line (kept only in console mode).
  void console(const std::string& text);

 private:
  RunDialog& dialog_;
  platform::SystemPort& system_;
};

}  // namespace hbx::update
