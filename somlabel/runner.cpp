#include "somlabel/runner.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "common/io.h"
#include "common/program.h"

extern char** environ;

namespace somlabel::driver {
namespace {

using Clock = std::chrono::steady_clock;

// Cuts one output stream into lines. A segment written after a carriage
// return is a progress line that overwrites the one before it (the tools'
// progress bars); it is shown, not kept.
class Splitter {
 public:
  template <typename Line, typename Progress>
  void feed(std::string_view bytes, Line&& on_line, Progress&& on_progress) {
    for (char c : bytes) {
      if (c != '\n' && c != '\r') {
        pending_ += c;
        continue;
      }
      if (after_return_ || c == '\r') {
        on_progress(pending_);
      } else {
        pending_ += '\n';
        on_line(pending_);
      }
      after_return_ = c == '\r';
      pending_.clear();
    }
  }
  template <typename Line>
  void finish(Line&& on_line) {
    if (!pending_.empty() && !after_return_) on_line(pending_ + '\n');
    pending_.clear();
  }

 private:
  std::string pending_;
  bool after_return_ = false;
};

std::vector<std::string> environment_with_path(const std::string& prefix) {
  std::vector<std::string> env;
  bool path_seen = false;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string variable = *entry;
    if (!prefix.empty() && variable.starts_with("PATH=")) {
      variable = "PATH=" + prefix + ":" + variable.substr(5);
      path_seen = true;
    }
    env.push_back(std::move(variable));
  }
  if (!prefix.empty() && !path_seen) env.push_back("PATH=" + prefix + ":/usr/bin:/bin");
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// Starts the command with its standard output and error on `out` and `err`;
// the child's pid, or -1 with the reason in `error`.
pid_t start(const Command& command, int out, int err, std::string& error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  if (!command.directory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, command.directory.c_str());
  }
  std::vector<std::string> args = command.argv;
  std::vector<std::string> env = environment_with_path(command.path_prefix);
  std::vector<char*> argv = pointers(args);
  std::vector<char*> envp = pointers(env);
  pid_t child = -1;
  const int failed = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    error = command.argv[0] + ": " + std::strerror(failed);
    errno = failed;
    return -1;
  }
  return child;
}

int wait_for(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Everything one run of a tool shows and keeps while it runs.
class Watch {
 public:
  Watch(FILE* log, std::string_view title, size_t maps, StatusLine& status, StepOutcome& outcome)
      : log_(log), title_(title), maps_(maps), status_(status), outcome_(outcome) {}

  void output(std::string_view bytes) {
    out_.feed(
        bytes, [&](const std::string& line) { stdout_line(line); },
        [&](const std::string& text) { progress(text); });
  }
  void errors(std::string_view bytes) {
    err_.feed(
        bytes, [&](const std::string& line) { stderr_line(line); },
        [&](const std::string& text) { progress(text); });
  }
  void finish() {
    out_.finish([&](const std::string& line) { stdout_line(line); });
    err_.finish([&](const std::string& line) { stderr_line(line); });
  }
  void tick() {
    if (!status_.on()) return;
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - begun_).count();
    std::string text = std::string(title_) + " " + std::to_string(seconds) + " s";
    if (maps_ > 0) text += "  " + std::to_string(done_) + "/" + std::to_string(maps_) + " maps";
    if (maps_ == 0 && !latest_.empty()) text += "  " + latest_;
    status_.show(text);
  }

 private:
  void stdout_line(const std::string& line) {
    put(log_, line);
    if (line.starts_with("Processing ")) ++done_;
  }
  void stderr_line(const std::string& line) {
    put(log_, line);
    ++outcome_.messages;
    if (outcome_.first_messages.size() < kKeptMessages) {
      outcome_.first_messages.push_back(trimmed(line));
    }
    outcome_.last_messages.push_back(trimmed(line));
    if (outcome_.last_messages.size() > kKeptMessages) {
      outcome_.last_messages.erase(outcome_.last_messages.begin());
    }
  }
  void progress(const std::string& text) {
    if (!text.empty()) latest_ = text;
  }

  FILE* log_;
  std::string_view title_;
  size_t maps_;
  StatusLine& status_;
  StepOutcome& outcome_;
  Splitter out_, err_;
  std::string latest_;
  size_t done_ = 0;
  Clock::time_point begun_ = Clock::now();
};

// Reads both pipes to their ends. When both have bytes, standard output goes
// first: the tools flush it before they write to standard error, so its
// bytes are the older ones.
void pump(int out, int err, const PipedOutput& output) {
  pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  char buffer[65536];
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (output.tick) output.tick();
    const int ready = poll(fds, 2, 250);
    if (ready < 0 && errno != EINTR) break;
    for (pollfd& fd : fds) {
      if (fd.fd < 0 || fd.revents == 0) continue;
      const ssize_t got = read(fd.fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        close(fd.fd);
        fd.fd = -1;
        continue;
      }
      const std::string_view bytes(buffer, static_cast<size_t>(got));
      &fd == &fds[0] ? output.out(bytes) : output.err(bytes);
    }
  }
}

}  // namespace

std::string trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  return std::string(text);
}

int run_piped(const Command& command, const PipedOutput& output, std::string& error) {
  if (const int reason = command.argv.empty() ? ENOENT : start_error(command.argv[0]);
      reason != 0) {
    error = (command.argv.empty() ? std::string("no command") : command.argv[0]) + ": " +
            std::strerror(reason);
    errno = reason;
    return -1;
  }
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + errno_text();
    return -1;
  }
  if (pipe2(err, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + errno_text();
    close(out[0]), close(out[1]);
    return -1;
  }
  const pid_t child = start(command, out[1], err[1], error);
  const int start_errno = errno;
  close(out[1]);
  close(err[1]);
  if (child <= 0) {
    close(out[0]);
    close(err[0]);
    errno = start_errno;
    return -1;
  }
  pump(out[0], err[0], output);
  return wait_for(child);
}

StatusLine::StatusLine() : terminal_(isatty(STDERR_FILENO) == 1) {
  winsize size{};
  if (terminal_ && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
    width_ = size.ws_col;
  }
}

void StatusLine::show(std::string_view text) {
  if (!terminal_) return;
  text = text.substr(0, width_ - 1);
  if (shown_ && text == text_) return;
  text_ = text;
  std::fprintf(stderr, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
  shown_ = true;
}

void StatusLine::clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

StepOutcome run_step(const Command& command, const std::string& log, std::string_view title,
                     size_t maps, StatusLine& status) {
  StepOutcome outcome;
  const auto begun = Clock::now();
  File log_file;
  if (!log_file.create(log)) {
    outcome.error = "cannot create " + log + ": " + errno_text();
    return outcome;
  }
  Watch watch(log_file.get(), title, maps, status, outcome);
  outcome.status =
      run_piped(command,
                {[&](std::string_view bytes) { watch.output(bytes); },
                 [&](std::string_view bytes) { watch.errors(bytes); }, [&] { watch.tick(); }},
                outcome.error);
  if (outcome.status >= 0) watch.finish();
  const Result<Reason> closed = log_file.close();
  if (!closed && outcome.error.empty() && outcome.status == 0) {
    outcome.error = closed.message();
    outcome.status = -1;
  }
  outcome.seconds = std::chrono::duration<double>(Clock::now() - begun).count();
  status.clear();
  return outcome;
}

}  // namespace somlabel::driver
