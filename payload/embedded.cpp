#include "payload/embedded.h"

namespace hbx::payload {

std::optional<std::span<const std::uint8_t>> findEmbedded(std::wstring_view type, std::uint32_t id) {
  for (std::size_t i = 0; i < kEmbeddedPayloadCount; ++i) {
    const EmbeddedPayload& p = kEmbeddedPayloads[i];
    if (p.id == id && type == p.type) return std::span<const std::uint8_t>(p.data, p.size);
  }
  return std::nullopt;
}

}  // namespace hbx::payload
