// The program's table of exit codes is the one the README's exit table and
// the run report's schema give scripts: a code added or dropped in one place
// only shows here.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "base/run/exit_code.h"

namespace hbx::testing {
namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<int> tableCodes() {
  std::set<int> codes;
  for (const ExitCodeEntry& entry : kExitCodeTable) codes.insert(exitValue(entry.code));
  return codes;
}

// The codes of the README's table that opens with "| Exit status |".
std::set<int> readmeCodes() {
  const std::string readme = fileText(std::string(HBX_SOURCE_DIR) + "/README.md");
  std::set<int> codes;
  std::size_t at = readme.find("| Exit status |");
  if (at == std::string::npos) return codes;
  std::istringstream lines(readme.substr(at));
  std::string line;
  std::getline(lines, line);  // the heading
  std::getline(lines, line);  // the rule
  const std::regex row(R"(^\| (-?\d+) \|)");
  while (std::getline(lines, line) && line.starts_with("|")) {
    std::smatch match;
    if (std::regex_search(line, match, row)) codes.insert(std::stoi(match[1]));
  }
  return codes;
}

std::set<int> schemaCodes() {
  const nlohmann::json schema =
      nlohmann::json::parse(fileText(std::string(HBX_SOURCE_DIR) + "/docs/run-report.schema.json"), nullptr, false);
  std::set<int> codes;
  if (schema.is_discarded()) return codes;
  for (const auto& code : schema["properties"]["exitCode"]["enum"]) codes.insert(code.get<int>());
  return codes;
}

TEST(ExitCodeTable, ReadmeAndReportSchemaNameEveryCodeAndNoOther) {
  EXPECT_EQ(readmeCodes(), tableCodes());
  EXPECT_EQ(schemaCodes(), tableCodes());
}

TEST(ExitCodeTable, EachCodeOnceWithItsMeaning) {
  std::set<int> seen;
  for (const ExitCodeEntry& entry : kExitCodeTable) {
    EXPECT_TRUE(seen.insert(exitValue(entry.code)).second) << exitValue(entry.code);
    EXPECT_NE(std::string(entry.meaning), "");
  }
  EXPECT_FALSE(findExitCode(-2).has_value());
  EXPECT_EQ(findExitCode(-12)->code, ExitCode::kStopped);
}

}  // namespace
}  // namespace hbx::testing
