// The page driver: one map's page from its labelunit file.
#pragma once

#include <cstdio>
#include <string>

#include "common/result.h"
#include "common/settings.h"
#include "labelweb/labelunit_reader.h"

namespace somlabel::labelweb {

// Reads a labelunit file from `in` to its end and writes its whole map page
// to `page`: the part of every unit (write_html), or, for a file without
// units, the page head and the page end alone. Write errors are left in
// `page`'s error flag.
[[nodiscard]] ReadResult write_page(FILE* in, FILE* page, const Settings& settings);

// The per-map work of labelweb: reads the labelunit file named
// `labelfilename` and writes the map page named `labelfilename` followed by
// ".html". Appends ".html" to `labelfilename` once the labelunit file is
// open, so a caller that names the file in its own failure message names the
// page from then on. Prints the progress line on standard output and its own
// failure message on standard error; fails when the page could not
// be written completely.
[[nodiscard]] Result<Told> generate_html(std::string& labelfilename, const Settings& settings);

// labelweb's work on one map for the start-up frame: generate_html, and on
// failure the line naming the file as generate_html left its name.
[[nodiscard]] Result<Told> make_page(std::string& labelfilename, const Settings& settings);

}  // namespace somlabel::labelweb
