#pragma once
// The table of files carried inside the program, generated from payload/ at
// build time.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace hbx::payload {

struct EmbeddedPayload {
  const wchar_t* type;
  std::uint32_t id;
  const std::uint8_t* data;
  std::size_t size;
};

// Resource ids of the carried files.
inline constexpr std::uint32_t kSettingsFileId = 138;  // type "INI"

extern const EmbeddedPayload kEmbeddedPayloads[];
extern const std::size_t kEmbeddedPayloadCount;

// The bytes of a carried file, empty when there is none of that type and id.
std::optional<std::span<const std::uint8_t>> findEmbedded(std::wstring_view type, std::uint32_t id);

}  // namespace hbx::payload
