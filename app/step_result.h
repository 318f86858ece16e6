#pragma once
// The outcome of a start-up step: start-up goes on, or the process ends with
// an exit code. Ending is a value that unwinds to the program's entry rather
// than an exit in place, so every step can be run and checked in-process.
namespace hbx {

class [[nodiscard]] StepResult {
 public:
  static StepResult goOn() { return StepResult(false, 0); }
  static StepResult endProcess(int exitCode) { return StepResult(true, exitCode); }

  bool endsProcess() const { return ends_; }
  int exitCode() const { return exitCode_; }

 private:
  StepResult(bool ends, int exitCode) : ends_(ends), exitCode_(exitCode) {}
  bool ends_;
  int exitCode_;
};

}  // namespace hbx
