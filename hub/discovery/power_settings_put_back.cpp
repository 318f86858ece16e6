// The end of a run's part in the hubs' selective-suspend settings: every
// value discovery met goes back to what the user had, for every hub the walks
// met (listed, filtered out or beyond the run's limit alike), and the values
// kept beside them for a killed run go.
#include "hub/hub_utility.h"

namespace hbx {

std::vector<CHubUtility::PowerSettingPutBack> CHubUtility::putBackPowerSettings(bool keepSettings) {
  std::vector<PowerSettingPutBack> results;
  for (const PowerSettingsMemory::Left& entry : m_PowerSettingsFound.leftByDiscovery()) {
    bool ok = true;
    if (!keepSettings && entry.changed()) {
      if (entry.before) {
        std::uint32_t value = *entry.before;
        ok = bRegistryReadWrite(entry.key, entry.name, &value, 1, platform::regtype::kDword);
      } else {
        // Discovery created the value: it goes again.
        ok = bRegistryDeleteValue(entry.key, entry.name);
      }
      results.push_back({entry.hub, ok});
    }
    // The kept value stays for the next run while the setting is not back.
    std::uint32_t kept = 0;
    if (ok && bRegistryReadWrite(entry.key, entry.keptName, &kept, 0, platform::regtype::kDword))
      bRegistryDeleteValue(entry.key, entry.keptName);
  }
  return results;
}

}  // namespace hbx
