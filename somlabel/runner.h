// Runs a step's command on this machine: the tool's messages go to the step's
// log in the order it wrote them, its progress to one status line on a
// terminal, and what it said on standard error is kept for the summary.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "somlabel/steps.h"

namespace somlabel::driver {

// The one status line on standard error when it is a terminal; silent
// otherwise.
class StatusLine {
 public:
  StatusLine();
  [[nodiscard]] bool on() const { return terminal_; }
  void show(std::string_view text);  // replaces the line, cut to the terminal's width
  void clear();                      // before any other output

 private:
  bool terminal_ = false;
  size_t width_ = 80;
  bool shown_ = false;
  std::string text_;  // on the line now
};

struct StepOutcome {
  int status = -1;  // exit status; 128 + the signal when killed; -1 not started
  double seconds = 0;
  size_t messages = 0;                      // lines on standard error that were not progress
  std::vector<std::string> first_messages;  // the first few of them
  std::vector<std::string> last_messages;   // and the last few
  std::string error;  // why the tool could not be started, or its log not written
};

// How many of its messages a step's outcome keeps at each end.
inline constexpr size_t kKeptMessages = 5;

// `text` without the line ends and blanks at its end.
[[nodiscard]] std::string trimmed(std::string_view text);

// Where a running command's output goes, as it comes: its standard output,
// its standard error, and a tick at least every quarter second (may be empty).
struct PipedOutput {
  std::function<void(std::string_view)> out;
  std::function<void(std::string_view)> err;
  std::function<void()> tick;
};

// Runs `command` (argv[0] looked up on PATH unless it holds a '/') with
// standard input from /dev/null, handing its output to `output` until both
// streams end. Its exit status, 128 + the signal when killed; -1 when it
// could not be started, with the reason in `error` and errno.
[[nodiscard]] int run_piped(const Command& command, const PipedOutput& output, std::string& error);

// Runs `command` with standard input from /dev/null, writing everything it
// says to `log`. `title` heads the status line. With `maps` above 0 the
// status counts the tool's "Processing" lines as maps done out of `maps`;
// otherwise it shows the tool's own progress line.
[[nodiscard]] StepOutcome run_step(const Command& command, const std::string& log,
                                   std::string_view title, size_t maps, StatusLine& status);

}  // namespace somlabel::driver
