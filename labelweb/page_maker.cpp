#include "labelweb/page_maker.h"

#include <cerrno>
#include <cstring>

#include "common/format_texts.h"
#include "common/io.h"
#include "common/map_names.h"
#include "common/messages.h"
#include "labelweb/page_text.h"
#include "labelweb/page_writer.h"

namespace somlabel::labelweb {
namespace {

// Page text goes to the page in blocks of at least this size.
constexpr size_t kWriteSize = size_t{1} << 16;

}  // namespace

ReadResult write_page(FILE* in, FILE* page, const Settings& settings) {
  PageText text;
  map map;
  const ReadResult result =
      read_labelunit(in, map, [&](const unit& unit, const struct map& current) {
        write_html(unit, current, text, settings);
        if (text.size() >= kWriteSize) {
          put(page, text.view());
          text.clear();
        }
      });
  if (!result.failure.empty()) return result;
  if (result.units == 0) {
    write_page_head(map, text);
    write_page_end(map, text);
  }
  put(page, text.view());
  return result;
}

Result<Told> generate_html(std::string& labelfilename, const Settings& settings) {
  // The line stays open for its end below; a message on standard error in
  // between must follow it in a log that holds both streams.
  std::printf(texts::kProcessingPage, labelfilename.c_str());
  std::fflush(stdout);
  File labelfile;
  if (!labelfile.open(labelfilename, "r")) {
    quote(texts::kCouldNotOpenLabelfile, labelfilename.c_str(), errno_text().c_str());
    return Told{};
  }
  labelfilename.append(kPageEnding);
  std::printf(texts::kWritingPage, labelfilename.c_str());
  File page;
  if (!page.create(labelfilename)) {
    const std::string reason = errno_text();
    quote(texts::kCouldNotOpenHtmlfile, labelfilename.c_str());
    return fail("cannot create %s: %s", labelfilename.c_str(), reason.c_str());
  }
  // Only large blocks are written: no stream buffer needs to hold them.
  std::setvbuf(page.get(), nullptr, _IONBF, 0);
  const ReadResult result = write_page(labelfile.get(), page.get(), settings);
  if (!result.failure.empty()) {
    return fail("cannot read %s: %s", labelfile.name().c_str(), result.failure.c_str());
  }
  return told(page.close());
}

Result<Told> make_page(std::string& labelfilename, const Settings& settings) {
  Result<Told> made = generate_html(labelfilename, settings);
  if (!made) quote(texts::kErrorGeneratingHtml, labelfilename.c_str());
  return made;
}

}  // namespace somlabel::labelweb
