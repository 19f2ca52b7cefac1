// What every tool says on standard error, through one door. Each message
// starts with the tool's name, set once by its main(); a status line (on a
// terminal, or where --progress asks for one) is cleared before a message and
// drawn again after it, so that every message stands on a line of its own.
// Safe to call from several threads.
//
// Standard output (banners, progress lines of the map tools, results) is not
// a message and does not go through here. Texts the map-file format quotes
// word for word are in common/format_texts.h and are printed with quote().
#pragma once

#include <string>
#include <string_view>

#include "common/result.h"

namespace somlabel {

// The name that starts every message ("labelcalc"); main() sets it first.
void set_tool_name(std::string_view name);
[[nodiscard]] const std::string& tool_name();

// "tool: MESSAGE" and a line end, MESSAGE made from `format` as printf does.
void say(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "tool: warning: MESSAGE" and a line end.
void warn(const char* format, ...) __attribute__((format(printf, 1, 2)));

// say(), then the failure it told: `return fail("cannot read %s", name);`.
[[nodiscard]] Told fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Exactly the text `format` makes, without the tool's name or a line end of
// its own: the format's messages (common/format_texts.h).
void quote(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The status line: one line on standard error that each call of
// show_status() overwrites with "tool: TEXT". It is shown on a terminal, and
// with `forced` also where standard error is a pipe or a file (--progress,
// for a driver that reads it): there every state starts with a carriage
// return, and a message or the end of the line starts a line of its own.
void enable_status(bool forced);
[[nodiscard]] bool status_shown();  // whether show_status() draws anything
void show_status(std::string_view text);
// Takes the status line down for good, before the run's last words: erased
// on a terminal, ended by a line end elsewhere.
void clear_status();

}  // namespace somlabel
