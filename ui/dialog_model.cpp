#include "ui/dialog_model.h"

namespace hbx::ui {

DialogModel::DialogModel() : caption_(L"763FWUpgradeTool") {
  texts_[ctrl::kVersionCaption] = L"Update Version:";
  texts_[ctrl::kVersionText] = L"FW Version";
  texts_[ctrl::kStatusText] = L"Update Status";
  texts_[ctrl::kHubCount] = L"Display Device Number";
}

void DialogModel::setItemText(int id, const std::wstring& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  texts_[id] = text;
}

std::wstring DialogModel::itemText(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = texts_.find(id);
  return it == texts_.end() ? std::wstring() : it->second;
}

void DialogModel::setCaption(const std::wstring& caption) {
  std::lock_guard<std::mutex> lock(mutex_);
  caption_ = caption;
}

std::wstring DialogModel::caption() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return caption_;
}

std::uint32_t DialogModel::windowPosFlags(std::uint32_t requested, bool hiddenMode) {
  return hiddenMode ? swp::kHiddenModeFlags : requested;
}

void DialogModel::setWindowPos(std::uint32_t flags, bool hiddenMode) {
  const std::uint32_t applied = windowPosFlags(flags, hiddenMode);
  std::lock_guard<std::mutex> lock(mutex_);
  // As SetWindowPos: "hide" wins over "show" when both are given.
  if (applied & swp::kHideWindow) {
    visible_ = false;
  } else if (applied & swp::kShowWindow) {
    visible_ = true;
  }
}

bool DialogModel::isVisible() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return visible_;
}

void DialogModel::endDialog(int result) {
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = true;
  result_ = result;
}

bool DialogModel::hasEnded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

int DialogModel::dialogResult() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return result_;
}

void DialogModel::postQuit(int code) {
  std::lock_guard<std::mutex> lock(mutex_);
  quitCode_ = code;
}

int DialogModel::quitCode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return quitCode_;
}

}  // namespace hbx::ui
