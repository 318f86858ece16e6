// The trace reader takes a recording whole or refuses it with the line and
// the reason, so a replay never runs on a trace it half understood.
#include <gtest/gtest.h>

#include "trace/trace_reader.h"

namespace hbx::trace {
namespace {

constexpr char kHead[] = "{\"trace\":\"hbx-port-trace\",\"version\":1}\n";

TEST(TraceReader, ReadsTheCallsOfAWellFormedTrace) {
  const TraceLoad load = readTrace(std::string(kHead) +
                                   R"({"n":1,"thread":1,"us":0,"call":"openKey","in":{"subKey":"S","access":1},"out":{"key":7,"status":0}})"
                                   "\r\n\n"
                                   R"({"call":"hubIoctl","in":{},"out":{"ok":true,"bytes":2,"error":0,"reply":"0aFF"}})");
  ASSERT_EQ(load.error, "");
  ASSERT_EQ(load.entries.size(), 2u);
  EXPECT_EQ(load.entries[0].call, "openKey");
  EXPECT_EQ(load.entries[0].line, 2u);
  EXPECT_EQ(load.entries[1].line, 4u);
  EXPECT_EQ(load.entries[1].out["reply"], "0aFF");
}

TEST(TraceReader, RefusesWhatTheReplayCouldNotRelyOn) {
  const std::string head = kHead;
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "line 1: the trace is empty"},
      {"{\"trace\":\"other\",\"version\":1}\n", "line 1: expected the format line"},
      {"{\"trace\":\"hbx-port-trace\",\"version\":2}\n", "line 1: format version 2 is not 1"},
      {head + "{not json\n", "line 2: not a JSON document"},
      {head + R"({"call":"reboot","in":{},"out":{}})", "line 2: unknown call \"reboot\""},
      {head + R"({"call":"closeKey","out":{}})", "line 2: expected \"in\""},
      {head + R"({"call":"openKey","in":{},"out":{"key":7}})", "line 2: \"out\" of openKey: expected \"status\""},
      {head + R"({"call":"openKey","in":{},"out":{"key":-1,"status":0}})", "line 2: \"out\" of openKey: expected \"key\""},
      {head + R"({"call":"hubIoctl","in":{},"out":{"ok":true,"bytes":1,"error":0,"reply":"abc"}})",
       "line 2: \"out\" of hubIoctl: expected \"reply\""},
      {head + R"({"call":"deviceIoControl","in":{},"out":{"returnedTrue":true,"error":0,"reply":"zz"}})",
       "line 2: \"out\" of deviceIoControl: \"reply\" has the wrong type"},
      {head + R"({"call":"enumDeviceInterface","in":{},"out":{"found":true,"detailOk":true}})",
       "line 2: \"out\" of enumDeviceInterface: expected \"error\""},
  };
  for (const auto& c : cases) {
    const TraceLoad load = readTrace(c.text);
    EXPECT_TRUE(load.entries.empty()) << c.text;
    EXPECT_EQ(load.error.substr(0, c.error.size()), c.error) << c.text;
  }
}

}  // namespace
}  // namespace hbx::trace
