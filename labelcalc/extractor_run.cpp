#include "labelcalc/extractor_run.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern char** environ;

namespace somlabel {

std::vector<std::string> extractor_arguments(const Settings& settings) {
  std::vector<std::string> argv;
  if (settings.kea_program.empty()) {
    argv = {"java", "KEAKeyphraseExtractor"};
  } else {
    argv = {settings.kea_program};
  }
  argv.insert(argv.end(), {"-l", settings.kea_tmp_path, "-m", settings.model, "-n",
                           std::to_string(settings.number_of_phrases), "-a"});
  return argv;
}

namespace {

// 0 when `file` is a file this process may execute, else the reason.
int executable(const std::string& file) {
  struct stat info;
  if (stat(file.c_str(), &info) != 0) return errno;
  if (S_ISDIR(info.st_mode)) return EACCES;
  return access(file.c_str(), X_OK) == 0 ? 0 : errno;
}

// Why `name` cannot be started, found the way posix_spawnp looks for it, or
// 0. posix_spawnp reports this itself only where the C library sees the exec
// fail; under Valgrind, for one, the child just ends with status 127.
int start_error(const std::string& name) {
  if (name.empty()) return ENOENT;
  if (name.find('/') != std::string::npos) return executable(name);
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/bin:/usr/bin";
  int error = ENOENT;
  for (;;) {
    const size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    const int found = executable((dir.empty() ? std::string(".") : std::string(dir)) + "/" + name);
    if (found == 0) return 0;
    if (found == EACCES) error = EACCES;
    if (colon == std::string_view::npos) return error;
    dirs.remove_prefix(colon + 1);
  }
}

}  // namespace

ProgramRun run_program(const std::vector<std::string>& argv) {
  ProgramRun run;
  if (argv.empty()) return run;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  std::fflush(stdout);
  pid_t child = 0;
  int error = start_error(argv[0]);
  if (error == 0) error = posix_spawnp(&child, args[0], nullptr, nullptr, args.data(), environ);
  if (error != 0) {
    std::fprintf(stderr, "labelcalc: cannot start the keyphrase extractor %s: %s\n",
                 argv[0].c_str(), std::strerror(error));
    return run;
  }
  run.started = true;
  while (waitpid(child, &run.wait_status, 0) < 0 && errno == EINTR) {
  }
  return run;
}

}  // namespace somlabel
