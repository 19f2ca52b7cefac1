// The page pool: however many threads read ahead, a run must show exactly
// what one map after the other shows (pages, messages and their order), a
// run that stops leaves no trace of the maps after the failing one, and no
// map reads ahead a file that an earlier map is still to write, nor a pipe.
// Runs are driven by walk_process_file as the frame drives them.
#include "labelweb/page_pool.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/frame.h"
#include "labelweb/page_maker.h"
#include "tests/test_util.h"

namespace somlabel::labelweb {
namespace {

namespace fs = std::filesystem;

constexpr size_t kNoLimit = size_t{1} << 30;

// A map of one column of `rows` units with nothing mapped, and its page.
std::string column_map(int rows) {
  std::string text = "$XDIM 1\n$YDIM " + std::to_string(rows) + "\n";
  for (int y = 0; y < rows; ++y) {
    text += "$POS_X 0\n$POS_Y " + std::to_string(y) + "\n$NR_VEC_MAPPED 0\n$NR_SOMS_MAPPED 0\n";
  }
  return text;
}

// No layer is named in the map, so the page names layer -1; a map without a
// parent has no link one level up.
constexpr const char* kPageHead =
    "<HTML><BODY bgcolor=#FFFFFF text=#000000><TITLE>Layer -1 Map</TITLE>\n"
    "<H1>Layer -1 Map</H1><BR>\n<BR><table border=8 cellpadding=4>\n";
constexpr const char* kPageEnd = "</table></BODY></HTML>\n";

std::string column_page(int rows) {
  std::string page = kPageHead;
  for (int y = 0; y < rows; ++y) page += "<tr>\n<td align=left>\n.</td>\n</tr>\n";
  return page + kPageEnd;
}

// A file without a single unit, another page for instance, gives head and end.
const std::string kEmptyPage = std::string(kPageHead) + kPageEnd;

// Maps of many sizes in the real format, one with no unit at all.
std::string labelunit_file(int seed) {
  const int xdim = seed == 7 ? 40 : 1 + seed * 7 % 11;
  const int ydim = seed == 7 ? 40 : 1 + seed * 5 % 13;
  const auto n = [](int value) { return std::to_string(value); };
  std::string text = "$TYPE rect\n$XDIM " + n(xdim) + "\n$YDIM " + n(ydim) + "\n";
  if (seed % 3 == 0) text += "$SOMABOVE output/top" + n(seed) + ".unit\n";
  if (seed == 5) return text;
  for (int y = 0; y < ydim; ++y) {
    for (int x = 0; x < xdim; ++x) {
      const std::string id = n(seed) + "_" + n(x) + "_" + n(y);
      text += "$POS_X " + n(x) + "\n$POS_Y " + n(y) + "\n$NODE_ID 0_" + n(seed % 4) + "_" + id +
              "\n$QUANTERROR_NODE 0.5\n";
      const int docs = (x + y + seed) % 4;
      text += "$NR_VEC_MAPPED " + n(docs) + "\n";
      for (int d = 0; d < docs; ++d) text += "$VEC d" + id + "_" + n(d) + "\n";
      text += "$MODE0_PHRASES 15\n";
      for (int k = 0; k < x % 3; ++k) {
        text += "$M0_LABEL t" + n(k) + "\tt" + n(k) + "\t0." + n(k) + "5\n";
      }
      text += "$NR_SOMS_MAPPED 0\n$MODE1_PHRASES " + n(y % 3) + "\n";
      for (int k = 0; k < y % 3; ++k) {
        text += "p " + n(k) + "\tp " + n(k) + "\t0." + n(9 - k) + "00000\n";
      }
      text += "$NR_LABELS 1\n$LABEL topic & <" + n(x) + ">\n";
    }
  }
  return text;
}

// Ends the test program when a run does not end in time: a hang shows as a
// failure instead of stopping the whole suite.
class Watchdog {
 public:
  Watchdog()
      : thread_([fd = dup(2), ended = ended_.get_future()] {
          if (ended.wait_for(std::chrono::seconds(60)) == std::future_status::timeout) {
            dprintf(fd, "\nthe run did not end within 60 s: the page pool hangs\n");
            std::_Exit(1);
          }
          close(fd);
        }) {}
  ~Watchdog() {
    ended_.set_value();
    thread_.join();
  }

