#include "ui/status_display.h"

namespace hbx::ui {

namespace {
const std::wstring kSearchStart = L"Search Hub";
constexpr std::size_t kSearchLongest = 30;
}  // namespace

Colour colourOfKind(std::uint8_t kind) {
  switch (kind) {
    case 0: return rgb(250, 50, 50);
    case 1: return rgb(50, 250, 50);
    case 2:
    case 4: return rgb(250, 165, 0);
    case 3: return rgb(50, 50, 250);
    default: return rgb(255, 255, 255);
  }
}

std::wstring strHubVersionText(const std::wstring& version) {
  auto part = [&](std::size_t from, std::size_t count) {
    return from < version.size() ? version.substr(from, count) : std::wstring();
  };
  return part(0, 6) + L"_" + part(6, 2) + L"_" + part(8, 2) + L"_" + part(10, 2);
}

Font boldArial(int height) { return Font{L"Arial", height, fw::kBold, 0}; }

std::vector<std::wstring> SearchIndicator::tick() {
  std::vector<std::wstring> out;
  if (text_.size() > kSearchLongest) {
    out.push_back(L"\r" + std::wstring(56, L' ') + L"\r");
    text_ = kSearchStart;
  }
  text_ += L".";
  out.push_back(text_ + L"\r");
  return out;
}

}  // namespace hbx::ui
