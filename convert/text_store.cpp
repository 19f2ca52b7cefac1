#include "convert/text_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "common/io.h"
#include "convert/convert.h"

namespace somlabel::convert {
namespace {

namespace fs = std::filesystem;

// What the store list keeps of a text: what it was read as and whether only
// the document's start was read.
struct TextRecord {
  std::string from;
  bool cut = false;
};

using StoreList = std::map<std::string, TextRecord>;

// Lines "NAME<TAB>FROM<TAB>CUT"; a damaged line is passed over (its text is
// then made again).
StoreList read_list(const std::string& path) {
  StoreList list;
  std::string text;
  if (!read_file(path, text).ok()) return list;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(std::min(line.size() + 1, rest.size()));
    const size_t tab = line.find('\t'), second = line.find('\t', tab + 1);
    if (second == std::string_view::npos) continue;
    list[std::string(line.substr(0, tab))] = {std::string(line.substr(tab + 1, second - tab - 1)),
                                              line.substr(second + 1) == "1"};
  }
  return list;
}

std::string list_text(const StoreList& list) {
  std::string text;
  for (const auto& [name, record] : list) {
    text.append(name).append("\t").append(record.from).append(record.cut ? "\t1\n" : "\t0\n");
  }
  return text;
}

long long link_time(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return -1;
  return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}

// The reason for a document that cannot be read, from read_file's message.
std::string unreadable(const std::string& message) {
  const size_t colon = message.rfind(": ");
  return "unreadable (" + (colon == std::string::npos ? message : message.substr(colon + 2)) + ")";
}

// Clears the way for a text at `path`: a folder of that name (a document
// that became a folder) and the old text go.
Result<Reason> clear(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(path, ec))) fs::remove_all(path, ec);
  fs::remove(path, ec);
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) return Reason{"cannot create directory " + path + ": " + ec.message()};
  return {};
}

// Writes the text of one document: a link to it, or its converted text.
Result<Reason> store_text(const std::string& document, const std::string& path, const Converted& text) {
  if (Result<Reason> cleared = clear(path); !cleared) return cleared;
  if (!text.same) return write_file_atomic(path, text.text, "text");
  if (::symlink(document.c_str(), path.c_str()) != 0) {
    return Reason{errno_message("cannot create link", path)};
  }
  return {};
}

// Removes the texts in `store` that are not in `keep`, and folders left empty.
template <typename Names>
size_t remove_others(const std::string& store, const Names& keep) {
  std::vector<std::string> names;
  std::vector<PassedOver> others;
  if (!list_documents(store, names, others).ok()) return 0;
  for (const PassedOver& other : others) names.push_back(other.name);
  size_t removed = 0;
  std::error_code ec;
  for (const std::string& name : names) {
    if (keep.count(name) != 0) continue;
    fs::remove_all(join_path(store, name), ec);
    ++removed;
    // Folders left empty go too, up to the store.
    for (fs::path folder = fs::path(name).parent_path(); !folder.empty();
         folder = folder.parent_path()) {
      if (!fs::remove(join_path(store, folder.string()), ec)) break;
    }
  }
  return removed;
}

}  // namespace

