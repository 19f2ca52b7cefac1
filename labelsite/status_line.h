// What labelsite says on standard error. On a terminal a status line shows
// the step at work, each step overwriting the last; a message first clears
// it and then draws it again below, so that every message stands on a line
// of its own. Safe to call from several threads.
#pragma once

#include <string>

namespace somlabel::labelsite {

// Shows "labelsite: `text`" as the status line (on a terminal only).
void show_status(const std::string& text);

// Clears the status line for good, before the run's last words.
void clear_status();

// Prints "labelsite: ", the message that `format` makes as printf does, and a
// line end.
void say(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace somlabel::labelsite
