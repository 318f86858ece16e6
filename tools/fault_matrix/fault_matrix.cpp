// fault_matrix: the interruption matrix of the update, run through the built
// program on fresh bench folders (tools/fault_matrix/matrix_families.h).
//   fault_matrix [--quick] [--list] [--jobs N] [--family NAME] [--only TEXT] [--program PATH]
// --quick      the short form (CI)
// --jobs N     points run in parallel (default: the processors)
// --family     only that family (power-cut, torn, request-fault, kill, time-out, source-swap)
// --program    the program to run (default: 8634FWUpgradeTool beside this tool)
// --list       names the points instead of running them
// --only TEXT  only the points whose name holds TEXT
// Prints one line per family, "<family>: <N> points, <M> recovered", and
// each point that did not recover on standard error; exits with 1 when a
// point did not recover, 2 on a bad command line or a failed clean run.
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tools/fault_matrix/matrix_families.h"

namespace {

namespace fs = std::filesystem;
using namespace hbx::faultmatrix;

int usage() {
  std::fprintf(stderr, "usage: fault_matrix [--quick] [--list] [--jobs N] [--family NAME] [--only TEXT] [--program PATH]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  bool list = false;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  std::string only;
  std::string pointsWith;
  std::error_code ec;
  fs::path program = fs::read_symlink("/proc/self/exe", ec).parent_path() / "8634FWUpgradeTool";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--quick") quick = true;
    else if (arg == "--list") list = true;
    else if (arg == "--jobs" && hasValue) jobs = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
    else if (arg == "--family" && hasValue) only = argv[++i];
    else if (arg == "--only" && hasValue) pointsWith = argv[++i];
    else if (arg == "--program" && hasValue) program = argv[++i];
    else return usage();
  }
  if (!fs::exists(program)) {
    std::fprintf(stderr, "fault_matrix: no program at %s\n", program.c_str());
    return 2;
  }

  std::string pattern = (fs::temp_directory_path() / "hbx-fault-matrix-XXXXXX").string();
  const fs::path work = ::mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
  const std::vector<Step> steps = work.empty() ? std::vector<Step>() : stepsOfCleanRun(work);
  fs::remove_all(work, ec);
  if (steps.empty()) {
    std::fprintf(stderr, "fault_matrix: the clean run did not pass\n");
    return 2;
  }

  struct Family {
    const char* name;
    std::vector<Point> (*points)(const std::vector<Step>&, bool);
  };
  const Family families[] = {{"power-cut", powerCutPoints},
                             {"torn", tornPoints},
                             {"request-fault", requestFaultPoints},
                             {"kill", killPoints},
                             {"time-out", timeOutPoints},
                             {"source-swap", sourceSwapPoints}};
  bool allRecovered = true;
  bool known = only.empty();
  for (const Family& family : families) {
    if (!only.empty() && only != family.name) continue;
    known = true;
    std::vector<Point> points = family.points(steps, quick);
    if (quick && points.empty()) {
      std::printf("%s: not in the short form\n", family.name);
      continue;
    }
    std::erase_if(points, [&](const Point& p) { return p.where.find(pointsWith) == std::string::npos; });
    if (list) {
      for (const Point& point : points) std::printf("%s: %s\n", family.name, point.where.c_str());
      continue;
    }
    const FamilyResult result = runPoints(points, program, jobs);
    for (const std::string& failure : result.failures) std::fprintf(stderr, "%s: %s\n", family.name, failure.c_str());
    std::printf("%s: %zu points, %zu recovered\n", family.name, result.points, result.recovered);
    std::fflush(stdout);
    allRecovered = allRecovered && result.recovered == result.points;
  }
  if (!known) return usage();
  return allRecovered ? 0 : 1;
}
