#pragma once
// The carried files on the simulated host: the table built into the program,
// with replacements that tests and benches can set.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/payloads.h"

namespace hbx::sim {

class SimPayloads : public platform::PayloadPort {
 public:
  std::optional<std::vector<std::uint8_t>> payload(const std::wstring& type, std::uint32_t id) override;

  // Replaces (or adds) a carried file.
  void replace(const std::wstring& type, std::uint32_t id, std::vector<std::uint8_t> bytes);
  // Removes a carried file, as if the program had been built without it.
  void remove(const std::wstring& type, std::uint32_t id);

 private:
  std::mutex mutex_;
  std::map<std::pair<std::wstring, std::uint32_t>, std::optional<std::vector<std::uint8_t>>> overrides_;
};

}  // namespace hbx::sim
