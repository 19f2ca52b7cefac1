// The map page: one HTML table with a row per map row and a cell per unit.
// write_html appends one unit's part of the page; which part (page head, row
// start and end, page end) follows from the unit's position and the map's
// size alone, so the units must arrive row by row, column 0 first.
//
// Every text taken from the labelunit file is HTML-escaped in the page, and
// every part of a link taken from it is percent-encoded; the prefixes and
// endings from the option file are written as configured.
#pragma once

#include <array>

#include "common/settings.h"
#include "labelweb/labelweb_records.h"
#include "labelweb/page_text.h"

namespace somlabel::labelweb {

// Grey values outside this range are clamped when a colour is printed.
inline constexpr int kDarkestGrey = 0;
inline constexpr int kLightestGrey = 180;

// The grey value of a label scored `score` on a scale from `max_value`
// (black, 0) down to `min_value` (light grey, 180): 100 when the two bounds
// are equal; otherwise 180 - (score - min) / (max - min) * 180, truncated
// toward zero. Not clamped: a score above `max_value` gives a negative value,
// one below `min_value` a value above 180. A result that is no number gives
// 100, and one beyond the int range the nearest int.
[[nodiscard]] int calculate_color(double max_value, double min_value, double score);

// The colour of a grey value as printed in the page: the value clamped to
// kDarkestGrey..kLightestGrey, then two lower-case hex digits for each of red,
// green and blue ("000000", "5a5a5a", "b4b4b4").
[[nodiscard]] std::array<char, 6> grey_color_code(int grey);

// The parts of the page, each appended to `page`.

// The three lines that open the page, naming the map's layer.
void write_page_head(const map& map, PageText& page);

// The page end: the link one level up when the map has a parent, then the
// closing tags.
void write_page_end(const map& map, PageText& page);

// The part of the page that belongs to `unit`: the page head before the unit
// at column 0, row 0; the unit's cell; the page end after the unit in the
// last column of the last row. A list shows the entries its count asks
// for, at most those the unit gave (UnitList::first).
void write_html(const unit& unit, const map& map, PageText& page, const Settings& settings);

}  // namespace somlabel::labelweb
