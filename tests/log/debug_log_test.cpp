#include "base/log/debug_log.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "platform/system.h"
#include "sim/sim_host.h"
#include "sim/sim_system.h"

namespace hbx::log {
namespace {

// Collects what reaches the debug-output channel.
class Capture : public sim::SimSystem {
 public:
  Capture(sim::SimHost& host) : sim::SimSystem(host.paths(), L"C:\\HBX\\x.exe", nullptr) {}
  void outputDebugString(const std::wstring& text) override {
    std::lock_guard<std::mutex> lock(mutex);
    lines.push_back(text);
  }
  std::mutex mutex;
  std::vector<std::wstring> lines;
};

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override { setDebugOutput(&capture); }
  void TearDown() override {
    setDebugOutput(nullptr);
    vDEBUG_SetLevel(0);
  }
  sim::SimHost host{sim::SimHostOptions{}};
  Capture capture{host};
};

struct Probe {
  void method() { HBX_LOG_MSG(L"%s:%d: hello %d", 7); }
};

TEST_F(DebugLogTest, LevelsDecideWhichRoutinesWrite) {
  for (int level : {0, 1, 2, 3}) {
    capture.lines.clear();
    vDEBUG_SetLevel(level);
    vDEBUG_ERR_printf(L"e");
    vDEBUG_WRN_printf(L"w");
    vDEBUG_MSG_printf(L"m");
    std::vector<std::wstring> want;
    if (level >= 1) want.push_back(L"\r\nERR::e");
    if (level >= 2) want.push_back(L"\r\nWRN::w");
    if (level >= 3) want.push_back(L"\r\nMSG::m");
    EXPECT_EQ(capture.lines, want) << "level " << level;
  }
}

TEST_F(DebugLogTest, MacroFillsClassMethodAndLine) {
  vDEBUG_SetLevel(3);
  Probe().method();
  ASSERT_EQ(capture.lines.size(), 1u);
  EXPECT_TRUE(capture.lines[0].starts_with(L"\r\nMSG::Probe::method:")) << capture.lines[0].c_str();
  EXPECT_TRUE(capture.lines[0].ends_with(L": hello 7"));
}

TEST(MethodName, TakesTheLastTwoNames) {
  EXPECT_EQ(methodName("bool hbx::Ini::vLoadINIFile(const std::wstring&)"), L"Ini::vLoadINIFile");
  EXPECT_EQ(methodName("static int hbx::hubdev::CZELTFILTER0::IO_Sync(hbx::platform::OsHandle)"),
            L"CZELTFILTER0::IO_Sync");
  EXPECT_EQ(methodName("hbx::CHubUtility::CHubUtility(hbx::platform::Ports)"), L"CHubUtility::CHubUtility");
  EXPECT_EQ(methodName("std::map<int, std::vector<int> > hbx::A::f(int)"), L"A::f");
  EXPECT_EQ(methodName("void hbx::A::f()::<lambda()>"), L"A::f");
  EXPECT_EQ(methodName("int main()"), L"main");
}

TEST_F(DebugLogTest, LongLinesAreCutAt4095Characters) {
  vDEBUG_SetLevel(1);
  vDEBUG_ERR_printf(L"%s", std::wstring(9000, L'a'));
  ASSERT_EQ(capture.lines.size(), 1u);
  EXPECT_EQ(capture.lines[0].size(), kLineChars - 1);
  EXPECT_TRUE(capture.lines[0].starts_with(L"\r\nERR::aaa"));
}

TEST_F(DebugLogTest, ManyThreadsWriteWholeLines) {
  vDEBUG_SetLevel(3);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) vDEBUG_MSG_printf(L"thread %d line %d end", t, i);
    });
  }
  for (auto& th : threads) th.join();
  ASSERT_EQ(capture.lines.size(), 8u * 200u);
  for (const auto& line : capture.lines) {
    EXPECT_TRUE(line.starts_with(L"\r\nMSG::thread ") && line.ends_with(L" end")) << line.c_str();
  }
}

}  // namespace
}  // namespace hbx::log
