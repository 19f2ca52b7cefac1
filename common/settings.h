// The process-wide settings and the option file that fills them.
//
// Each setting starts at its default, may be overwritten while the option
// file is read, and is read-only afterwards. Every tool reads the keys all of
// them know, and its own keys beyond them; it passes over every other key, so
// one option file serves all tools.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "common/io.h"

namespace somlabel {

struct Settings {
  // Known to every tool.
  int mode = 1;                                  // MODE: 0, 1 or 2
  std::string model = "kea_model";               // KEA_MODEL
  int number_of_phrases = 15;                    // NUMBEROFPHRASES
  std::string path = "output/";                  // OUTPUTPATH: prefix of every process-file name
  std::string keypath = "output/key/";           // KEYPATH: the key directory
  std::string keyfileending = ".key";            // KEAFILEEXTENSION
  std::string sourcepath = "output/files/";      // SOURCEPATH: the documents
  std::string kea_tmp_path = "output/tmp_kea/";  // TMPKEAPATH: the extractor's working directory

  // The extractor to start instead of the Java one; a name without "/" is
  // looked up on PATH.
  std::string kea_program;  // KEA_PROGRAM

  // Links and parts of the map pages.
  std::string keylinkpath = "key/";       // KEYFILESLINKPATH
  std::string sourcelinkpath = "files/";  // SOURCEFILESLINKPATH
  int keylinks_output = 1;                // KEYLINKS_OUTPUT
  int cadrelI_output = 1;                 // CADRELI_OUTPUT
  int filelinks_output = 1;               // FILELINKS_OUTPUT
};

enum class OptionKind {
  text,    // the value, less a trailing line end
  number,  // the value converted by to_int
  mode,    // as number, and only 0, 1 and 2 are valid
};

// An option-file key and the setting its values replace.
struct OptionKey {
  std::string_view key;
  OptionKind kind;
  std::string Settings::*text = nullptr;  // kind text
  int Settings::*number = nullptr;        // kinds number and mode
};

[[nodiscard]] constexpr OptionKey text_key(std::string_view key, std::string Settings::*field) {
  return {key, OptionKind::text, field, nullptr};
}

[[nodiscard]] constexpr OptionKey number_key(std::string_view key, int Settings::*field) {
  return {key, OptionKind::number, nullptr, field};
}

enum class OptionResult { ok, invalid_mode };

// Reads option lines from `in` into `settings`: the keys every tool knows and
// `own_keys`. A line is split at spaces only; the first token is the key,
// every further token a value applied in order (so the last value wins).
// Stops at the first MODE value other than 0, 1 or 2 and returns invalid_mode.
// The reader's failure() tells whether the file was read to its end.
[[nodiscard]] OptionResult read_option_file(LineReader& in, std::span<const OptionKey> own_keys,
                                            Settings& settings);

// The key of the first text setting, of those every tool knows and then
// `own_keys`, whose value holds a NUL byte (such a value cannot name a file),
// or empty when there is none.
[[nodiscard]] std::string_view text_option_with_nul(const Settings& settings,
                                                    std::span<const OptionKey> own_keys);

}  // namespace somlabel
