#include "common/frame.h"

#include <cstring>
#include <ctime>

#include "common/exit_codes.h"
#include "common/io.h"

namespace somlabel {
namespace {

constexpr const char* kVersion = "2.0";
constexpr const char* kContact = "somlabel-bugs@example.org";

void print_banner(const char* invoked_as) {
  std::printf("%s, Version %s by Orvandel Oct 2002\n", invoked_as, kVersion);
  std::printf("Bugreport to %s, thx\n", kContact);
  std::printf("Starting ....\n");
}

Result cannot_read(const Tool& tool, const char* what, const char* name,
                   const std::string& reason) {
  std::fprintf(stderr, "%s: cannot read %s %s: %s\n", tool.name, what, name, reason.c_str());
  return Result::failure();
}

Result read_settings(const Tool& tool, const char* option_file, Settings& settings) {
  File options;
  if (!options.open(option_file, "r")) {
    std::fprintf(stderr, "%s: cannot open option file %s: %s\n", tool.name, option_file,
                 errno_text().c_str());
    return Result::failure();
  }
  LineReader lines(options.get());
  if (read_option_file(lines, tool.keys, settings) == OptionResult::invalid_mode) {
    std::fprintf(stderr, "Invalid value for option MODE in given option file, ciao ...\n");
    return Result::failure();
  }
  if (!lines.failure().empty()) {
    return cannot_read(tool, "option file", option_file, lines.failure());
  }
  if (const std::string_view key = text_option_with_nul(settings, tool.keys); !key.empty()) {
    std::fprintf(stderr, "%s: option %.*s in the option file %s holds a NUL byte\n", tool.name,
                 static_cast<int>(key.size()), key.data(), option_file);
    return Result::failure();
  }
  return tool.check == nullptr ? Result() : tool.check(settings);
}

Result walk_maps(const Tool& tool, const char* process_file, const Settings& settings) {
  File process;
  if (!process.open(process_file, "r")) {
    std::fprintf(stderr, "%s: cannot open process file %s: %s\n", tool.name, process_file,
                 errno_text().c_str());
    return Result::failure();
  }
  // A name with a NUL byte would reach the system cut short, naming another
  // file (for writing, perhaps the unit file being read).
  size_t line_number = 0;
  LineReader lines(process.get());
  Result walked = walk_process_file(lines, settings.path, [&](std::string& name) {
    ++line_number;
    if (name.find('\0') == std::string::npos) return tool.work(name, settings);
    std::fprintf(stderr, "%s: line %zu of the process file %s holds a NUL byte\n", tool.name,
                 line_number, process_file);
    return Result::failure();
  });
  if (walked && !lines.failure().empty()) {
    return cannot_read(tool, "process file", process_file, lines.failure());
  }
  // Not an error (nothing to do is done), but most likely the wrong file.
  if (walked && line_number == 0) {
    std::fprintf(stderr, "%s: warning: the process file %s names no map\n", tool.name,
                 process_file);
  }
  return walked;
}

Result print_times(const Tool& tool, std::time_t start_time) {
  std::printf("Start time : %s", std::ctime(&start_time));
  const std::time_t end_time = std::time(nullptr);
  std::printf("Ending time: %s", std::ctime(&end_time));
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return {};
  std::fprintf(stderr, "%s: cannot write to standard output: %s\n", tool.name,
               errno_text().c_str());
  return Result::failure();
}

}  // namespace

Result walk_process_file(LineReader& in, const std::string& path,
                         const std::function<Result(std::string& name)>& work) {
  std::string_view line;
  while (in.next(line)) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    std::string name = path;
    name.append(line);
    if (Result done = work(name); !done) return done;
  }
  return {};
}

int run_frame(int argc, char** argv, const Tool& tool) {
  const char* invoked_as = argc > 0 ? argv[0] : tool.name;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("Usage: %s %s\n%s", invoked_as, tool.operands, tool.help);
    return kExitSuccess;
  }
  if (argc != 3) {
    std::fprintf(stderr, "Usage: %s %s\n", invoked_as, tool.operands);
    return kExitUsage;
  }
  // Whole lines go out at once, so that where standard output and error share
  // a log, a message follows the progress line it belongs to.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::time_t start_time = std::time(nullptr);
  print_banner(invoked_as);
  Settings settings;
  if (!read_settings(tool, argv[2], settings)) return kExitFailure;
  if (!walk_maps(tool, argv[1], settings)) return kExitFailure;
  return print_times(tool, start_time) ? kExitSuccess : kExitFailure;
}

}  // namespace somlabel
