// The replay answers each call from the recording, keeps the order of the
// requests on one device, and fails with the call and the trace's place on
// anything the recording does not hold.
#include <gtest/gtest.h>

#include <cstring>

#include "trace/replay_ports.h"

namespace hbx::trace {
namespace {

std::vector<TraceEntry> entriesOf(const std::string& lines) {
  TraceLoad load = readTrace("{\"trace\":\"hbx-port-trace\",\"version\":1}\n" + lines);
  EXPECT_EQ(load.error, "");
  return std::move(load.entries);
}

// Two download requests on device 5, each completed, and a registry read.
const std::string kTwoWrites =
    R"({"call":"deviceIoControl","in":{"device":5,"code":7,"request":"01","replyLength":0},"out":{"returnedTrue":false,"error":997}}
{"call":"getOverlappedResult","in":{"device":5},"out":{"ok":true,"bytes":0,"error":0,"reply":""}}
{"call":"deviceIoControl","in":{"device":5,"code":7,"request":"02","replyLength":0},"out":{"returnedTrue":false,"error":997}}
{"call":"getOverlappedResult","in":{"device":5},"out":{"ok":true,"bytes":0,"error":0,"reply":""}}
{"call":"queryValue","in":{"key":9,"name":"V","bufferBytes":4},"out":{"status":0,"type":4,"size":4,"data":"01020304"}}
)";

platform::IoctlStart send(ReplayDeviceIo& io, std::uint8_t byte, platform::OverlappedSlot& slot) {
  return io.deviceIoControl(5, 7, &byte, 1, nullptr, 0, 1, slot);
}

TEST(Replay, AnswersRecordedCallsAndEndsWhole) {
  ReplayPorts ports(entriesOf(kTwoWrites));
  // A call of another device may come before: only one device's order counts.
  std::vector<std::uint8_t> value(4);
  EXPECT_EQ(ports.registry.queryValue(9, L"V", value).status, 0);
  EXPECT_EQ(value, (std::vector<std::uint8_t>{1, 2, 3, 4}));
  platform::OverlappedSlot slot;
  std::uint32_t bytes = 0;
  std::uint32_t error = 0;
  for (std::uint8_t packet : {1, 2}) {
    EXPECT_EQ(send(ports.deviceIo, packet, slot).error, 997u);
    EXPECT_TRUE(ports.deviceIo.getOverlappedResult(5, slot, bytes, error));
  }
  EXPECT_EQ(ports.replay.verdict(), "");
}

TEST(Replay, FailsOnACallOutOfOrderOrNotRecordedOrNeverMade) {
  {
    ReplayPorts ports(entriesOf(kTwoWrites));
    platform::OverlappedSlot slot;
    EXPECT_EQ(send(ports.deviceIo, 2, slot).error, 1167u);
    EXPECT_EQ(ports.replay.verdict(),
              R"(deviceIoControl {"device":5,"code":7,"request":"02","replyLength":0} is out of order: the trace )"
              R"(holds it at line 4, after line 2 (deviceIoControl {"device":5,"code":7,"request":"01","replyLength":0}) )"
              "on the same device");
  }
  {
    ReplayPorts ports(entriesOf(kTwoWrites));
    std::vector<std::uint8_t> value(8);
    EXPECT_EQ(ports.registry.queryValue(9, L"V", value).status, 2);
    EXPECT_EQ(ports.replay.verdict(),
              R"(queryValue {"key":9,"name":"V","bufferBytes":8} is not in the trace; the trace stood at line 2 )"
              R"((deviceIoControl {"device":5,"code":7,"request":"01","replyLength":0}))");
  }
  {
    ReplayPorts ports(entriesOf(kTwoWrites));
    platform::OverlappedSlot slot;
    send(ports.deviceIo, 1, slot);
    EXPECT_EQ(ports.replay.verdict(), R"(the run ended with 4 recorded calls never made; the trace stood at line 3 )"
                                      R"((getOverlappedResult {"device":5}))");
  }
}

TEST(Replay, ReplyReachesTheBufferOfItsRequest) {
  ReplayPorts ports(entriesOf(
      R"({"call":"deviceIoControl","in":{"device":5,"code":7,"request":"01","replyLength":3},"out":{"returnedTrue":false,"error":997}}
{"call":"getOverlappedResult","in":{"device":5},"out":{"ok":true,"bytes":2,"error":0,"reply":"abcd"}}
{"call":"hubIoctl","in":{"hub":3,"code":8,"request":"0000"},"out":{"ok":true,"bytes":2,"error":0,"reply":"1234"}}
)"));
  std::uint8_t request = 1;
  std::uint8_t reply[3] = {0, 0, 0xEE};
  platform::OverlappedSlot slot;
  ports.deviceIo.deviceIoControl(5, 7, &request, 1, reply, 3, 1, slot);
  std::uint32_t bytes = 0;
  std::uint32_t error = 0;
  EXPECT_TRUE(ports.deviceIo.getOverlappedResult(5, slot, bytes, error));
  EXPECT_EQ(bytes, 2u);
  EXPECT_EQ(reply[0], 0xAB);
  EXPECT_EQ(reply[1], 0xCD);
  EXPECT_EQ(reply[2], 0xEE);
  std::vector<std::uint8_t> inOut(2, 0);
  EXPECT_TRUE(ports.hubIo.hubIoctl(3, 8, inOut).ok);
  EXPECT_EQ(inOut, (std::vector<std::uint8_t>{0x12, 0x34}));
  EXPECT_EQ(ports.replay.verdict(), "");
}

}  // namespace
}  // namespace hbx::trace
