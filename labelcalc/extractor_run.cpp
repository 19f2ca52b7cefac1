#include "labelcalc/extractor_run.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/messages.h"
#include "common/program.h"

extern char** environ;

namespace somlabel::labelcalc {

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
    say("cannot start the keyphrase extractor %s: %s", argv[0].c_str(), std::strerror(error));
    return run;
  }
  run.started = true;
  while (waitpid(child, &run.wait_status, 0) < 0 && errno == EINTR) {
  }
  return run;
}

}  // namespace somlabel::labelcalc
