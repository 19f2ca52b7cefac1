#include "common/documents.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace somlabel {
namespace {

bool has_blank(std::string_view name) {
  return name.find_first_of(" \t\n\r\v\f") != std::string_view::npos;
}

bool compressed(std::string_view text) {
  constexpr std::string_view kSignatures[] = {{"\x1f\x8b", 2},
                                              {"BZh", 3},
                                              {"\xfd"
                                               "7zXZ\0",
                                               6},
                                              {"\x28\xb5\x2f\xfd", 4},
                                              {"PK\x03\x04", 4}};
  return std::any_of(std::begin(kSignatures), std::end(kSignatures),
                     [&](std::string_view signature) { return text.starts_with(signature); });
}

bool control(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\b' && c != 0x1b) ||
         c == 0x7f;
}

}  // namespace

Result list_documents(const std::string& dir, std::vector<std::string>& names,
                      std::vector<std::string>& passed_over) {
  namespace fs = std::filesystem;
  names.clear();
  passed_over.clear();
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.starts_with('.')) continue;
    std::error_code type_ec;
    const bool regular = it->is_regular_file(type_ec);
    (regular && !has_blank(name) ? names : passed_over).push_back(std::move(name));
  }
  if (ec) return Result::failure("cannot read directory " + dir + ": " + ec.message());
  std::sort(names.begin(), names.end());
  std::sort(passed_over.begin(), passed_over.end());
  return {};
}

bool looks_binary(std::string_view text) {
  text = text.substr(0, kBinaryCheckBytes);
  if (text.find('\0') != std::string_view::npos || compressed(text)) return true;
  const auto controls = std::count_if(
      text.begin(), text.end(), [](char c) { return control(static_cast<unsigned char>(c)); });
  return static_cast<size_t>(controls) * 10 > text.size();
}

}  // namespace somlabel
