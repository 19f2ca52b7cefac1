// File helpers. Messages start "keyphrases: ", name the file and give the
// system's reason.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "keyphrases/status.h"

namespace keyphrases {

[[nodiscard]] Status read_file(const std::string& path, std::string* contents);

// Writes through a temporary file beside `path` and renames it into place, so
// readers never see half a file. Devices and pipes (e.g. /dev/full) are written
// directly instead, since a rename would replace them. `what` names the kind of
// file in messages ("model", "key file").
// With unlink_old the old file is removed just before the rename: ext4 flushes
// data to disk when a rename replaces a file, which made rewriting thousands of
// key files ten times slower; readers may then briefly find no file.
[[nodiscard]] Status write_file_atomic(const std::string& path, std::string_view bytes,
                                       std::string_view what, bool unlink_old = false);

// Names of the regular files in `dir` (symbolic links followed) ending in
// `suffix`, sorted bytewise. Names that cannot be stat'ed are included, so
// that the caller's read reports why; directories and devices are not.
[[nodiscard]] Status list_files(const std::string& dir, std::string_view suffix,
                                std::vector<std::string>* names);

[[nodiscard]] bool is_directory(const std::string& path);

// dir + "/" + name, without doubling a slash that dir already ends in
// ("output/tmp_kea/" as the labeller passes it).
[[nodiscard]] std::string join_path(const std::string& dir, std::string_view name);

// Modification time in nanoseconds, or -1 when the file cannot be stat'ed.
[[nodiscard]] long long modification_time(const std::string& path);

}  // namespace keyphrases
