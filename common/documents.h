// Which files of a folder are documents, and how much of each is read: the one
// rule of every tool that takes a folder of documents (somtrain, keyphrases
// train and docs, somlabel), so that each of them sees the same corpus, and
// the warnings that name what they pass over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace somlabel {

// Why a file below the document folder is not a document. The texts end the
// warning "PATH: passed over: REASON".
inline constexpr std::string_view kBlankInName =
    "a blank in the name (unit files separate names by blanks)";
inline constexpr std::string_view kNotRegularFile = "not a regular file";
inline constexpr std::string_view kBinary = "not text (binary or compressed)";
inline constexpr std::string_view kNoWords = "no words";

// A file (or a folder, when the reason is kBlankInName or the folder cannot
// be read) that list_documents did not take.
struct PassedOver {
  std::string name;  // below the document folder, "/" between folders
  std::string reason;
};

// The documents below `dir`, in all its folders: regular files (symbolic
// links to them included) whose paths below `dir` hold no white space (a unit
// file lists names separated by blanks). A document's name is that path
// ("news/2024/a.html"); names come in byte order. Left out without a word:
// whatever starts with "." (hidden files and folders) and the folder
// `leave_out` (the tool's own output, when it lies inside `dir`; empty for
// none). A folder reached twice (by a symbolic link) is walked once, so link
// loops end. Reported in `passed_over`, in byte order: a file or folder whose
// name holds a blank (a folder once, not each file in it), anything else that
// is no regular file (devices, dangling links), and a subfolder that cannot be
// read (with the system's reason). The message of a failure (when `dir` itself
// cannot be read) is the caller's to print: "cannot read directory DIR: reason".
[[nodiscard]] Result<Reason> list_documents(const std::string& dir, std::vector<std::string>& names,
                                            std::vector<PassedOver>& passed_over,
                                            const std::string& leave_out = {});

// A document's file as it was listed (symbolic links followed): a tool that
// keeps what it made of each document makes it again only where this changed.
struct FileStamp {
  std::uint64_t size = 0;
  std::uint64_t modified = 0;  // nanoseconds since the epoch
  std::uint64_t inode = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The same, and per name (in the same order) the stamp of its file, so that
// the file need not be looked up again.
[[nodiscard]] Result<Reason> list_documents(const std::string& dir, std::vector<std::string>& names,
                                            std::vector<PassedOver>& passed_over,
                                            const std::string& leave_out,
                                            std::vector<FileStamp>& stamps);

// "PATH: passed over: REASON", the warning each tool gives (after its name).
[[nodiscard]] std::string passed_over_message(std::string_view path, std::string_view reason);

// The most of one document's text that any tool reads: beyond it a document
// is cut (with a warning), so that no tool's memory grows with the size of
// one document. A whole book is about 1 MiB of text.
inline constexpr size_t kMaxDocumentBytes = size_t{4} << 20;

// "PATH: cut: only its first 4 MiB are read".
[[nodiscard]] std::string cut_message(std::string_view path);

// Cuts `text` to at most `max_bytes`, at the last white space in the final
// 256 bytes before the bound where there is one (so that no word is cut in
// two), else at the start of a UTF-8 character. Shorter texts stay as they are.
void cut_document(std::string& text, size_t max_bytes = kMaxDocumentBytes);

// How much of a document's start looks_binary needs.
inline constexpr size_t kBinaryCheckBytes = 8192;

// Whether a document's bytes are not text, judged by its first
// kBinaryCheckBytes: a NUL byte, the signature of a compressed file (gzip,
// bzip2, xz, zstd, zip), or more than one byte in ten being a control
// character other than tab, line and page ends, backspace and escape. Text in
// any ASCII-compatible encoding (UTF-8, Latin-1) passes.
[[nodiscard]] bool looks_binary(std::string_view text);

// Whether `text` holds a word: an ASCII letter or digit, or any character
// beyond ASCII. A document without one (empty, blanks, punctuation) is put on
// no map.
[[nodiscard]] bool has_words(std::string_view text);

// What read_document found.
struct DocumentRead {
  std::string text;              // at most kMaxDocumentBytes
  bool cut = false;              // the document was longer
  std::string_view passed_over;  // kBinary or kNoWords when it is no document, else empty
};

// Reads the document at `path` as every tool does: its first
// kMaxDocumentBytes, cut by cut_document, and judged by looks_binary and
// has_words. Messages: those of read_file ("cannot open PATH: reason", ...).
[[nodiscard]] Result<Reason> read_document(const std::string& path, DocumentRead& document);

}  // namespace somlabel
