#include "labelsite/grid_file.h"

#include <charconv>
#include <cmath>
#include <string>

#include "common/io.h"

namespace somlabel::labelsite {
namespace {

// The line less its line end.
std::string_view chomp(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// Splits at single blanks; false unless there are exactly `count` fields.
bool fields(std::string_view line, std::string_view* out, size_t count) {
  size_t found = 0;
  for (size_t at = 0; at <= line.size(); ++found) {
    const size_t end = std::min(line.find(' ', at), line.size());
    if (found == count || end == at) return false;
    out[found] = line.substr(at, end - at);
    at = end + 1;
  }
  return found == count;
}

bool whole_number(std::string_view text, long& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A distance: "-", or a finite number of at least 0.
bool distance(std::string_view text, double& value) {
  if (text == kGridNone) {
    value = kNoValue;
    return true;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && std::isfinite(value) &&
         value >= 0;
}

Result<Reason> bad(std::string_view what, size_t line) {
  return Reason{std::string(what) + " in line " + std::to_string(line)};
}

}  // namespace

Result<Reason> read_grid(FILE* in, int xdim, int ydim, std::vector<GridCell>& cells) {
  cells.clear();
  if (xdim < 1 || ydim < 1 || static_cast<long>(xdim) * ydim > kMaxGridUnits) {
    return Reason{"the map has no units to describe"};
  }
  LineReader lines(in, size_t{1} << 12, size_t{1} << 12);
  std::string_view line;
  const std::string first = std::string(kGridFormat) + " " + std::to_string(kGridVersion);
  if (!lines.next(line) || chomp(line) != first) {
    return Reason{"its first line is not \"" + first + "\""};
  }
  std::string_view parts[5];
  long x = 0, y = 0;
  if (!lines.next(line) || !fields(chomp(line), parts, 2) || !whole_number(parts[0], x) ||
      !whole_number(parts[1], y)) {
    return bad("no XDIM YDIM", 2);
  }
  if (x != xdim || y != ydim) {
    return Reason{"it describes a map of " + std::to_string(x) + " x " +
                           std::to_string(y) + " units, not " + std::to_string(xdim) + " x " +
                           std::to_string(ydim)};
  }
  std::vector<GridCell> read(static_cast<size_t>(xdim) * static_cast<size_t>(ydim));
  for (size_t i = 0; i < read.size(); ++i) {
    const size_t number = i + 3;
    if (!lines.next(line)) return bad("the file ends early", number);
    GridCell& cell = read[i];
    if (!fields(chomp(line), parts, 5) || !whole_number(parts[0], x) ||
        !whole_number(parts[1], y) || !distance(parts[2], cell.right) ||
        !distance(parts[3], cell.down) || !distance(parts[4], cell.qerror)) {
      return bad("no \"x y right down qerror\"", number);
    }
    if (x != static_cast<long>(i % static_cast<size_t>(xdim)) ||
        y != static_cast<long>(i / static_cast<size_t>(xdim))) {
      return bad("a unit out of order", number);
    }
  }
  if (!lines.failure().empty()) return Reason{lines.failure()};
  cells = std::move(read);
  return Result<Reason>();
}

}  // namespace somlabel::labelsite
