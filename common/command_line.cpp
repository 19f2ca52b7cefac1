#include "common/command_line.h"

#include <algorithm>

namespace somlabel {
namespace {

const OptionSpec* find_spec(std::span<const OptionSpec> specs, std::string_view name) {
  const auto found = std::find_if(specs.begin(), specs.end(),
                                  [&](const OptionSpec& spec) { return spec.name == name; });
  return found == specs.end() ? nullptr : &*found;
}

bool is_option(std::string_view arg) { return arg.size() > 1 && arg.front() == '-'; }

}  // namespace

bool CommandLine::has(std::string_view name) const {
  return std::any_of(options.begin(), options.end(),
                     [&](const GivenOption& option) { return option.name == name; });
}

std::string CommandLine::value(std::string_view name, std::string_view fallback) const {
  const auto last = std::find_if(options.rbegin(), options.rend(),
                                 [&](const GivenOption& option) { return option.name == name; });
  return std::string(last == options.rend() ? fallback : std::string_view(last->value));
}

Result<Reason> parse_command_line(std::span<char* const> args, std::span<const OptionSpec> specs,
                                  CommandLine& line, UnknownOptions unknown) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!is_option(arg)) {
      line.operands.emplace_back(arg);
      continue;
    }
    // "--name=value": the name ends at the "=".
    const size_t equals = arg.starts_with("--") ? arg.find('=') : std::string_view::npos;
    const std::string_view name = arg.substr(0, equals);
    const OptionSpec* spec = find_spec(specs, name);
    if (spec == nullptr && unknown == UnknownOptions::refuse) {
      return Reason{"unknown option " + std::string(name)};
    }
    const bool takes_value = spec == nullptr || spec->takes_value;
    GivenOption given{std::string(name), {}};
    if (equals != std::string_view::npos) {
      if (!takes_value) return Reason{std::string(name) + " takes no value"};
      given.value = arg.substr(equals + 1);
      given.joined = true;
    } else if (takes_value) {
      if (i + 1 == args.size()) return Reason{std::string(name) + " wants a value"};
      given.value = args[++i];
    }
    (spec == nullptr ? line.unknown : line.options).push_back(std::move(given));
  }
  return {};
}

}  // namespace somlabel
