#include "common/settings.h"

#include <string>

#include "common/io.h"
#include "common/numbers.h"
#include "common/option_keys.h"

namespace somlabel {
namespace {

// The first key, of the shared ones and then `own_keys`, that `wanted` accepts.
template <typename Predicate>
const OptionKey* first_key(std::span<const OptionKey> own_keys, Predicate wanted) {
  for (const std::span<const OptionKey> keys :
       {std::span<const OptionKey>(kSharedKeys), own_keys}) {
    for (const OptionKey& key : keys) {
      if (wanted(key)) return &key;
    }
  }
  return nullptr;
}

std::string_view without_line_end(std::string_view token) {
  if (!token.empty() && token.back() == '\n') token.remove_suffix(1);
  return token;
}

// Applies one value; false for a MODE value outside 0..2.
bool apply(const OptionKey& key, std::string_view value, Settings& settings) {
  switch (key.kind) {
    case OptionKind::text: settings.*key.text = std::string(without_line_end(value)); return true;
    case OptionKind::number: settings.*key.number = to_int(value); return true;
    case OptionKind::mode:
      settings.*key.number = to_int(value);
      return settings.*key.number >= 0 && settings.*key.number <= 2;
  }
  return true;
}

}  // namespace

std::string_view text_option_with_nul(const Settings& settings,
                                      std::span<const OptionKey> own_keys) {
  const OptionKey* found = first_key(own_keys, [&](const OptionKey& key) {
    return key.kind == OptionKind::text && (settings.*key.text).find('\0') != std::string::npos;
  });
  return found == nullptr ? std::string_view() : found->key;
}

OptionResult read_option_file(LineReader& in, std::span<const OptionKey> own_keys,
                              Settings& settings) {
  std::string_view line;
  while (in.next(line)) {
    // Split at spaces only: tabs and the line end belong to the tokens.
    std::string_view key;
    const OptionKey* option = nullptr;
    size_t pos = 0;
    while (pos < line.size()) {
      while (pos < line.size() && line[pos] == ' ') ++pos;
      if (pos == line.size()) break;
      size_t end = line.find(' ', pos);
      if (end == std::string_view::npos) end = line.size();
      const std::string_view token = line.substr(pos, end - pos);
      pos = end;
      if (key.empty()) {
        key = token;
        option = first_key(own_keys, [&](const OptionKey& known) { return known.key == key; });
        if (option == nullptr) break;
        continue;
      }
      if (!apply(*option, token, settings)) return OptionResult::invalid_mode;
    }
  }
  return OptionResult::ok;
}

}  // namespace somlabel
