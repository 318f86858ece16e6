// The utility object's construction and destruction, and the hex reader.
#include "tests/host/utility_fixture.h"

#include <thread>

#include "hub/host/native_system_view.h"
#include "sim/sim_system.h"

namespace hbx {
namespace {

using testing::UtilityTest;

TEST_F(UtilityTest, ProgramFolderIsTheModulePathCutBeforeItsLastBackslash) {
  std::filesystem::create_directories(bench.path() / "drive_c" / "Tools");
  CHubUtility& u = start(nullptr, L"C:\\Tools\\x.exe");
  EXPECT_EQ(u.strModulePath(), L"C:\\Tools\\x.exe");
  EXPECT_EQ(u.strProgramFolder(), L"C:\\Tools");
  EXPECT_EQ(host->system().currentDirectory(), L"C:\\Tools");
  for (std::uint32_t position : u.m_ulOldPositionIndex) EXPECT_EQ(position, 0xFFFFFFFFu);
  EXPECT_EQ(u.llCounterFrequency(), host->clock().performanceFrequency());
  EXPECT_EQ(u.ucOSCode(), 64);  // the built-in bench is Windows 10
}

// Windows keeps file-system redirection per thread, and a DLL loaded while it
// is off is looked for in the wrong folder: the object leaves it on, and only
// what needs the real system folder turns it off, on its own thread, for as
// long as it takes.
TEST_F(UtilityTest, RedirectionIsOffOnlyAroundWhatNeedsTheRealSystemFolder) {
  for (const char* bench : {static_cast<const char*>(nullptr), R"({"os": {"wow64": false}})",
                            R"({"os": {"isWow64ProcessPresent": false}})"}) {
    SCOPED_TRACE(bench ? bench : "64-bit Windows");
    start(bench);
    EXPECT_EQ(utility->IsWow64(), bench == nullptr);
    EXPECT_FALSE(host->system().fsRedirectionDisabled());
    {
      const NativeSystemView native(host->ports().system, utility->IsWow64());
      EXPECT_EQ(host->system().fsRedirectionDisabled(), bench == nullptr);
      // Another thread still sees the 32-bit system folder.
      std::thread([&] { EXPECT_FALSE(host->system().fsRedirectionDisabled()); }).join();
    }
    EXPECT_FALSE(host->system().fsRedirectionDisabled());
  }
}

// A 64-bit Windows whose redirection switch fails.
class StuckRedirection : public sim::SimSystem {
 public:
  using sim::SimSystem::SimSystem;
  bool disableFsRedirection(std::uintptr_t&, std::uint32_t& error) override {
    error = 50;
    return false;
  }
};

TEST_F(UtilityTest, FailedRedirectionSwitchIsLogged) {
  start();
  StuckRedirection stuck(host->paths(), L"C:\\HBX\\8634FWUpgradeTool.exe", nullptr);
  platform::Ports ports = host->ports();
  platform::Ports withStuck{ports.deviceIo, ports.hubIo, ports.setupApi, ports.registry, ports.processes,
                            stuck,          ports.files, ports.payloads, ports.clock,    ports.windows,
                            ports.digest};
  CHubUtility other(withStuck);
  EXPECT_EQ(debugLog().find("f_Wow64DisableWow64FsRedirection"), std::string::npos);
  other.strFilterLeftovers();
  EXPECT_NE(debugLog().find("ERR::NativeSystemView::NativeSystemView:"), std::string::npos);
  EXPECT_NE(debugLog().find(":   f_Wow64DisableWow64FsRedirection failed, Erroe=50"), std::string::npos)
      << debugLog();
}

TEST(HexReaderTest, AccumulatesHexDigitsAndSkipsTheRest) {
  struct Case {
    const wchar_t* text;
    std::uint32_t value;
  } cases[] = {
      {L"", 0}, {L"3", 3}, {L"10", 16}, {L"FF", 255}, {L"ff", 255}, {L"1G2", 0x12}, {L" 0A ", 10},
      {L"123456789", 0x23456789},  // the top digit runs off 32 bits
  };
  for (const Case& c : cases) EXPECT_EQ(CHubUtility::ulHexTextToValue(c.text), c.value) << toUtf8(c.text);
}

}  // namespace
}  // namespace hbx
