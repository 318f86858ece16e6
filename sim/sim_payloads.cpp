#include "sim/sim_payloads.h"

#include "payload/embedded.h"

namespace hbx::sim {

namespace {

// Resource type names are stored upper-cased and found without regard to case.
std::wstring typeName(std::wstring type) {
  for (wchar_t& c : type) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return type;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> SimPayloads::payload(const std::wstring& anyCase, std::uint32_t id) {
  const std::wstring type = typeName(anyCase);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = overrides_.find({type, id});
    if (it != overrides_.end()) return it->second;
  }
  const auto embedded = payload::findEmbedded(type, id);
  if (!embedded) return std::nullopt;
  return std::vector<std::uint8_t>(embedded->begin(), embedded->end());
}

void SimPayloads::replace(const std::wstring& type, std::uint32_t id, std::vector<std::uint8_t> bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  overrides_[{typeName(type), id}] = std::move(bytes);
}

void SimPayloads::remove(const std::wstring& type, std::uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  overrides_[{typeName(type), id}] = std::nullopt;
}

}  // namespace hbx::sim
