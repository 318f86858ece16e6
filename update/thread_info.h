#pragma once
// The records the main update task and the per-hub workers share: the task's
// record (read by the dialog's timer) and the eight worker slots. State bytes
// are atomics: every thread reads the others' states while they change.
#include <array>
#include <atomic>
#include <cstdint>

namespace hbx {

class RunDialog;

// Task states.
inline constexpr std::uint8_t MAIN_THREAD_START = 1;
inline constexpr std::uint8_t MAIN_THREAD_SCAN = 6;
inline constexpr std::uint8_t MAIN_THREAD_OPEN = 7;
inline constexpr std::uint8_t MAIN_THREAD_FINISH = 8;
inline constexpr std::uint8_t MAIN_THREAD_EARLY_END = 9;

// Worker states (0 is an empty slot).
inline constexpr std::uint8_t CHILD_THREAD_START = 1;
inline constexpr std::uint8_t CHILD_THREAD_RST_READY = 4;
inline constexpr std::uint8_t CHILD_THREAD_RST_DONE = 5;
inline constexpr std::uint8_t CHILD_THREAD_FINISH = 8;

// A run serves at most this many hubs: one slot each.
inline constexpr std::size_t kMaxWorkers = 8;

struct MainThreadInfo {
  RunDialog* hWnd = nullptr;
  std::atomic<std::uint8_t> ucHubNum{0};
  std::atomic<std::uint8_t> ucState{0};
  std::atomic<std::uint8_t> bAllPass{0};
};

struct ChildThreadInfo {
  RunDialog* hWnd = nullptr;
  std::uint8_t ucTargetNumber = 0;
  std::uint8_t ucTargetTotal = 0;
  std::atomic<std::uint8_t> ucState{0};
};

using ChildThreadSlots = std::array<ChildThreadInfo, kMaxWorkers>;

}  // namespace hbx
