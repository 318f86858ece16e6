// Processes per bench: tools on one bench folder see each other, other
// benches never do; stale registrations are dropped; simulated processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "sim/sim_host.h"
#include "sim/sim_processes.h"
#include "tests/sim/temp_folder.h"

namespace hbx::sim {
namespace {

namespace fs = std::filesystem;

SimHostOptions onBench(const fs::path& bench, const wchar_t* module = L"C:\\HBX\\8634FWUpgradeTool.exe") {
  SimHostOptions options;
  options.benchFolder = bench;
  options.moduleFileName = module;
  return options;
}

std::vector<std::uint32_t> ids(SimHost& host) { return host.processes().enumProcesses(1024).value(); }

bool contains(const std::vector<std::uint32_t>& list, std::uint32_t id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

// A real process of this machine that the test can end.
struct Child {
  Child() {
    pid = ::fork();
    if (pid == 0) {
      ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~Child() {
    if (pid > 0 && !reaped) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  // Waits until exec has replaced the forked copy (its start time is fixed).
  void waitStarted() {
    for (int i = 0; i < 200 && !SimProcesses::processStartTime(static_cast<std::uint32_t>(pid)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_t pid = -1;
  bool reaped = false;
};

TEST(SimProcessesTest, ToolsOnOneBenchSeeEachOtherAndNoOtherBench) {
  hbx::testing::TempFolder benchA, benchB;
  SimHost first(onBench(benchA.path()));
  SimHost second(onBench(benchA.path(), L"C:\\Other\\Copy"));
  SimHost elsewhere(onBench(benchB.path()));
  SimHost builtIn{SimHostOptions{}};

  const std::uint32_t a = first.processes().currentProcessId();
  const std::uint32_t b = second.processes().currentProcessId();
  EXPECT_NE(a, b);
  // Ids are per computer: the other bench may reuse a number, never a process.
  const std::vector<std::uint32_t> both = a < b ? std::vector<std::uint32_t>{a, b} : std::vector<std::uint32_t>{b, a};
  EXPECT_EQ(ids(first), both);
  EXPECT_EQ(ids(second), both);
  EXPECT_EQ(second.processes().processBaseName(a), L"8634FWUpgradeTool.exe");
  EXPECT_EQ(first.processes().processBaseName(b), L"Copy");
  EXPECT_EQ(ids(elsewhere), std::vector<std::uint32_t>{elsewhere.processes().currentProcessId()});
  EXPECT_EQ(ids(builtIn), std::vector<std::uint32_t>{builtIn.processes().currentProcessId()});

  // Ending the other copy removes it from the bench, and never ends this process.
  bool opened = false;
  std::uint32_t error = 0;
  EXPECT_TRUE(first.processes().terminateProcess(b, 0, opened, error));
  EXPECT_TRUE(opened);
  EXPECT_FALSE(second.processes().ownRegistrationPresent());
  EXPECT_FALSE(contains(ids(first), b));
  EXPECT_FALSE(first.processes().terminateProcess(a, 0, opened, error));
  EXPECT_FALSE(opened);
}

TEST(SimProcessesTest, TheUpdateLockIsOnePerBench) {
  hbx::testing::TempFolder benchA;
  hbx::testing::TempFolder benchB;
  SimHost first(onBench(benchA.path()));
  SimHost second(onBench(benchA.path(), L"C:\\Other\\Copy"));
  SimHost elsewhere(onBench(benchB.path()));
  SimHost builtIn{SimHostOptions{}};
  ASSERT_TRUE(first.processes().tryLockUpdate());
  EXPECT_FALSE(second.processes().tryLockUpdate()) << "another tool on the bench holds it";
  EXPECT_TRUE(elsewhere.processes().tryLockUpdate());
  EXPECT_TRUE(builtIn.processes().tryLockUpdate());
  first.processes().unlockUpdate();
  EXPECT_TRUE(second.processes().tryLockUpdate());
  second.processes().unlockUpdate();
}

TEST(SimProcessesTest, RegistrationIsRemovedAtExit) {
  hbx::testing::TempFolder bench;
  std::uint32_t id = 0;
  {
    SimHost host(onBench(bench.path()));
    id = host.processes().currentProcessId();
    EXPECT_TRUE(fs::exists(bench.path() / "processes" / std::to_string(id)));
  }
  EXPECT_FALSE(fs::exists(bench.path() / "processes" / std::to_string(id)));
}

TEST(SimProcessesTest, RealProcessOnTheBenchIsSeenAndEndedBySignal) {
  hbx::testing::TempFolder bench;
  Child child;
  ASSERT_GT(child.pid, 0);
  child.waitStarted();
  const fs::path folder = bench.path() / "processes";
  ASSERT_TRUE(SimProcesses::registerProcess(folder, 77, static_cast<std::uint32_t>(child.pid), L"8634FWUpgradeTool.exe"));
  EXPECT_FALSE(SimProcesses::registerProcess(folder, 77, static_cast<std::uint32_t>(::getpid()), L"x.exe"));

  SimHost host(onBench(bench.path()));
  EXPECT_TRUE(contains(ids(host), 77));
  EXPECT_EQ(host.processes().processBaseName(77), L"8634FWUpgradeTool.exe");
  bool opened = false;
  std::uint32_t error = 0;
  ASSERT_TRUE(host.processes().terminateProcess(77, 0, opened, error));
  int status = 0;
  ASSERT_EQ(::waitpid(child.pid, &status, 0), child.pid);
  child.reaped = true;
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_FALSE(contains(ids(host), 77));
}

TEST(SimProcessesTest, AToolOfTheBenchIsAskedToStopWithAnInterrupt) {
  hbx::testing::TempFolder bench;
  bench.write("bench.json", R"({"processes": [{"pid": 8, "image": "8634FWUpgradeTool.exe"}]})");
  Child child;
  ASSERT_GT(child.pid, 0);
  child.waitStarted();
  ASSERT_TRUE(SimProcesses::registerProcess(bench.path() / "processes", 77, static_cast<std::uint32_t>(child.pid),
                                            L"8634FWUpgradeTool.exe"));
  SimHost host(onBench(bench.path()));
  std::uint32_t error = 0;
  ASSERT_TRUE(host.processes().requestStop(77, error));
  int status = 0;
  ASSERT_EQ(::waitpid(child.pid, &status, 0), child.pid);
  child.reaped = true;
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  // Itself, a process of the bench's description and an id nobody has
  // cannot be asked: only ending them outright is left.
  for (const std::uint32_t id : {host.processes().currentProcessId(), 8u, 12345u}) {
    EXPECT_FALSE(host.processes().requestStop(id, error)) << id;
  }
}

TEST(SimProcessesTest, StaleAndMalformedRegistrationsAreDropped) {
  hbx::testing::TempFolder bench;
  const fs::path folder = bench.path() / "processes";
  {
    Child ended;
    ended.waitStarted();
    ASSERT_TRUE(SimProcesses::registerProcess(folder, 55, static_cast<std::uint32_t>(ended.pid), L"a.exe"));
  }  // killed and reaped: its registration is stale
  bench.write("processes/66", "pid=1\nstart=999999999999\nimage=init\n");  // a reused pid: start time differs
  bench.write("processes/88", "garbage");
  bench.write("processes/notes.txt", "not an id");

  SimHost host(onBench(bench.path()));
  const auto list = ids(host);
  EXPECT_EQ(list, std::vector<std::uint32_t>{host.processes().currentProcessId()});
  EXPECT_FALSE(host.processes().processBaseName(66).has_value());
  for (const char* name : {"55", "66", "88"}) EXPECT_FALSE(fs::exists(folder / name)) << name;
  EXPECT_TRUE(fs::exists(folder / "notes.txt"));
  bool opened = true;
  std::uint32_t error = 0;
  EXPECT_FALSE(host.processes().terminateProcess(55, 0, opened, error));
  EXPECT_FALSE(opened);
}

TEST(SimProcessesTest, SimulatedProcessesOfTheBench) {
  hbx::testing::TempFolder bench;
  bench.write("bench.json", R"({"processes": [{"pid": 8, "image": "8634FWUpgradeTool.exe"},
                                               {"pid": 4, "image": "System", "openable": false}]})");
  SimHost host(onBench(bench.path()));
  auto list = ids(host);
  EXPECT_TRUE(contains(list, 8) && contains(list, 4));
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
  EXPECT_EQ(host.processes().enumProcesses(2)->size(), 2u);  // the table's capacity
  EXPECT_EQ(host.processes().processBaseName(8), L"8634FWUpgradeTool.exe");
  EXPECT_FALSE(host.processes().processBaseName(4).has_value());

  bool opened = false;
  std::uint32_t error = 0;
  EXPECT_FALSE(host.processes().terminateProcess(4, 0, opened, error));
  EXPECT_TRUE(host.processes().terminateProcess(8, 0, opened, error));
  EXPECT_FALSE(contains(ids(host), 8));

  platform::ProcessLaunch launch = host.processes().createProcessAndWait(L"cmd.exe", L"C:\\", 1000);
  EXPECT_FALSE(launch.started);
  EXPECT_EQ(launch.error, 2u);
  EXPECT_EQ(host.processes().shellExecuteAndWait(L"devcon.exe", L"restart", 1000).error, 2u);
}

}  // namespace
}  // namespace hbx::sim
