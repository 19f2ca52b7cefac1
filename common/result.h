// The result of every operation in this project that can fail. Callers cannot
// drop it, and its type says how a failure reaches the user:
//
//   Result<Told>    the failing operation has printed its own message (naming
//                   the file and the system's reason); the caller adds its
//                   line where the format asks for one and passes the failure
//                   on. Most operations are of this kind.
//   Result<Reason>  the failure carries its message, without the tool's name,
//                   and the caller decides what it means: a gold file that may
//                   be missing, the first of several threads to fail, a
//                   command line to refuse. told() prints it.
//
// A failure is made from its kind: `return Told{};`, `return Reason{text};`.
#pragma once

#include <concepts>
#include <string>
#include <utility>

namespace somlabel {

// A failure whose message has been printed.
struct Told {};

// A failure whose message is the caller's to print.
struct Reason {
  std::string text;
};

template <typename Failure>
class [[nodiscard]] Result {
 public:
  Result() = default;                                                       // success
  Result(Failure failure) : failed_(true), failure_(std::move(failure)) {}  // NOLINT: implicit

  [[nodiscard]] bool ok() const { return !failed_; }
  explicit operator bool() const { return !failed_; }
  // The message of a failure that carries one; empty on success.
  [[nodiscard]] const std::string& message() const requires std::same_as<Failure, Reason> {
    return failure_.text;
  }

 private:
  bool failed_ = false;
  Failure failure_{};
};

// Prints the message of a failure as one of the tool's (say(), in
// common/messages.h); nothing on success.
void tell(const Result<Reason>& result);

// tell(), and the failure passed on as one that has been told.
[[nodiscard]] Result<Told> told(const Result<Reason>& result);

}  // namespace somlabel
