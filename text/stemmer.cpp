#include "text/stemmer.h"

#include <libstemmer.h>

#include <new>
#include <string>
#include <utility>

namespace somlabel::text {

Stemmer::Stemmer(Language lang)
    : lang_(lang), stemmer_(sb_stemmer_new(std::string(language_name(lang)).c_str(), "UTF_8")) {
  if (stemmer_ == nullptr) throw std::bad_alloc();
}

Stemmer::~Stemmer() {
  if (stemmer_ != nullptr) sb_stemmer_delete(stemmer_);
}

Stemmer::Stemmer(Stemmer&& other) noexcept
    : lang_(other.lang_), stemmer_(std::exchange(other.stemmer_, nullptr)) {}

Stemmer& Stemmer::operator=(Stemmer&& other) noexcept {
  if (this != &other) {
    if (stemmer_ != nullptr) sb_stemmer_delete(stemmer_);
    lang_ = other.lang_;
    stemmer_ = std::exchange(other.stemmer_, nullptr);
  }
  return *this;
}

std::string_view Stemmer::stem(std::string_view lowered_word) {
  if (stemmer_ == nullptr) return lowered_word;
  const sb_symbol* s =
      sb_stemmer_stem(stemmer_, reinterpret_cast<const sb_symbol*>(lowered_word.data()),
                      static_cast<int>(lowered_word.size()));
  if (s == nullptr) throw std::bad_alloc();
  return {reinterpret_cast<const char*>(s), static_cast<std::size_t>(sb_stemmer_length(stemmer_))};
}

}  // namespace somlabel::text