 private:
  std::promise<void> ended_;
  std::thread thread_;
};

// generate_html, one map after the other, instead of a pool.
constexpr unsigned kPlain = static_cast<unsigned>(-1);

struct Shape {
  unsigned workers;  // 0: a pool without threads, every map made at its turn
  size_t held_limit;
};

std::string shape_name(Shape shape) {
  return "workers " + std::to_string(shape.workers) + ", held " + std::to_string(shape.held_limit);
}

const std::vector<Shape> kShapes = {
    {1, 1}, {2, 1}, {4, 1}, {1, kNoLimit}, {2, kNoLimit}, {4, kNoLimit}};

struct Outcome {
  bool ok;
  std::string out;  // the directory left out of every name
  std::string err;
};

void remove_all(std::string& text, const std::string& prefix) {
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
    text.erase(at, prefix.size());
  }
}

// The run of the process file `names` in `dir`, with the pool ending (and
// the threads joined) before the output is collected. `after_turn` is called
// with each map's index once its turn has been taken.
Outcome run(const testutil::TempDir& dir, const std::vector<std::string>& names, Shape shape,
            const std::function<void(size_t)>& after_turn = {}) {
  std::string process;
  for (const std::string& name : names) process += name + "\n";
  FILE* in = testutil::input(process);
  const Settings settings;
  const Watchdog watchdog;
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Outcome outcome;
  {
    std::optional<PagePool> pool;
    size_t index = 0;
    const MapWork work = [&](std::string& name) {
      const bool done = pool ? pool->take_turn(name) : generate_html(name, settings);
      if (after_turn) after_turn(index);
      ++index;
      return done;
    };
    if (shape.workers == kPlain) {
      outcome.ok = walk_process_file(in, dir.str(), work);
    } else {
      pool.emplace(settings, shape.workers, shape.held_limit);
      outcome.ok = walk_process_file(
          in, dir.str(), work, [&](const std::string& name) { pool->add(name); }, shape.workers);
    }
  }
  std::fflush(stdout);
  outcome.out = testing::internal::GetCapturedStdout();
  outcome.err = testing::internal::GetCapturedStderr();
  std::fclose(in);
  remove_all(outcome.out, dir.str());
  remove_all(outcome.err, dir.str());
  return outcome;
}

// Pages are compared whole; a failure names the file and the first difference.
testing::AssertionResult has_page(const fs::path& path, const std::string& expected) {
  if (!fs::exists(path)) return testing::AssertionFailure() << path.filename() << " is missing";
  const std::string page = testutil::read_file(path);
  if (page == expected) return testing::AssertionSuccess();
  const size_t at = static_cast<size_t>(
      std::mismatch(page.begin(), page.end(), expected.begin(), expected.end()).first -
      page.begin());
  const size_t from = at < 40 ? 0 : at - 40;
  return testing::AssertionFailure()
         << path.filename() << " holds " << page.size() << " bytes, " << expected.size()
         << " expected; from byte " << from << " it reads\n"
         << page.substr(from, 80) << "\ninstead of\n"
         << expected.substr(from, 80);
}

std::string progress(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    text += "Processing " + name + " ....and writing " + name + ".html !\n";
  }
  return text;
}

// ---------------------------------------------------------------------------
// A whole run: the same as one map after the other, byte for byte.

TEST(LabelwebPagePool, ManyMapsShowAsOneAfterTheOther) {
  std::vector<std::string> names;
  testutil::TempDir plain;
  for (int seed = 0; seed < 12; ++seed) {
    names.push_back("map" + std::to_string(seed) + ".unit.labelunit");
    testutil::write_file(plain.path() / names.back(), labelunit_file(seed));
  }
  const Outcome expected = run(plain, names, {kPlain, 0});
  ASSERT_TRUE(expected.ok);
  ASSERT_EQ(expected.out, progress(names));
  ASSERT_EQ(expected.err, "");
  ASSERT_GT(fs::file_size(plain.path() / "map7.unit.labelunit.html"), size_t{1} << 17);

  std::vector<Shape> shapes = kShapes;
  shapes.push_back({2, 4096});  // some maps wait mid-read, others do not
  shapes.push_back({0, 1});     // no thread could be started
  for (const Shape shape : shapes) {
    SCOPED_TRACE(shape_name(shape));
    testutil::TempDir dir;
    for (int seed = 0; seed < 12; ++seed) {
      testutil::write_file(dir.path() / names[seed], labelunit_file(seed));
    }
    const Outcome outcome = run(dir, names, shape);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.out, expected.out);
    EXPECT_EQ(outcome.err, expected.err);
    for (const std::string& name : names) {
      EXPECT_TRUE(has_page(dir.path() / (name + ".html"),
                           testutil::read_file(plain.path() / (name + ".html"))));
    }
  }
}

