// Time on Windows: Sleep and the performance counter.
#include <windows.h>

#include <ctime>

#include "win32/win32_host.h"

namespace hbx::win32 {
namespace {

class Win32Clock final : public platform::ClockPort {
 public:
  void sleepMs(std::uint32_t ms) override { Sleep(ms); }
  std::int64_t performanceCounter() override {
    LARGE_INTEGER value{};
    QueryPerformanceCounter(&value);
    return value.QuadPart;
  }
  std::int64_t performanceFrequency() override {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
  }
  std::int64_t calendarSeconds() override { return static_cast<std::int64_t>(std::time(nullptr)); }
};

}  // namespace

platform::ClockPort& clockPort() {
  static Win32Clock port;
  return port;
}

}  // namespace hbx::win32
