#include "labelsite/status_line.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace somlabel::labelsite {
namespace {

std::mutex status_mutex;
std::string status_text;  // empty: no status line shown

void draw() { std::fprintf(stderr, "\rlabelsite: %s\x1b[K", status_text.c_str()); }
void erase() { std::fputs("\r\x1b[K", stderr); }

}  // namespace

void show_status(const std::string& text) {
  static const bool terminal = isatty(STDERR_FILENO) == 1;
  if (!terminal) return;
  const std::lock_guard lock(status_mutex);
  status_text = text;
  draw();
}

void clear_status() {
  const std::lock_guard lock(status_mutex);
  if (status_text.empty()) return;
  erase();
  status_text.clear();
}

void say(const char* format, ...) {
  const std::lock_guard lock(status_mutex);
  if (!status_text.empty()) erase();
  std::fputs("labelsite: ", stderr);
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fputc('\n', stderr);
  if (!status_text.empty()) draw();
}

}  // namespace somlabel::labelsite
