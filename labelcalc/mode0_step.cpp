#include "labelcalc/mode0_step.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "common/format_texts.h"
#include "common/io.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/messages.h"
#include "labelcalc/extractor_run.h"
#include "labelcalc/mode0_batch.h"

namespace somlabel::labelcalc {
namespace {

// Documents are copied in blocks of this size; most fit in one read.
constexpr size_t kCopyBlock = size_t{1} << 20;

// The line that follows a message of the original format with the reason.
void print_reason(const std::string& name, int error) {
  say("%s: %s", name.c_str(), std::strerror(error));
}

// The system takes a name only up to a NUL byte, so such a name would stand
// for another file (to be truncated, replaced or removed).
bool has_nul(const std::string& name) { return name.find('\0') != std::string::npos; }

// Why a copy stopped early: the errno of the side that failed, 0 for none.
struct CopyResult {
  int read_error = 0;
  int write_error = 0;
};

int write_all(int to, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(to, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

// Copies `from` from its current offset to its end onto `to`.
CopyResult copy_all(int from, int to, char* block) {
  for (;;) {
    const ssize_t got = read(from, block, kCopyBlock);
    if (got == 0) return {};
    if (got < 0) {
      if (errno == EINTR) continue;
      return {errno, 0};
    }
    if (const int error = write_all(to, block, static_cast<size_t>(got)); error != 0) {
      return {0, error};
    }
  }
}

void print_write_failure(const std::string& text_name, int error) {
  quote(texts::kCouldNotWriteToDisk, text_name.c_str());
  print_reason(text_name, error);
}

// Appends one document to the open unit text file. A document that exists
// but cannot be read counts as not found.
Result<Told> append_document(const std::string& document, int out, const std::string& text_name,
                             char* block) {
  if (has_nul(document)) errno = EINVAL;
  const int in = has_nul(document) ? -1 : open(document.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    quote(texts::kFileNotFound, document.c_str(), errno_text().c_str());
    return Told{};
  }
  const CopyResult result = copy_all(in, out, block);
  close(in);
  if (result.read_error != 0) {
    quote(texts::kFileNotFound, document.c_str(), std::strerror(result.read_error));
  } else if (result.write_error != 0) {
    print_write_failure(text_name, result.write_error);
  }
  return result.read_error == 0 && result.write_error == 0 ? Result<Told>() : Told{};
}

// Writes the unit's documents back to back into a fresh unit text file.
Result<Told> join_documents(const unit& curr_unit, const Settings& settings,
                            const std::string& text_name) {
  if (has_nul(text_name)) errno = EINVAL;
  const int out = has_nul(text_name)
                      ? -1
                      : open(text_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    print_write_failure(text_name, errno);
    return Told{};
  }
  const auto block = std::make_unique_for_overwrite<char[]>(kCopyBlock);
  for (size_t i = 0; i < curr_unit.label_document_count(); ++i) {
    if (!append_document(settings.sourcepath + curr_unit.filelist[i], out, text_name,
                         block.get())) {
      close(out);
      return Told{};
    }
  }
  if (close(out) != 0) {
    print_write_failure(text_name, errno);
    return Told{};
  }
  return {};
}

// The key file of an earlier run must not pass for this run's result (the
// Java extractor would even skip the unit because of it).
Result<Told> remove_old_key_file(const std::string& key_name) {
  if (unlink(key_name.c_str()) == 0 || errno == ENOENT) return {};
  return fail("cannot remove the old key file %s: %s", key_name.c_str(), errno_text().c_str());
}

// Copies `from` to `to` (replacing it) and deletes `from`: a rename across
// file systems. Returns 0 or the errno that stopped it; a partial copy is
// removed again.
int copy_and_delete(const std::string& from, const std::string& to) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  if (unlink(to.c_str()) != 0 && errno != ENOENT) {
    const int error = errno;
    close(in);
    return error;
  }
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    const int error = errno;
    close(in);
    return error;
  }
  const auto block = std::make_unique_for_overwrite<char[]>(kCopyBlock);
  const CopyResult result = copy_all(in, out, block.get());
  close(in);
  int error = result.read_error != 0 ? result.read_error : result.write_error;
  if (close(out) != 0 && error == 0) error = errno;
  if (error != 0) {
    unlink(to.c_str());
    return error;
  }
  return unlink(from.c_str()) == 0 ? 0 : errno;
}

// Moves the unit text file into the key directory, replacing a file of the
// same name there. A failure is reported and otherwise ignored: the labels do
// not depend on it.
void move_into_key_directory(const std::string& text_name, const std::string& keypath) {
  const std::string target = keypath + std::string(base_name(text_name));
  int error = rename(text_name.c_str(), target.c_str()) == 0 ? 0 : errno;
  if (error == EXDEV) error = copy_and_delete(text_name, target);
  if (error != 0) {
    say("cannot move %s to %s: %s", text_name.c_str(), target.c_str(), std::strerror(error));
  }
}

void print_key_file_missing(const std::string& key_name, const char* reason) {
  quote(texts::kKeyFileMissing, key_name.c_str(), reason);
}

void print_key_file_missing(const std::string& key_name, int error) {
  print_key_file_missing(key_name, std::strerror(error));
}

// Writes "$MODE0_PHRASES" and one "$M0_LABEL" line per key-file line. The
// lines are gathered first, so a read error leaves `opf` untouched. The key
// file is read back after the extractor wrote it, so only a regular file will
// do.
Result<Told> copy_key_lines(const std::string& key_name, int number_of_phrases, FILE* opf) {
  File key_file;
  if (!key_file.open(key_name, "r")) {
    print_key_file_missing(key_name, errno);
    return Told{};
  }
  if (!key_file.is_regular()) {
    print_key_file_missing(key_name, kNotRegular);
    return Told{};
  }
  std::string block(keys::kMode0Phrases);
  block += ' ' + std::to_string(number_of_phrases) + '\n';
  LineReader reader(key_file.get());
  std::string_view line;
  while (reader.next(line)) {
    block.append(keys::kM0Label).append(1, ' ').append(line);
    if (line.empty() || line.back() != '\n') block += '\n';  // the next line stays its own
  }
  if (!reader.failure().empty()) {
    print_key_file_missing(key_name, reader.failure().c_str());
    return Told{};
  }
  put(opf, block);
  return {};
}

}  // namespace

Result<Told> do_the_catman(const unit& curr_unit, FILE* opf, const std::string& map,
                           const Settings& settings) {
  const std::string stem = unit_stem(settings, map, curr_unit);
  const std::string text_name = stem + std::string(kTextEnding);
  const std::string key_name = stem + std::string(kKeyEnding);
  if (const std::optional<bool> started = mode0_batches().take(curr_unit, stem, settings)) {
    move_into_key_directory(text_name, settings.keypath);
    if (!*started) {
      print_key_file_missing(key_name, ENOENT);
      return Told{};
    }
    return copy_key_lines(key_name, settings.number_of_phrases, opf);
  }
  if (!join_documents(curr_unit, settings, text_name)) return Told{};
  if (!remove_old_key_file(key_name)) return Told{};
  const ProgramRun run = run_program(extractor_arguments(settings));
  move_into_key_directory(text_name, settings.keypath);
  if (!run.started) {
    print_key_file_missing(key_name, ENOENT);
    return Told{};
  }
  return copy_key_lines(key_name, settings.number_of_phrases, opf);
}

}  // namespace somlabel::labelcalc
