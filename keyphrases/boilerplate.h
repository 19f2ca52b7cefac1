// The collection's boilerplate lines: text that many of its documents repeat
// word for word (a template line such as "Math library (libm, -lm)", a
// heading, a licence, a row of a table). A phrase that stands only on such
// lines says which family a document belongs to, not what it is about.
//
// A line is cut into segments at tabs, "|" and box-drawing characters (the
// cells of a table row); a segment is identified by a key over its text,
// lower-cased (ASCII) with its blanks collapsed. The model stores the keys of
// segments that at least boilerplate_min_documents() documents hold, in its
// phrase table beside the phrases (line keys hash other bytes than any phrase).
// A line with a boilerplate segment is boilerplate throughout: the other cells
// of a template table's row ("MT-Unsafe race:crypt" beside "Thread safety")
// vary from document to document but belong to the template as much.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace somlabel::keyphrases {

// A segment is boilerplate in at least this many documents and this share of
// them; judged only by a model of kMinDocumentsForBoilerplate documents or more.
inline constexpr std::uint64_t kMinBoilerplateLineDocuments = 10;
inline constexpr double kBoilerplateLineShare = 0.01;

[[nodiscard]] std::uint64_t boilerplate_min_documents(std::uint64_t n_documents);

struct TextSegment {
  std::size_t begin = 0, end = 0;  // bytes of the text
  std::size_t line = 0;            // from 0
  std::uint64_t key = 0;           // never 0
};

// The segments of a text that hold a letter or digit, in text order.
[[nodiscard]] std::vector<TextSegment> text_segments(std::string_view text);

}  // namespace somlabel::keyphrases
