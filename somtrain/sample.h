// A seeded sample of a stream: `wanted` of `total` items seen one after the
// other, every set of that size equally likely (selection sampling), so a map
// of millions of documents can be trained on a bounded share of them without
// holding the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

namespace somlabel::somtrain {

class SampleSelector {
 public:
  // Takes every item when `wanted` is 0 or at least `total`.
  SampleSelector(std::size_t total, std::size_t wanted, std::uint64_t seed)
      : random_(seed),
        left_(total),
        wanted_(wanted == 0 || wanted >= total ? total : wanted),
        all_(wanted_ == total) {}

  // Whether the next item is in the sample; call once per item, in order.
  // The draw is reduced by hand (not with a distribution), so the sample is
  // the same on every standard library.
  [[nodiscard]] bool take() {
    if (left_ == 0) return false;
    const bool taken = all_ || random_() % left_ < wanted_;
    --left_;
    if (taken) --wanted_;
    return taken;
  }

 private:
  std::mt19937_64 random_;
  std::size_t left_;
  std::size_t wanted_;
  bool all_;
};

}  // namespace somlabel::somtrain
