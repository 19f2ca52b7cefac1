// Runs fn(index, worker) for every index in [0, n) on `threads` workers.
// Indices are handed out in order; `worker` in [0, threads) lets callers keep
// per-thread state. Exceptions from fn terminate the program.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace somlabel {

template <typename Fn>
void parallel_for(std::size_t n, unsigned threads, Fn fn) {
  threads =
      std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(std::max<std::size_t>(n, 1))));
  std::atomic<std::size_t> next{0};
  auto work = [&](unsigned worker) {
    for (std::size_t i; (i = next.fetch_add(1)) < n;) fn(i, worker);
  };
  if (threads == 1) return work(0);
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work, t);
  for (auto& t : pool) t.join();
}

[[nodiscard]] inline unsigned default_threads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace somlabel
