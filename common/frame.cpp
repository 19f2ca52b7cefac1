#include "common/frame.h"

#include <cstring>
#include <ctime>
#include <exception>

#include "common/exit_codes.h"
#include "common/format_texts.h"
#include "common/io.h"
#include "common/messages.h"

namespace somlabel {
namespace {

constexpr const char* kVersion = "2.0";
constexpr const char* kContact = "somlabel-bugs@example.org";

void print_banner(const char* invoked_as) {
  std::printf(texts::kBanner, invoked_as, kVersion);
  std::printf(texts::kBugreport, kContact);
  std::printf("%s", texts::kStarting);
}

Result<Told> print_times(std::time_t start_time) {
  std::printf(texts::kStartTime, std::ctime(&start_time));
  const std::time_t end_time = std::time(nullptr);
  std::printf(texts::kEndingTime, std::ctime(&end_time));
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return {};
  return fail("cannot write to standard output: %s", errno_text().c_str());
}

Result<Told> invalid_mode(const Tool& tool, const std::string& name) {
  if (tool.format_texts) {
    quote("%s", texts::kInvalidMode);
    return Told{};
  }
  return fail("option MODE in the option file %s must be 0, 1 or 2", name.c_str());
}

// The invocation name, for the usage line and the banner.
const char* invoked_as(int argc, char** argv) { return argc > 0 ? argv[0] : tool_name().c_str(); }

}  // namespace

int run_main(const char* name, int (*run)(int argc, char** argv), int argc, char** argv) {
  set_tool_name(name);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    clear_status();
    say("%s", e.what());
    return kExitFailure;
  }
}

std::optional<int> check_command_line(int argc, char** argv, const Tool& tool) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(texts::kUsage, invoked_as(argc, argv));
    std::printf("%s", tool.help);
    return kExitSuccess;
  }
  if (argc == 3) return std::nullopt;
  quote(texts::kUsage, invoked_as(argc, argv));
  return kExitUsage;
}

Result<Told> read_settings(const Tool& tool, const std::string& name, Settings& settings) {
  File options;
  if (!options.open(name, "r")) {
    return fail("cannot open option file %s: %s", name.c_str(), errno_text().c_str());
  }
  LineReader lines(options.get());
  if (read_option_file(lines, tool.keys, settings) == OptionResult::invalid_mode) {
    return invalid_mode(tool, name);
  }
  if (!lines.failure().empty()) {
    return fail("cannot read option file %s: %s", name.c_str(), lines.failure().c_str());
  }
  if (const std::string_view key = text_option_with_nul(settings, tool.keys); !key.empty()) {
    return fail("option %.*s in the option file %s holds a NUL byte", static_cast<int>(key.size()),
                key.data(), name.c_str());
  }
  return tool.check == nullptr ? Result<Told>() : tool.check(settings);
}

Result<Told> walk_maps(const Tool& tool, const std::string& name, const Settings& settings,
                       const std::function<Result<Told>(std::string& name)>& work) {
  File process;
  if (!process.open(name, "r")) {
    return fail("cannot open process file %s: %s", name.c_str(), errno_text().c_str());
  }
  // A name with a NUL byte would reach the system cut short, naming another
  // file (for writing, perhaps the unit file being read).
  size_t line_number = 0;
  LineReader lines(process.get());
  Result<Told> walked = walk_process_file(lines, settings.path, [&](std::string& map) {
    ++line_number;
    if (map.find('\0') == std::string::npos) return work(map);
    return Result<Told>(
        fail("line %zu of the process file %s holds a NUL byte", line_number, name.c_str()));
  });
  if (walked && !lines.failure().empty()) {
    return fail("cannot read process file %s: %s", name.c_str(), lines.failure().c_str());
  }
  // Not an error (nothing to do is done), but most likely the wrong file.
  if (walked && line_number == 0) {
    warn("the process file %s names no map%s", name.c_str(), tool.no_map_note);
  }
  return walked;
}

Result<Told> walk_process_file(LineReader& in, const std::string& path,
                               const std::function<Result<Told>(std::string& name)>& work) {
  std::string_view line;
  while (in.next(line)) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    std::string name = path;
    name.append(line);
    if (Result<Told> done = work(name); !done) return done;
  }
  return {};
}

int run_frame(int argc, char** argv, const Tool& tool) {
  if (const std::optional<int> status = check_command_line(argc, argv, tool)) return *status;
  const std::time_t start_time = std::time(nullptr);
  print_banner(invoked_as(argc, argv));
  Settings settings;
  if (!read_settings(tool, argv[2], settings)) return kExitFailure;
  const auto work = [&](std::string& name) { return tool.work(name, settings); };
  if (!walk_maps(tool, argv[1], settings, work)) return kExitFailure;
  return print_times(start_time) ? kExitSuccess : kExitFailure;
}

}  // namespace somlabel
