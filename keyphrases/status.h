// A small result for operations that can fail: empty message means success.
// The failing operation writes the whole message (starting "keyphrases: "
// and naming the file); callers pass it on unchanged.
#pragma once

#include <string>
#include <utility>

namespace keyphrases {

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status failure(std::string message) { return Status(std::move(message)); }
  [[nodiscard]] bool ok() const { return message_.empty(); }
  [[nodiscard]] const std::string& message() const { return message_; }

 private:
  explicit Status(std::string message) : message_(std::move(message)) {}
  std::string message_;
};

}  // namespace keyphrases
