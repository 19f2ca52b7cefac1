// The one way a tool declares its command-line options and reads them.
//
// A tool lists its options (flags and options that take a value) and hands
// the arguments to parse_command_line. An option that takes a value takes the
// next argument ("-n 5", "--xdim 6"); a long one also takes it joined
// ("--xdim=6"). Every other argument that starts with "-" is an unknown
// option; the rest are operands, in order. The tool then checks the values,
// with parse_whole and parse_decimal (common/numbers.h) for numbers, and
// words its usage errors as "OPTION wants ...".
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace somlabel {

struct OptionSpec {
  std::string_view name;  // "--xdim", "-n"
  bool takes_value = false;
};

[[nodiscard]] constexpr OptionSpec flag(std::string_view name) { return {name, false}; }
[[nodiscard]] constexpr OptionSpec valued(std::string_view name) { return {name, true}; }

// One option as given: a flag has an empty value.
struct GivenOption {
  std::string name;
  std::string value;
  bool joined = false;  // given as "--name=value", in one argument
};

struct CommandLine {
  std::vector<GivenOption> options;   // the known ones, in the order given
  std::vector<GivenOption> unknown;   // with kKeepUnknown: the others, in the order given
  std::vector<std::string> operands;  // in the order given

  [[nodiscard]] bool has(std::string_view name) const;
  // The value given last for `name`, or `fallback` when it was not given.
  [[nodiscard]] std::string value(std::string_view name, std::string_view fallback = {}) const;
};

// What becomes of an option the tool does not know.
enum class UnknownOptions {
  refuse,  // a usage error
  // Kept in CommandLine::unknown for another tool, each with a value (the
  // next argument, or joined): somlabel hands somtrain its map options.
  keep,
};

// Parses `args` (argv without the program's name) by `specs`. Fails with the
// reason, for the usage error: "OPTION wants a value", "unknown option
// OPTION".
[[nodiscard]] Result<Reason> parse_command_line(std::span<char* const> args,
                                                std::span<const OptionSpec> specs,
                                                CommandLine& line,
                                                UnknownOptions unknown = UnknownOptions::refuse);

}  // namespace somlabel
