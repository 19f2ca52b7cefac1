// Which files of a folder are documents: the one rule of every tool that
// takes a folder of documents (somtrain, keyphrases train and docs, somlabel),
// so that each of them sees the same corpus.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace somlabel {

// The documents of `dir`: regular files (symbolic links to them included)
// whose names hold no white space (a unit file lists names separated by
// blanks) and do not start with "." (hidden files), in byte order. Other
// entries not starting with "." (directories, devices, dangling links, names
// with blanks) are reported in `passed_over`, also in byte order. The message
// of a failure is the caller's to print: "cannot read directory DIR: reason".
[[nodiscard]] Result list_documents(const std::string& dir, std::vector<std::string>& names,
                                    std::vector<std::string>& passed_over);

// How much of a document's start looks_binary needs.
inline constexpr size_t kBinaryCheckBytes = 8192;

// Whether a document's bytes are not text, judged by its first
// kBinaryCheckBytes: a NUL byte, the signature of a compressed file (gzip,
// bzip2, xz, zstd, zip), or more than one byte in ten being a control
// character other than tab, line and page ends, backspace and escape. Text in
// any ASCII-compatible encoding (UTF-8, Latin-1) passes.
[[nodiscard]] bool looks_binary(std::string_view text);

}  // namespace somlabel
