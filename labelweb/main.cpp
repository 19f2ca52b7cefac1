// labelweb: writes one HTML page per labelunit file named in the process file.
#include <cstdio>
#include <memory>
#include <string>

#include "common/frame.h"
#include "labelweb/page_maker.h"
#include "labelweb/page_pool.h"

namespace {

// Page text held ahead of its map's turn, shared among the maps read ahead.
constexpr size_t kHeldTotal = size_t{32} << 20;

// Maps read ahead per thread: enough that a thread done with its map
// ahead finds the next one while the map whose turn it is still runs.
constexpr unsigned kLookaheadPerWorker = 4;

bool report(bool done, const std::string& name) {
  if (!done) std::fprintf(stderr, "Error generating html code for %s\n", name.c_str());
  return done;
}

}  // namespace

int main(int argc, char** argv) {
  somlabel::Settings settings;
  std::unique_ptr<somlabel::labelweb::PagePool> pool;
  return somlabel::run_frame(
      argc, argv, somlabel::Program::labelweb, settings, nullptr,
      [&pool](const somlabel::Settings& final_settings) -> somlabel::MapWorker {
        const unsigned workers = somlabel::labelweb::page_workers();
        if (workers < 2) {
          return somlabel::MapWork([&final_settings](std::string& name) {
            return report(somlabel::labelweb::generate_html(name, final_settings), name);
          });
        }
        const size_t lookahead = size_t{workers} * kLookaheadPerWorker;
        pool = std::make_unique<somlabel::labelweb::PagePool>(final_settings, workers,
                                                              kHeldTotal / (lookahead + 1));
        return {[&pool](std::string& name) { return report(pool->take_turn(name), name); },
                [&pool](const std::string& name) { pool->add(name); }, lookahead};
      });
}
