// hbx_screenshot_compare STATE SHOT.bmp OUT
// Compares a screenshot of the Windows dialog's client area (a 24-bit BMP
// written by the Windows screenshot program) with the project's renderer of
// the same state (STATE, written by hbx_dialog_png --state). Writes OUT.png
// (the screenshot as PNG) and OUT_diff.png (renderer and screenshot side by
// side, the differing pixels in red), prints the share of client-area pixels
// whose colour differs by more than kChannelTolerance in a channel, and ends
// with 1 when that share is above kMostDiffering.
//
// The dialog manager lays the template out in dialog units of the font it
// really has: where the template's font is missing (Wine has no Arial Narrow)
// the client area has another size than the renderer's. The screenshot is
// scaled to the renderer's client size first, so each control is compared
// with the same control.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/dialog_png/dialog_state.h"
#include "ui/render/dialog_painter.h"
#include "ui/render/png_writer.h"

namespace {

using hbx::ui::Colour;
using hbx::ui::render::Image;

// Text is drawn by two different rasterisers (Wine's fonts, the renderer's
// bitmap font): glyph edges and a pixel of spacing differ. A colour that is
// off by more than this in a channel is not such a shade but another colour.
constexpr int kChannelTolerance = 64;
// Glyph shapes and the children's one-pixel frames (the window system draws
// those outside the client picture) cover up to 9 % of the client area in
// the text-heavy end states; a wrong face colour or a layout out of place
// covers far more.
constexpr double kMostDiffering = 0.12;
// Inside each progress bar only its percentage text may differ: a bar that is
// missing, filled to another length or in another colour differs in most of
// its area.
constexpr double kMostDifferingInBar = 0.25;

std::uint32_t le32(const std::vector<unsigned char>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// A bottom-up 24-bit BMP as the Windows program writes it.
bool readBmp(const std::string& path, Image& image, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || (b[28] | (b[29] << 8)) != 24) {
    error = path + ": not a 24-bit BMP";
    return false;
  }
  const std::uint32_t data = le32(b, 10);
  const int width = static_cast<int>(le32(b, 18));
  const int height = static_cast<int>(le32(b, 22));
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  if (width <= 0 || height <= 0 || data + stride * static_cast<std::size_t>(height) > b.size()) {
    error = path + ": truncated BMP";
    return false;
  }
  image = Image(width, height);
  for (int y = 0; y < height; ++y) {
    const std::size_t row = data + stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const std::size_t p = row + static_cast<std::size_t>(x) * 3;
      image.set(x, y, hbx::ui::rgb(b[p + 2], b[p + 1], b[p]));
    }
  }
  return true;
}

bool differs(Colour a, Colour b) {
  auto far = [](int u, int v) { return u - v > kChannelTolerance || v - u > kChannelTolerance; };
  return far(hbx::ui::redOf(a), hbx::ui::redOf(b)) || far(hbx::ui::greenOf(a), hbx::ui::greenOf(b)) ||
         far(hbx::ui::blueOf(a), hbx::ui::blueOf(b));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s STATE SHOT.bmp OUT\n", argv[0]);
    return 2;
  }
  std::string error;
  std::ifstream stateFile(argv[1], std::ios::binary);
  const std::string state((std::istreambuf_iterator<char>(stateFile)), std::istreambuf_iterator<char>());
  hbx::ui::DialogControls controls(hbx::ui::mainDialogTemplate());
  Image shot;
  if (state.empty()) error = std::string(argv[1]) + ": no state";
  if (error.empty()) hbx::tools::loadDialogState(controls, state, error);
  if (error.empty()) readBmp(argv[2], shot, error);
  const std::string out = argv[3];
  if (error.empty()) hbx::ui::render::writePng(shot, out + ".png", error);
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }

  const hbx::ui::render::DialogPicture rendered = hbx::ui::render::paintDialog(controls);
  const hbx::ui::Rect client = rendered.client;
  const int width = client.width();
  const int height = client.height();
  Image diff(2 * width + 8, height, hbx::ui::kWhite);
  long differing = 0;
  std::vector<bool> offAt(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Colour r = rendered.image.at(client.left + x, client.top + y);
      const Colour s = shot.at(x * shot.width() / width, y * shot.height() / height);
      const bool off = differs(r, s);
      diff.set(x, y, off ? hbx::ui::rgb(255, 0, 0) : r);
      diff.set(width + 8 + x, y, off ? hbx::ui::rgb(255, 0, 0) : s);
      differing += off ? 1 : 0;
      offAt[static_cast<std::size_t>(y) * width + x] = off;
    }
  }
  // Each visible bar on its own.
  bool barsFit = true;
  for (const hbx::ui::DialogControls::Entry& e : controls.entries()) {
    if (e.item->controlClass != hbx::ui::ControlClass::Progress || !e.control->IsWindowVisible()) continue;
    // Inside the frame, with a pixel of slack for the scaling.
    const hbx::ui::Rect frame = e.control->GetWindowRect();
    const hbx::ui::Rect r{frame.left + 2, frame.top + 2, frame.right - 2, frame.bottom - 2};
    long inBar = 0, offInBar = 0;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, height); ++y) {
      for (int x = std::max(r.left, 0); x < std::min(r.right, width); ++x) {
        ++inBar;
        offInBar += offAt[static_cast<std::size_t>(y) * width + x] ? 1 : 0;
      }
    }
    const double barShare = inBar == 0 ? 1.0 : static_cast<double>(offInBar) / inBar;
    if (barShare > kMostDifferingInBar) {
      std::printf("FAIL %s: bar %d differs in %.1f %% of its area (at most %.0f %%)\n", argv[3], e.item->id,
                  barShare * 100.0, kMostDifferingInBar * 100.0);
      barsFit = false;
    }
  }
  hbx::ui::render::writePng(diff, out + "_diff.png", error);
  const double share = static_cast<double>(differing) / (static_cast<double>(width) * height);
  const bool fits = share <= kMostDiffering && barsFit;
  std::printf("%s %s: client area %dx%d (renderer %dx%d, scaled to it), %.2f %% of pixels differ by more than %d in a channel "
              "(at most %.1f %%)\n",
              fits ? "ok  " : "FAIL", out.c_str(), shot.width(), shot.height(), client.width(),
              client.height(), share * 100.0, kChannelTolerance, kMostDiffering * 100.0);
  return fits ? 0 : 1;
}
