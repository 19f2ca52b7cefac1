// The process-wide settings and the option file that fills them.
//
// Each setting starts at its default, may be overwritten while the option
// file is read, and is read-only afterwards. Both tools read the same option
// file; each passes over the keys it does not know.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace somlabel {

enum class Program { labelcalc, labelweb };

struct Settings {
  // Known to both tools.
  int mode = 1;                              // MODE: 0, 1 or 2
  std::string model = "kea_model";           // KEA_MODEL
  int number_of_phrases = 15;                // NUMBEROFPHRASES
  std::string path = "output/";              // OUTPUTPATH: prefix of every process-file name
  std::string keypath = "output/key/";       // KEYPATH: the key directory
  std::string keyfileending = ".key";        // KEAFILEEXTENSION
  std::string sourcepath = "output/files/";  // SOURCEPATH: the documents
  std::string kea_tmp_path = "output/tmp_kea/";  // TMPKEAPATH: the extractor's working directory

  // labelcalc only: the extractor to start instead of the Java one; a name
  // without "/" is looked up on PATH.
  std::string kea_program;  // KEA_PROGRAM

  // labelweb only.
  std::string keylinkpath = "key/";       // KEYFILESLINKPATH
  std::string sourcelinkpath = "files/";  // SOURCEFILESLINKPATH
  int keylinks_output = 1;                // KEYLINKS_OUTPUT
  int cadrelI_output = 1;                 // CADRELI_OUTPUT
  int filelinks_output = 1;               // FILELINKS_OUTPUT
};

enum class OptionResult { ok, invalid_mode };

// Reads option lines from `in` into `settings`. A line is split at spaces
// only; the first token is the key, every further token a value applied in
// order (so the last value wins). Stops at the first MODE value other than 0,
// 1 or 2 and returns invalid_mode.
[[nodiscard]] OptionResult read_option_file(FILE* in, Program program, Settings& settings);

// The key of the first text setting whose value holds a NUL byte (such a
// value cannot name a file), or empty when there is none.
[[nodiscard]] std::string_view text_option_with_nul(const Settings& settings);

// Decimal conversion as the option and map files use it: leading white space,
// an optional sign, then digits up to the first other character; no digits
// give 0. Values beyond the int range are clamped.
[[nodiscard]] int to_int(std::string_view text);

// Floating-point conversion of the text at the start of `text` (leading white
// space skipped, conversion stops at the first character that cannot belong
// to the number); no number gives 0.
[[nodiscard]] double to_double(std::string_view text);

}  // namespace somlabel
