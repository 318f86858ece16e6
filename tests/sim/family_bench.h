#pragma once
// A bench with one hub of each family on the built-in tree and the filter
// driver installed: hub0 HBX763x, hub1 HBX863x, hub2 HBX773x, hub3 HBX963x.
// For tests that need every family, or device objects from the start.
#include <string>

#include <nlohmann/json.hpp>

#include "sim/hub/hub_config.h"
#include "sim/sim_host.h"
#include "tests/sim/temp_folder.h"

namespace hbx::testing {

inline nlohmann::json familyHubsSection() { return sim::hub::toJson(sim::hub::oneHubPerFamilyBench()); }

// The whole bench.json of that bench.
inline std::string familyBenchJson() { return nlohmann::json{{"hubs", familyHubsSection()}}.dump(); }

// `benchJson` on those hubs when it has no "hubs" section of its own.
inline std::string withFamilyHubs(const std::string& benchJson) {
  nlohmann::json document = nlohmann::json::parse(benchJson, nullptr, false);
  if (!document.is_object() || document.contains("hubs")) return benchJson;
  document["hubs"] = familyHubsSection();
  return document.dump();
}

// A bench folder holding that bench, for hosts that would otherwise run on
// the built-in bench in memory. Declare it before the host built on it.
struct FamilyBenchFolder {
  FamilyBenchFolder() { folder.write("bench.json", familyBenchJson()); }
  sim::SimHostOptions options(double timeScale = 1.0) const {
    sim::SimHostOptions o;
    o.benchFolder = folder.path();
    o.timeScale = timeScale;
    return o;
  }
  TempFolder folder;
};

}  // namespace hbx::testing
