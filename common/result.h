// The result of every operation in this project that can fail. Callers cannot drop it.
//
// A failure is shown to the user once. Most operations print their own message on standard
// error when they fail (naming the file and the system's reason) and return a failure without
// a message; the caller adds its own line where the format asks for one and passes the failure
// on. An operation whose caller decides what a failure means (a gold file that may be missing,
// the first of several threads to fail) prints nothing and returns the message instead, without
// the tool's name; its header says so, and report() prints it.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace somlabel {

class [[nodiscard]] Result {
 public:
  Result() = default;  // success

  // A failure; `message` empty when it has been printed already.
  [[nodiscard]] static Result failure(std::string message = {}) {
    Result result;
    result.failed_ = true;
    result.message_ = std::move(message);
    return result;
  }

  [[nodiscard]] bool ok() const { return !failed_; }
  explicit operator bool() const { return !failed_; }
  [[nodiscard]] const std::string& message() const { return message_; }

 private:
  bool failed_ = false;
  std::string message_;
};

// Prints "tool: message" on standard error for a failure that carries a message.
void report(std::string_view tool, const Result& result);

// Reports `result` and passes it on as a failure that has been reported.
[[nodiscard]] Result reported(std::string_view tool, const Result& result);

}  // namespace somlabel
