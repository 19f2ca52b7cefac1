#include "text/language.h"

#include <string>

#include "text/tokenizer.h"

namespace somlabel::text {
namespace {

struct LanguageName {
  Language lang;
  std::string_view name;
  std::string_view code;
};

constexpr LanguageName kLanguages[] = {
    {Language::english, "english", "en"},
    {Language::german, "german", "de"},
    {Language::french, "french", "fr"},
    {Language::spanish, "spanish", "es"},
};

}  // namespace

std::optional<Language> parse_language(std::string_view name) {
  const std::string lowered = lower(name);
  for (const LanguageName& entry : kLanguages) {
    if (lowered == entry.name || lowered == entry.code) return entry.lang;
  }
  return std::nullopt;
}

std::string_view language_name(Language lang) {
  for (const LanguageName& entry : kLanguages) {
    if (entry.lang == lang) return entry.name;
  }
  return kLanguages[0].name;
}

}  // namespace somlabel::text