// ---------------------------------------------------------------------------
// A run that stops, and a pool that ends before the turns.

TEST(LabelwebPagePool, ARunStoppingAtAMissingMapLeavesNoLaterPage) {
  for (const Shape shape : kShapes) {
    SCOPED_TRACE(shape_name(shape));
    testutil::TempDir dir;
    testutil::write_file(dir.path() / "m1", column_map(1));
    testutil::write_file(dir.path() / "m2", column_map(3));
    // m3 is missing; the maps after it are read ahead, and held at their
    // turn when the limit is small.
    for (const char* name : {"m4", "m5", "m6"}) {
      testutil::write_file(dir.path() / name, column_map(50));
    }
    testutil::write_file(dir.path() / "m5.html", "an older page\n");

    const Outcome outcome = run(dir, {"m1", "m2", "m3", "m4", "m5", "m6"}, shape);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.out, progress({"m1", "m2"}) + "Processing m3 ....");
    EXPECT_EQ(outcome.err, "Couldn't open labelfile: m3\n");
    EXPECT_TRUE(has_page(dir.path() / "m1.html", column_page(1)));
    EXPECT_TRUE(has_page(dir.path() / "m2.html", column_page(3)));
    EXPECT_FALSE(fs::exists(dir.path() / "m3.html"));
    EXPECT_FALSE(fs::exists(dir.path() / "m4.html"));
    EXPECT_TRUE(has_page(dir.path() / "m5.html", "an older page\n"));
    EXPECT_FALSE(fs::exists(dir.path() / "m6.html"));
  }
}

TEST(LabelwebPagePool, APoolEndingBeforeAnyTurnShowsNothing) {
  for (const Shape shape : kShapes) {
    SCOPED_TRACE(shape_name(shape));
    testutil::TempDir dir;
    for (const char* name : {"m1", "m2", "m3"}) {
      testutil::write_file(dir.path() / name, column_map(20));
    }
    const Watchdog watchdog;
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    {
      const Settings settings;
      PagePool pool(settings, shape.workers, shape.held_limit);
      for (const char* name : {"m1", "m2", "m3"}) pool.add(dir.str() + name);
      // Time for the workers to read the maps and wait at their turns; the
      // outcome must be the same whether they got there or not.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    for (const char* name : {"m1.html", "m2.html", "m3.html"}) {
      EXPECT_FALSE(fs::exists(dir.path() / name));
    }
  }
}

// ---------------------------------------------------------------------------
// A map whose labelunit file is an earlier map's page reads the page as that
// map wrote it, never the older file that was there before the run.

// `a` makes a page much shorter than the older a.html, which holds units.
void write_page_hazard(const testutil::TempDir& dir) {
  testutil::write_file(dir.path() / "a", column_map(30));
  testutil::write_file(dir.path() / "a.html", column_map(3000));
}

TEST(LabelwebPagePool, AMapReadsTheEarlierMapsPageByNameOrLink) {
  for (const Shape shape : kShapes) {
    SCOPED_TRACE(shape_name(shape));
    testutil::TempDir dir;
    write_page_hazard(dir);
    fs::create_symlink(dir.path() / "a.html", dir.path() / "b");
    fs::create_hard_link(dir.path() / "a.html", dir.path() / "c");
    const Outcome outcome = run(dir, {"a", "a.html", "b", "c"}, shape);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.out, progress({"a", "a.html", "b", "c"}));
    EXPECT_TRUE(has_page(dir.path() / "a.html", column_page(30)));
    EXPECT_TRUE(has_page(dir.path() / "a.html.html", kEmptyPage));
    EXPECT_TRUE(has_page(dir.path() / "b.html", kEmptyPage));
    EXPECT_TRUE(has_page(dir.path() / "c.html", kEmptyPage));
  }
}

