// How the files of a map are named. A map is named by its map name: the
// `path` setting followed by one process-file line. Every other name is a
// plain concatenation of a directory, a name and a fixed ending; directory
// settings carry their own trailing "/".
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/settings.h"

namespace somlabel {

inline constexpr std::string_view kLabelunitEnding = ".labelunit";  // behind the map name
inline constexpr std::string_view kPageEnding = ".html";  // behind the labelunit file's name

// The extractor's files in its working directory: it reads X.txt and writes X.key.
inline constexpr std::string_view kTextEnding = ".txt";
inline constexpr std::string_view kKeyEnding = ".key";

// A sub-map's name ends in "unit"; the address in the "$URL_MAPPED_SOMS" line
// of the unit above is that name with the "unit" replaced by any three
// characters.
inline constexpr std::string_view kSubMapSuffix = "unit";
inline constexpr std::size_t kAddressTailLength = 3;

// The part of a name after its last "/" (the whole name when it has none).
[[nodiscard]] inline std::string_view base_name(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

[[nodiscard]] inline std::string labelunit_name(std::string_view map) {
  return std::string(map).append(kLabelunitEnding);
}

// `keypath` + `name` + `keyfileending`: a document's key file, or a map's map
// key file when `name` is the map's base name.
[[nodiscard]] inline std::string key_file_name(const Settings& settings, std::string_view name) {
  return std::string(settings.keypath).append(name).append(settings.keyfileending);
}

// The sub-map's name from an address: the address less its last three
// characters (all of it when shorter), then "unit". From the address's base
// name it gives the sub-map's base name.
[[nodiscard]] inline std::string sub_map_name(std::string_view address) {
  address.remove_suffix(std::min(address.size(), kAddressTailLength));
  return std::string(address).append(kSubMapSuffix);
}

// The address of the sub-map named `name`: the name with its final "unit"
// replaced by `tail`, three characters.
[[nodiscard]] inline std::string sub_map_address(std::string_view name, std::string_view tail) {
  if (name.ends_with(kSubMapSuffix)) name.remove_suffix(kSubMapSuffix.size());
  return std::string(name).append(tail);
}

// The page of the sub-map at `address`, the "$URL_MAPPED_SOMS" value as read
// (a line end at its end is dropped): the sub-map's base name, then
// ".labelunit.html", so pages link to each other within one directory. Empty
// when the address's base name has fewer than three characters: it names no
// page.
[[nodiscard]] inline std::string sub_map_page_name(std::string_view address) {
  if (address.ends_with('\n')) address.remove_suffix(1);
  const std::string_view base = base_name(address);
  if (base.size() < kAddressTailLength) return {};
  return sub_map_name(base).append(kLabelunitEnding).append(kPageEnding);
}

// The page of the map above from the "$SOMABOVE" value as read (a line end at
// its end is dropped): the base name of the map above, then ".labelunit.html".
// Empty when the base name is.
[[nodiscard]] inline std::string parent_page_name(std::string_view somabove) {
  if (somabove.ends_with('\n')) somabove.remove_suffix(1);
  const std::string_view base = base_name(somabove);
  if (base.empty()) return {};
  return std::string(base).append(kLabelunitEnding).append(kPageEnding);
}

}  // namespace somlabel
