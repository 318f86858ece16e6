// The simulated registry: keys are opened, never created; values answer
// ERROR_MORE_DATA when the buffer is too small.
#include <gtest/gtest.h>

#include "sim/hub/hub_bench.h"
#include "sim/sim_host.h"
#include "sim/sim_registry.h"
#include "tests/sim/temp_folder.h"

namespace hbx::sim {
namespace {

using namespace platform;

TEST(SimRegistryTest, OpensExistingKeysOnlyAndIgnoresCase) {
  SimRegistry registry;
  registry.setString(L"SYSTEM\\Class\\Usb", L"Name", L"hub");
  EXPECT_EQ(registry.openKey(L"SYSTEM\\Class\\Missing", keyaccess::kWrite).status,
            static_cast<std::int32_t>(err::kFileNotFound));
  EXPECT_FALSE(registry.value(L"SYSTEM\\Class\\Missing", L"x").has_value());
  const RegOpenResult parent = registry.openKey(L"system\\class", keyaccess::kRead);
  EXPECT_EQ(parent.status, 0);  // parents exist
  registry.closeKey(parent.key);

  const RegOpenResult key = registry.openKey(L"\\system\\CLASS\\usb\\", keyaccess::kRead);
  ASSERT_EQ(key.status, 0);
  std::vector<std::uint8_t> buffer(64, 0xEE);
  const RegQueryResult q = registry.queryValue(key.key, L"NAME", buffer);
  EXPECT_EQ(q.status, 0);
  EXPECT_EQ(q.type, regtype::kSz);
  EXPECT_EQ(q.size, 8u);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 8),
            (std::vector<std::uint8_t>{'h', 0, 'u', 0, 'b', 0, 0, 0}));
  EXPECT_EQ(registry.queryValue(key.key, L"Other", buffer).status, static_cast<std::int32_t>(err::kFileNotFound));
  // A key opened for reading cannot be written.
  EXPECT_EQ(registry.setValue(key.key, L"Name", regtype::kDword, {1, 0, 0, 0}),
            static_cast<std::int32_t>(err::kAccessDenied));
  registry.closeKey(key.key);
  EXPECT_EQ(registry.openKeyCount(), 0u);
  EXPECT_EQ(registry.queryValue(key.key, L"Name", buffer).status, static_cast<std::int32_t>(err::kInvalidHandle));
}

TEST(SimRegistryTest, TooLongValueAnswersMoreDataAndWritesNothing) {
  SimRegistry registry;
  registry.setRaw(L"K", L"Big", RegValue{regtype::kBinary, std::vector<std::uint8_t>(8193, 0x41)});
  registry.setRaw(L"K", L"Fits", RegValue{regtype::kBinary, std::vector<std::uint8_t>(8192, 0x42)});
  const RegOpenResult key = registry.openKey(L"K", keyaccess::kRead);
  std::vector<std::uint8_t> buffer(8192, 0);
  const RegQueryResult big = registry.queryValue(key.key, L"Big", buffer);
  EXPECT_EQ(big.status, static_cast<std::int32_t>(err::kMoreData));
  EXPECT_EQ(big.size, 8193u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(registry.queryValue(key.key, L"Fits", buffer).status, 0);
  EXPECT_EQ(buffer[8191], 0x42);
  registry.closeKey(key.key);
}

TEST(SimRegistryTest, WritesThroughAKeyOpenedForWriting) {
  SimRegistry registry;
  registry.createKey(L"K");
  const RegOpenResult key = registry.openKey(L"K", keyaccess::kWrite);
  EXPECT_EQ(registry.setValue(key.key, L"V", regtype::kDword, {7, 0, 0, 0}), 0);
  EXPECT_EQ(registry.flushKey(key.key), 0);
  registry.closeKey(key.key);
  const auto v = registry.value(L"k", L"v");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->type, regtype::kDword);
  EXPECT_EQ(v->bytes, (std::vector<std::uint8_t>{7, 0, 0, 0}));
}

TEST(SimRegistryTest, BenchFolderKeepsTheRegistryAndTheDriverStateBetweenRuns) {
  hbx::testing::TempFolder folder;
  folder.write("bench.json", R"({"hubs": {"driverInstalled": true, "devices": [
    {"name": "a", "family": "HBX773x", "usb3": {"pid": "0632", "pdo": "\\Device\\USBPDO-20"}}]}})");
  const std::wstring classKey = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
  SimHostOptions options;
  options.benchFolder = folder.path();
  {
    SimHost first(options);
    EXPECT_TRUE(first.hubBench().driverInstalled());
    // A run that removed the filter and was killed before it set a value back.
    first.registry().setMultiString(classKey, L"UpperFilters", {});
    first.registry().setDword(L"SYSTEM\\Left", L"EnableSelectiveSuspend", 0);
    // A value the run deleted stays deleted.
    first.registry().setDword(L"SYSTEM\\Left", L"Deleted", 1);
    const RegOpenResult left = first.registry().openKey(L"SYSTEM\\Left", keyaccess::kWrite);
    ASSERT_EQ(left.status, 0);
    EXPECT_EQ(first.registry().deleteValue(left.key, L"Deleted"), 0);
    first.registry().closeKey(left.key);
  }
  SimHost second(options);
  EXPECT_FALSE(second.hubBench().driverInstalled()) << "bench.json's driverInstalled counts for the first run only";
  const auto left = second.registry().value(L"system\\left", L"enableselectivesuspend");
  ASSERT_TRUE(left.has_value());
  EXPECT_EQ(left->bytes, (std::vector<std::uint8_t>{0, 0, 0, 0}));
  EXPECT_FALSE(second.registry().value(L"SYSTEM\\Left", L"Deleted").has_value());
  forgetRunningState(folder.path());
  SimHost fresh(options);
  EXPECT_TRUE(fresh.hubBench().driverInstalled());
  EXPECT_FALSE(fresh.registry().value(L"SYSTEM\\Left", L"EnableSelectiveSuspend").has_value());
}

TEST(SimRegistryTest, TwoToolsOnOneBenchShareOneRegistry) {
  // One computer: what a tool changes while another runs is what the other
  // reads next (a copy that removed the filter, say, before the next one
  // checks for it).
  hbx::testing::TempFolder folder;
  SimHostOptions options;
  options.benchFolder = folder.path();
  SimHost first(options);
  SimHost second(options);
  first.registry().setDword(L"SYSTEM\\Shared", L"Value", 7);
  const auto seen = second.registry().value(L"SYSTEM\\Shared", L"Value");
  ASSERT_TRUE(seen.has_value());
  EXPECT_EQ(seen->bytes, (std::vector<std::uint8_t>{7, 0, 0, 0}));
  const RegOpenResult key = second.registry().openKey(L"SYSTEM\\Shared", keyaccess::kWrite);
  ASSERT_EQ(key.status, 0);
  EXPECT_EQ(second.registry().deleteValue(key.key, L"Value"), 0);
  second.registry().closeKey(key.key);
  EXPECT_FALSE(first.registry().value(L"SYSTEM\\Shared", L"Value").has_value());
}

}  // namespace
}  // namespace hbx::sim
