// The Snowball stemmer of a language.
#pragma once

#include <string_view>

#include "text/language.h"

struct sb_stemmer;

namespace somlabel::text {

// Not thread-safe: one instance per thread. The constructor throws std::bad_alloc when Snowball
// cannot allocate.
class Stemmer {
 public:
  explicit Stemmer(Language lang);
  ~Stemmer();
  Stemmer(const Stemmer&) = delete;
  Stemmer& operator=(const Stemmer&) = delete;
  Stemmer(Stemmer&&) noexcept;
  Stemmer& operator=(Stemmer&&) noexcept;

  // Expects a lower-cased word; the view stays valid until the next call on this instance.
  [[nodiscard]] std::string_view stem(std::string_view lowered_word);
  [[nodiscard]] Language language() const { return lang_; }

 private:
  Language lang_;
  sb_stemmer* stemmer_ = nullptr;
};

}  // namespace somlabel::text
