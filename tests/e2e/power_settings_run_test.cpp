// Whole runs and the hubs' selective-suspend settings: whatever ends a run,
// every setting a walk changed is back as it was, for every hub the walk met
// (listed or not), and no value of the program's own stays in the registry.
#include <gtest/gtest.h>

#include <cwctype>
#include <set>

#include <nlohmann/json.hpp>

#include "base/text/utf.h"
#include "e2e_fixture.h"

namespace hbx::testing::e2e {
namespace {

constexpr wchar_t kKeptSuffix[] = L" (BEFORE HBX763XFW UPDATE)";

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

bool isSuspendSetting(const std::wstring& name) {
  const std::wstring n = upper(name);
  return n == L"ENABLESELECTIVESUSPEND" || n == L"IDLEINWORKINGSTATE" || n == L"SELECTIVESUSPENDENABLED";
}

// Every selective-suspend value of the registry by key and name.
std::map<std::wstring, std::vector<std::uint8_t>> suspendSettings(E2eRun& run) {
  std::map<std::wstring, std::vector<std::uint8_t>> found;
  for (const auto& [key, values] : run.registry())
    for (const auto& [name, value] : values)
      if (isSuspendSetting(name)) found[upper(key) + L"|" + upper(name)] = value.bytes;
  return found;
}

// Names of values the program keeps beside a setting during a run.
std::vector<std::string> keptValues(E2eRun& run) {
  std::vector<std::string> kept;
  for (const auto& [key, values] : run.registry())
    for (const auto& [name, value] : values)
      if (upper(name).find(kKeptSuffix) != std::wstring::npos) kept.push_back(toUtf8(key + L"|" + name));
  return kept;
}

Hub otherFamily(std::string name) {
  Hub h = hub(std::move(name), "250115350103");
  h.family = "HBX963x";
  return h;
}

std::vector<Hub> nineHubs() {
  std::vector<Hub> hubs;
  for (int k = 0; k < 9; ++k) hubs.push_back(hub("h" + std::to_string(k)));
  return hubs;
}

TEST(PowerSettingsRun, EveryChangedSettingIsPutBackWhateverEndsTheRun) {
  struct Case {
    const char* what;
    std::vector<Hub> hubs;
    std::wstring line;
    int exitCode;
  };
  const Case cases[] = {
      {"a passing run with a hub of another family", {hub("a"), otherFamily("b")}, L"/DOS /A /DBG 3", 0},
      {"a run refused for nine hubs", nineHubs(), L"/DOS /DBG 3", -10},
      {"a run that finds no hub of the firmware's family", {otherFamily("b")}, L"/DOS /DBG 3", -4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    E2eRun run(c.hubs);
    const auto before = suspendSettings(run);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(run.run(c.line), c.exitCode) << run.output();
    // The walk did switch them off...
    EXPECT_NE(run.debugLog().find("Hub's power management is enable, set it disable"), std::string::npos);
    // ...and the end of the run put every one back.
    EXPECT_EQ(suspendSettings(run), before);
    EXPECT_EQ(keptValues(run), std::vector<std::string>());
  }
}

// The report lists every setting changed and put back, one entry per
// connection, also for hubs the run does not list.
TEST(PowerSettingsRun, ReportListsEachChange) {
  E2eRun run(nineHubs());
  EXPECT_EQ(run.run(L"/DOS /DBG 3 /REPORT C:\\run.json"), -10);
  const nlohmann::json report = nlohmann::json::parse(run.file(L"C:\\run.json"));
  std::map<std::string, std::set<std::string>> subjects;
  for (const auto& change : report["hostChanges"]) {
    if (change["change"].get<std::string>().rfind("power-settings-", 0) != 0) continue;
    EXPECT_TRUE(change["ok"].get<bool>()) << change.dump();
    subjects[change["change"].get<std::string>()].insert(change["subject"].get<std::string>());
  }
  // Every connection the walk took in (sixteen, its limit), not one hub's.
  EXPECT_EQ(subjects["power-settings-changed"].size(), 16u);
  EXPECT_EQ(subjects["power-settings-restored"], subjects["power-settings-changed"]);
}

// The settings a run switches off: those a "/UN" run leaves at 0 that were
// not 0 before it. The run leaves no value of its own.
std::map<std::wstring, std::vector<std::uint8_t>> switchedOffByKeepingRun(E2eRun& run) {
  const auto before = suspendSettings(run);
  EXPECT_EQ(run.run(L"/DOS /UN /DBG 3"), 0) << run.output();
  EXPECT_EQ(keptValues(run), std::vector<std::string>());
  std::map<std::wstring, std::vector<std::uint8_t>> off;
  for (const auto& [where, bytes] : suspendSettings(run)) {
    const auto was = before.find(where);
    if (was == before.end() || was->second == bytes) continue;
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(4, 0)) << toUtf8(where);
    off[where] = was->second;
  }
  return off;
}

// "/UN" keeps the settings as the run left them, and nothing else.
TEST(PowerSettingsRun, KeepOptionLeavesTheSettingsButNoValueOfItsOwn) {
  E2eRun run({hub("a"), otherFamily("b")});
  EXPECT_FALSE(switchedOffByKeepingRun(run).empty());
}

// A run killed after its walk leaves the settings off with what the user had
// kept beside them; the next run puts that back.
TEST(PowerSettingsRun, NextRunPutsBackWhatAKilledRunLeft) {
  E2eRun run({hub("a"), otherFamily("b")});
  const auto off = switchedOffByKeepingRun(run);
  ASSERT_FALSE(off.empty());
  // What a run killed after its walk leaves: each setting off, the user's
  // value kept beside it.
  for (const auto& [key, values] : run.registry()) {
    for (const auto& [name, value] : values) {
      const auto was = off.find(upper(key) + L"|" + upper(name));
      if (was == off.end()) continue;
      run.host().registry().setDword(key, name + L" (before HBX763xFW update)", was->second[0]);
    }
  }
  EXPECT_EQ(run.run(L"/DOS /A /DBG 3"), 0) << run.output();
  for (const auto& [where, bytes] : suspendSettings(run)) {
    if (off.count(where)) {
      EXPECT_EQ(bytes, off.at(where)) << toUtf8(where);
    }
  }
  EXPECT_EQ(keptValues(run), std::vector<std::string>());
}

}  // namespace
}  // namespace hbx::testing::e2e