TEST(LabelwebPagePool, AMapListedTwiceReadsWhatWasThereAtEachTurn) {
  for (const Shape shape : kShapes) {
    SCOPED_TRACE(shape_name(shape));
    testutil::TempDir dir;
    write_page_hazard(dir);
    // The first a.html is the older file, the second the page of a.
    const Outcome outcome = run(dir, {"a.html", "a", "a.html", "a"}, shape);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.out, progress({"a.html", "a", "a.html", "a"}));
    EXPECT_TRUE(has_page(dir.path() / "a.html", column_page(30)));
    EXPECT_TRUE(has_page(dir.path() / "a.html.html", kEmptyPage));
  }
}

// The frame names a.html only once a's turn is near, when the workers may
// be idle with a read entirely ahead; a.html must still be left alone until
// a's page, written at a's turn, is complete. The pause after each turn
// stands for a main thread held up between turns (on a busy machine, say):
// it gives the workers time to read the maps named earlier to their end.
TEST(LabelwebPagePool, AMapNamedAtTheEarlierMapsTurnWaitsForItsPage) {
  for (const unsigned workers : {1U, 2U, 4U}) {
    SCOPED_TRACE("workers " + std::to_string(workers));
    testutil::TempDir dir;
    testutil::write_file(dir.path() / "first", column_map(1));
    testutil::write_file(dir.path() / "a", column_map(20000));
    testutil::write_file(dir.path() / "a.html", column_map(100000));
    // a.html comes `workers` maps after a, as the frame names it at a's turn.
    std::vector<std::string> names = {"first", "a"};
    for (unsigned i = 1; i < workers; ++i) {
      names.push_back("f" + std::to_string(i));
      testutil::write_file(dir.path() / names.back(), column_map(1));
    }
    names.push_back("a.html");
    const Outcome outcome = run(dir, names, {workers, kNoLimit}, [](size_t) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.out, progress(names));
    EXPECT_TRUE(has_page(dir.path() / "a.html", column_page(20000)));
    EXPECT_TRUE(has_page(dir.path() / "a.html.html", kEmptyPage));
  }
}

// ---------------------------------------------------------------------------
// A pipe is read at its map's turn only: its writer starts then.

TEST(LabelwebPagePool, APipeIsNotOpenedAheadOfItsTurn) {
  for (const Shape shape : kShapes) {
    SCOPED_TRACE(shape_name(shape));
    testutil::TempDir dir;
    const std::string pipe = dir.str() + "pipe";
    if (mkfifo(pipe.c_str(), 0600) != 0) GTEST_SKIP() << "no named pipes here";
    testutil::write_file(dir.path() / "first", column_map(2000));
    testutil::write_file(dir.path() / "last", column_map(1));

    std::promise<bool> start;  // true: write, false: the run ended first
    std::thread writer([&pipe, started = start.get_future()]() mutable {
      if (!started.get()) return;
      const int fd = open(pipe.c_str(), O_WRONLY);  // meets the map's reader
      if (fd < 0) return;
      const std::string text = column_map(2);
      EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
      close(fd);
    });
    bool started = false;
    const Outcome outcome = run(dir, {"first", "pipe", "last"}, shape, [&](size_t index) {
      if (index != 0) return;
      // A reader that opened the pipe ahead would let this open succeed.
      const int fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      const int error = errno;
      EXPECT_EQ(fd, -1) << "the pipe was opened ahead of its turn";
      if (fd >= 0) {
        close(fd);
      } else {
        EXPECT_EQ(error, ENXIO);
      }
      start.set_value(true);
      started = true;
    });
    if (!started) start.set_value(false);
    // A writer still waiting for a reader (after a failure) is let go.
    const int release = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (release >= 0) close(release);

    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.out, progress({"first", "pipe", "last"}));
    EXPECT_EQ(outcome.err, "");
    EXPECT_TRUE(has_page(dir.path() / "first.html", column_page(2000)));
    EXPECT_TRUE(has_page(dir.path() / "pipe.html", column_page(2)));
    EXPECT_TRUE(has_page(dir.path() / "last.html", column_page(1)));
  }
}

}  // namespace
}  // namespace somlabel::labelweb