Result<Reason> update_text_store(const std::string& documents, const std::string& store,
                         const std::string& leave_out, unsigned jobs, StoreReport& report,
                         const std::function<void(size_t made, size_t due)>& progress) {
  report = {};
  std::vector<std::string> names;
  if (Result<Reason> listed = list_documents(documents, names, report.passed_over, leave_out); !listed) {
    return listed;
  }
  std::error_code ec;
  fs::create_directories(store, ec);
  if (ec) return Reason{"cannot create directory " + store + ": " + ec.message()};
  const std::string list_path = join_path(store, kStoreList);
  const StoreList old_list = read_list(list_path);
  // The texts of files that are no documents now go first: a document may
  // have become a folder, or the other way round.
  report.removed = remove_others(store, std::set<std::string>(names.begin(), names.end()));
  // Which texts are due: a document newer than its text, or without one.
  std::vector<size_t> due;
  for (size_t i = 0; i < names.size(); ++i) {
    const long long text = link_time(join_path(store, names[i]));
    if (text < 0 || old_list.count(names[i]) == 0 ||
        modification_time(join_path(documents, names[i])) >= text) {
      due.push_back(i);
    }
  }
  std::vector<Converted> made(due.size());
  std::vector<std::string> failures(due.size());
  std::atomic<size_t> next{0};
  std::mutex told;
  size_t done = 0, hundredths = 0;
  const auto tell = [&] {
    if (!progress) return;
    const std::lock_guard lock(told);
    if ((++done * 100) / due.size() > hundredths || done == due.size()) {
      hundredths = done * 100 / due.size();
      progress(done, due.size());
    }
  };
  const auto work = [&] {
    for (size_t d; (d = next.fetch_add(1)) < due.size();) {
      const std::string& name = names[due[d]];
      const std::string path = join_path(documents, name);
      if (Result<Reason> read = convert_file(path, name, made[d]); !read) {
        made[d].passed_over = unreadable(read.message());
      } else if (made[d].passed_over.empty()) {
        Result<Reason> stored = store_text(path, join_path(store, name), made[d]);
        if (!stored) failures[d] = stored.message();
      }
      made[d].text = std::string();  // written; the memory goes
      made[d].text.shrink_to_fit();
      tell();
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < std::min<size_t>(std::max(jobs, 1u), due.size()); ++t) {
    pool.emplace_back(work);
  }
  work();
  for (std::thread& thread : pool) thread.join();
  for (const std::string& failure : failures) {
    if (!failure.empty()) return Reason{failure};
  }
  StoreList list;
  size_t d = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    const bool was_due = d < due.size() && due[d] == i;
    const Converted* converted = was_due ? &made[d++] : nullptr;
    if (converted != nullptr && !converted->passed_over.empty()) {
      report.passed_over.push_back({names[i], converted->passed_over});
      continue;
    }
    const TextRecord record =
        converted != nullptr ? TextRecord{converted->from, converted->cut} : old_list.at(names[i]);
    list[names[i]] = record;
    report.names.push_back(names[i]);
    if (record.cut) report.cut.push_back(names[i]);
    if (converted != nullptr) {
      report.made.push_back(record.from.empty() ? names[i] : names[i] + ": read as " + record.from);
    }
  }
  std::sort(report.passed_over.begin(), report.passed_over.end(),
            [](const PassedOver& a, const PassedOver& b) { return a.name < b.name; });
  report.removed += remove_others(store, list);
  report.changed = !report.made.empty() || report.removed > 0;
  const std::string text = list_text(list);
  if (text != list_text(old_list) || modification_time(list_path) < 0) {
    if (Result<Reason> written = write_file_atomic(list_path, text, "list"); !written) return written;
  }
  return {};
}

std::string store_summary(const StoreReport& report) {
  size_t binary = 0, empty = 0, blank = 0, other = 0;
  for (const PassedOver& file : report.passed_over) {
    if (file.reason == kBinary) {
      ++binary;
    } else if (file.reason == kNoWords || file.reason == kPdfWithoutText) {
      ++empty;
    } else if (file.reason == kBlankInName) {
      ++blank;
    } else {
      ++other;
    }
  }
  std::string parts;
  const auto part = [&](size_t count, const char* what) {
    if (count == 0) return;
    parts.append(parts.empty() ? "" : ", ").append(std::to_string(count)).append(" ").append(what);
  };
  part(binary, "binary");
  part(empty, "without words");
  part(blank, "with a blank in the name");
  part(other, "unreadable");
  std::string summary;
  if (!report.passed_over.empty()) {
    const size_t files = report.passed_over.size() + report.names.size();
    summary = "passed over " + std::to_string(report.passed_over.size()) + " of " +
              std::to_string(files) + " files (" + parts + ")";
  }
  if (!report.cut.empty()) {
    summary.append(summary.empty() ? "" : "; ").append("cut " + std::to_string(report.cut.size()));
  }
  return summary;
}

}  // namespace somlabel::convert
