#include "common/frame.h"

#include <cstring>
#include <ctime>

#include "common/exit_codes.h"
#include "common/io.h"

namespace somlabel {
namespace {

constexpr const char* kVersion = "2.0";
constexpr const char* kContact = "somlabel-bugs@example.org";

const char* program_name(Program program) {
  return program == Program::labelcalc ? "labelcalc" : "labelweb";
}

void print_help(const char* invoked_as, Program program) {
  std::printf("Usage: %s processfile config_file\n", invoked_as);
  if (program == Program::labelcalc) {
    std::printf(
        "Labels every map named in the process file: reads each unit file, writes its\n"
        "labelunit file and the map key file. Options come from config_file.\n");
  } else {
    std::printf(
        "Writes one HTML page per labelunit file named in the process file.\n"
        "Options come from config_file.\n");
  }
  std::printf("Exit status: 0 all maps done, 1 a map or an input failed, 2 usage.\n");
}

}  // namespace

bool walk_process_file(FILE* in, const std::string& path, const MapWork& work) {
  LineReader reader(in);
  std::string_view line;
  while (reader.next(line)) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    std::string name = path;
    name.append(line);
    if (!work(name)) return false;
  }
  return true;
}

int run_frame(int argc, char** argv, Program program, Settings& settings,
              const SettingsCheck& check,
              const std::function<MapWork(const Settings&)>& make_work) {
  const char* invoked_as = argc > 0 ? argv[0] : program_name(program);
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    print_help(invoked_as, program);
    return kExitSuccess;
  }
  if (argc != 3) {
    std::fprintf(stderr, "Usage: %s processfile config_file\n", invoked_as);
    return kExitUsage;
  }
  const std::time_t start_time = std::time(nullptr);
  std::printf("%s, Version %s by Orvandel Oct 2002\n", invoked_as, kVersion);
  std::printf("Bugreport to %s, thx\n", kContact);
  std::printf("Starting ....\n");

  File options;
  if (!options.open(argv[2], "r")) {
    std::fprintf(stderr, "%s: cannot open option file %s: %s\n", program_name(program), argv[2],
                 errno_text().c_str());
    return kExitFailure;
  }
  if (read_option_file(options.get(), program, settings) == OptionResult::invalid_mode) {
    std::fprintf(stderr, "Invalid value for option MODE in given option file, ciao ...\n");
    return kExitFailure;
  }
  (void)options.close();  // read only: nothing to lose
  if (const std::string_view key = text_option_with_nul(settings); !key.empty()) {
    std::fprintf(stderr, "%s: option %.*s in the option file %s holds a NUL byte\n",
                 program_name(program), static_cast<int>(key.size()), key.data(), argv[2]);
    return kExitFailure;
  }
  if (check && !check(settings)) return kExitFailure;

  File process;
  if (!process.open(argv[1], "r")) {
    std::fprintf(stderr, "%s: cannot open process file %s: %s\n", program_name(program),
                 argv[1], errno_text().c_str());
    return kExitFailure;
  }
  const MapWork work = make_work(settings);
  // A name with a NUL byte would reach the system cut short, naming another
  // file (for writing, perhaps the unit file being read).
  size_t line_number = 0;
  const MapWork checked_work = [&](std::string& name) {
    ++line_number;
    if (name.find('\0') != std::string::npos) {
      std::fprintf(stderr, "%s: line %zu of the process file %s holds a NUL byte\n",
                   program_name(program), line_number, argv[1]);
      return false;
    }
    return work(name);
  };
  if (!walk_process_file(process.get(), settings.path, checked_work)) {
    return kExitFailure;
  }

  std::printf("Start time : %s", std::ctime(&start_time));
  const std::time_t end_time = std::time(nullptr);
  std::printf("Ending time: %s", std::ctime(&end_time));
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program_name(program),
                 errno_text().c_str());
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace somlabel
