#include "common/messages.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace somlabel {
namespace {

enum class StatusMode { off, terminal, pipe };

std::mutex mutex;
std::string name;
StatusMode mode = StatusMode::off;
size_t width = 80;   // of the terminal
std::string status;  // on the line now; empty: no status line shown

void draw() {
  std::string line = name + ": " + status;
  if (mode == StatusMode::terminal) {
    line.resize(std::min(line.size(), width - 1));
    line.append("\x1b[K");
  }
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
}

// Makes room for a message: on a terminal the status line is erased, in a
// pipe the line is ended, so that the message starts a line of its own.
void take_down() {
  if (status.empty()) return;
  std::fputs(mode == StatusMode::terminal ? "\r\x1b[K" : "\n", stderr);
}

void vprint(const char* prefix, const char* format, va_list arguments) {
  const std::lock_guard lock(mutex);
  take_down();
  if (prefix != nullptr) std::fprintf(stderr, "%s: %s", name.c_str(), prefix);
  std::vfprintf(stderr, format, arguments);
  if (prefix != nullptr) std::fputc('\n', stderr);
  if (!status.empty()) draw();
}

}  // namespace

void set_tool_name(std::string_view tool) {
  const std::lock_guard lock(mutex);
  name = tool;
}

const std::string& tool_name() { return name; }

void say(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  vprint("", format, arguments);
  va_end(arguments);
}

void warn(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  vprint("warning: ", format, arguments);
  va_end(arguments);
}

Told fail(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  vprint("", format, arguments);
  va_end(arguments);
  return {};
}

void quote(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  vprint(nullptr, format, arguments);
  va_end(arguments);
}

void enable_status(bool forced) {
  const std::lock_guard lock(mutex);
  winsize size{};
  if (isatty(STDERR_FILENO) == 1) {
    mode = StatusMode::terminal;
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) width = size.ws_col;
  } else {
    mode = forced ? StatusMode::pipe : StatusMode::off;
  }
}

bool status_shown() {
  const std::lock_guard lock(mutex);
  return mode != StatusMode::off;
}

void show_status(std::string_view text) {
  const std::lock_guard lock(mutex);
  if (mode == StatusMode::off || (!status.empty() && status == text)) return;
  status = text;
  draw();
}

void clear_status() {
  const std::lock_guard lock(mutex);
  take_down();
  if (!status.empty()) std::fflush(stderr);
  status.clear();
}

void tell(const Result<Reason>& result) {
  if (!result.ok()) say("%s", result.message().c_str());
}

Result<Told> told(const Result<Reason>& result) {
  tell(result);
  if (result.ok()) return {};
  return Told{};
}

}  // namespace somlabel
