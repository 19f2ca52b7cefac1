#include "keyphrases/cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/documents.h"
#include "common/exit_codes.h"
#include "common/io.h"
#include "common/messages.h"
#include "common/numbers.h"
#include "common/shard.h"
#include "keyphrases/batch.h"
#include "keyphrases/model.h"
#include "keyphrases/parallel.h"
#include "keyphrases/trainer.h"

namespace somlabel::keyphrases {
namespace {

using somlabel::kExitFailure;
using somlabel::kExitSuccess;
using somlabel::kExitUsage;
using somlabel::Result;

constexpr const char* kExtractUsage =
    "usage: keyphrases [extract] -l DIR -m MODEL -n N [-a] [--language LANG] [--jobs J]\n";
constexpr const char* kExtractHelp =
    "For every X.txt in DIR write X.key beside it: the best N keyphrases, best first,\n"
    "one a line. With -a each line is phrase<TAB>stemmed phrase<TAB>score (score in\n"
    "(0, 1], higher is better). Existing key files are overwritten.\n"
    "  -l DIR           directory of documents X.txt\n"
    "  -m MODEL         model file made by 'keyphrases train' (required)\n"
    "  -n N             phrases per document (at least 1)\n"
    "  -a               write stemmed form and score too\n"
    "  --language LANG  english (default: the model's), german, french, spanish\n"
    "  --jobs J         worker threads (default: all cores); output does not depend on it\n";
constexpr const char* kTrainUsage =
    "usage: keyphrases train -l DIR -m MODEL [--ranker prior|full] [--language LANG] [--jobs J]\n";
constexpr const char* kTrainHelp =
    "Build the model that 'keyphrases docs' and extract need from the documents in\n"
    "DIR and its folders (the rule of docs and somtrain; binary files and files\n"
    "without words are passed over): document frequencies of\n"
    "candidate phrases and, where gold keyphrase files (one a line) stand beside the\n"
    "texts, a ranker learnt from them. The gold file of X.txt is X.key, that of any\n"
    "other NAME is NAME.key. Without gold files the model is unsupervised.\n"
    "  -l DIR           training documents\n"
    "  -m MODEL         model file to write (replaced only when complete)\n"
    "  --ranker KIND    with gold files: 'prior' (default) learns how far to trust\n"
    "                   phrases that were gold keyphrases in training, which carries\n"
    "                   over to other kinds of text; 'full' learns from every feature,\n"
    "                   best when the texts to label resemble the training texts\n"
    "  --language LANG  english (default), german, french, spanish\n"
    "  --jobs J         worker threads (default: all cores)\n";
constexpr const char* kDocsUsage =
    "usage: keyphrases docs --source DIR --keys DIR -m MODEL -n N [--ending .key] [--jobs J]\n"
    "                       [--for-labels] [--incremental] [--shard I/N] [--progress]\n"
    "                       [--language LANG]\n";
constexpr const char* kDocsHelp =
    "For every document NAME in the source directory write KEYS/NAME<ending>,\n"
    "lines phrase<TAB>stemmed phrase<TAB>score, best first. Documents are the regular\n"
    "files of DIR and its folders whose paths below it hold no blank and no part\n"
    "starting with '.', the key folder left out; NAME is that path, and its key file\n"
    "goes into the same folder below KEYS. Binary files and files without words are\n"
    "passed over with a warning; of a document only the first 4 MiB are read.\n"
    "  --source DIR     documents (any file name)\n"
    "  --keys DIR       where key files go (created if missing)\n"
    "  -m MODEL         model file made by 'keyphrases train' (required)\n"
    "  -n N             phrases per document (at least 1)\n"
    "  --ending SUFFIX  key file name ending (default .key)\n"
    "  --for-labels     key files for a labeller that sums them over groups of\n"
    "                   documents (labelcalc's mode 1; somlabel uses it with -n 30):\n"
    "                   only phrases that another document of the model's collection\n"
    "                   has too and, of a collection of 20 or more, at most 15% of\n"
    "                   its documents; of a phrase and a longer one holding it, the\n"
    "                   longer one where at least half the documents with the part\n"
    "                   have it, else the part; score sqrt(idf) x (0.5 to 1 by its\n"
    "                   score in the document), comparable between documents, so a\n"
    "                   sum over a unit says how many of its documents are about the\n"
    "                   phrase; under 5 such phrases, the document's own best fill\n"
    "                   up with a token score (0.01 x 0.5 to 1)\n"
    "  --jobs J         worker threads (default: all cores); output does not depend on it\n"
    "  --incremental    skip documents whose key file is newer than the document\n"
    "  --shard I/N      only the I-th of N slices of the documents sorted by name\n"
    "                   (1 <= I <= N): N runs, one per slice, write every key file\n"
    "  --progress       show progress on standard error even when it is no terminal\n"
    "  --language LANG  english (default: the model's), german, french, spanish\n";
constexpr const char* kMainHelp =
    "usage: keyphrases [extract|train|docs] OPTIONS    keyphrases of documents\n"
    "  keyphrases [extract] -l DIR -m MODEL -n N [-a]     key files X.key for X.txt in DIR\n"
    "  keyphrases train -l DIR -m MODEL                   build the MODEL the others need\n"
    "  keyphrases docs --source DIR --keys DIR -m MODEL -n N   key files for a document folder\n"
    "Run 'keyphrases SUBCOMMAND --help' for details. Exit status: 0 success, 1 failure,\n"
    "2 usage error.\n";

int usage_error(const char* usage, const std::string& why) {
  say("%s", why.c_str());
  std::fputs(usage, stderr);
  return kExitUsage;
}

// The options of a subcommand; keyphrases takes no operands.
Result<Reason> parse(int argc, char** argv, int first, std::span<const OptionSpec> specs,
                     CommandLine& args) {
  const std::span<char* const> given(argv + first, static_cast<size_t>(argc - first));
  if (Result<Reason> parsed = parse_command_line(given, specs, args); !parsed) return parsed;
  if (args.operands.empty()) return {};
  return Reason{"unknown argument '" + args.operands.front() + "'"};
}

std::optional<unsigned long> parse_count(const std::string& s) {
  return parse_whole<unsigned long>(s);
}

int fail(const Result<Reason>& result) {
  tell(result);
  return kExitFailure;
}

constexpr OptionSpec kExtractOptions[] = {valued("-l"),         valued("-m"),     valued("-n"),
                                          valued("--language"), valued("--jobs"), flag("-a"),
                                          flag("--help")};
constexpr OptionSpec kTrainOptions[] = {valued("-l"),     valued("-m"),       valued("--language"),
                                        valued("--jobs"), valued("--ranker"), flag("--help")};
constexpr OptionSpec kDocsOptions[] = {
    valued("--source"),    valued("--keys"),   valued("-m"),         valued("-n"),
    valued("--ending"),    valued("--jobs"),   valued("--language"), valued("--shard"),
    flag("--incremental"), flag("--progress"), flag("--for-labels"), flag("--help")};

struct Common {
  text::Language language = text::Language::english;
  bool language_given = false;
  unsigned threads = 1;
};

std::optional<std::string> read_common(const CommandLine& args, unsigned default_jobs, Common* c) {
  if (args.has("--language")) {
    auto lang = text::parse_language(args.value("--language"));
    if (!lang)
      return "unknown language '" + args.value("--language") +
             "' (english, german, french, spanish)";
    c->language = *lang;
    c->language_given = true;
  }
  c->threads = default_jobs;
  if (args.has("--jobs")) {
    auto j = parse_count(args.value("--jobs"));
    if (!j || *j == 0 || *j > 1024) return "--jobs wants a number from 1 to 1024";
    c->threads = static_cast<unsigned>(*j);
  }
  return std::nullopt;
}

// Loads the model and settles the language; prints its own message on failure.
std::optional<Model> open_model(const std::string& path, Common* c) {
  Model model;
  if (Result<Reason> loaded = Model::load(path, model); !loaded) {
    tell(loaded);
    return std::nullopt;
  }
  if (c->language_given && c->language != model.language()) {
    say("%s: model was trained for %s, not %s", path.c_str(),
        std::string(text::language_name(model.language())).c_str(),
        std::string(text::language_name(c->language)).c_str());
    return std::nullopt;
  }
  c->language = model.language();
  return model;
}

int run_extract(int argc, char** argv, int first) {
  CommandLine args;
  if (Result<Reason> parsed = parse(argc, argv, first, kExtractOptions, args); !parsed)
    return usage_error(kExtractUsage, parsed.message());
  if (args.has("--help")) return std::printf("%s%s", kExtractUsage, kExtractHelp), kExitSuccess;
  if (!args.has("-l") || !args.has("-m") || !args.has("-n"))
    return usage_error(kExtractUsage, "-l, -m and -n are required");
  auto n = parse_count(args.value("-n"));
  if (!n || *n < 1) return usage_error(kExtractUsage, "-n wants a whole number of at least 1");
  Common c;
  // labelcalc starts it once over many unit texts, with these options alone.
  if (auto err = read_common(args, default_threads(), &c)) return usage_error(kExtractUsage, *err);
  std::string dir = args.value("-l");
  std::vector<std::string> names;
  if (Result<Reason> st = somlabel::list_files(dir, ".txt", names); !st.ok()) return fail(st);
  auto model = open_model(args.value("-m"), &c);
  if (!model) return kExitFailure;
  std::vector<KeyJob> jobs;
  for (const auto& name : names) {
    std::string base = somlabel::join_path(dir, name.substr(0, name.size() - 4));
    jobs.push_back({base + ".txt", base + ".key"});
  }
  BatchOptions options{*n, args.has("-a"), c.threads, false, false, c.language, false};
  BatchReport report;
  Result<Reason> st = run_batch(jobs, *model, options, &report);
  return st.ok() ? kExitSuccess : fail(st);
}

int run_train(int argc, char** argv, int first) {
  CommandLine args;
  if (Result<Reason> parsed = parse(argc, argv, first, kTrainOptions, args); !parsed)
    return usage_error(kTrainUsage, parsed.message());
  if (args.has("--help")) return std::printf("%s%s", kTrainUsage, kTrainHelp), kExitSuccess;
  if (!args.has("-l") || !args.has("-m")) return usage_error(kTrainUsage, "-l and -m are required");
  Common c;
  if (auto err = read_common(args, default_threads(), &c)) return usage_error(kTrainUsage, *err);
  std::string ranker = args.value("--ranker", "prior");
  if (ranker != "prior" && ranker != "full")
    return usage_error(kTrainUsage, "--ranker wants prior or full");
  TrainOptions options{c.language, c.threads,
                       ranker == "full" ? RankerKind::full : RankerKind::prior};
  ModelData data;
  if (Result<Reason> st = train_model(args.value("-l"), options, &data); !st.ok()) return fail(st);
  Result<Reason> st = save_model(data, args.value("-m"));
  return st.ok() ? kExitSuccess : fail(st);
}

void keep_slice(somlabel::Shard shard, std::vector<std::string>* names) {
  const somlabel::ShardRange slice = somlabel::shard_range(shard, names->size());
  names->erase(names->begin() + static_cast<std::ptrdiff_t>(slice.end), names->end());
  names->erase(names->begin(), names->begin() + static_cast<std::ptrdiff_t>(slice.begin));
}

// Shards running at once may all find the directory missing; the one that
// loses the race to create it goes on.
// `dir` and the folders above it that are missing.
Result<Reason> ensure_directory(const std::string& dir) {
  if (somlabel::is_directory(dir)) return {};
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!ec || somlabel::is_directory(dir)) return {};
  return Reason{"cannot create directory " + dir + ": " + ec.message()};
}

int run_docs(int argc, char** argv, int first) {
  CommandLine args;
  if (Result<Reason> parsed = parse(argc, argv, first, kDocsOptions, args); !parsed)
    return usage_error(kDocsUsage, parsed.message());
  if (args.has("--help")) return std::printf("%s%s", kDocsUsage, kDocsHelp), kExitSuccess;
  if (!args.has("--source") || !args.has("--keys") || !args.has("-m") || !args.has("-n"))
    return usage_error(kDocsUsage, "--source, --keys, -m and -n are required");
  auto n = parse_count(args.value("-n"));
  if (!n || *n < 1) return usage_error(kDocsUsage, "-n wants a whole number of at least 1");
  std::string ending = args.value("--ending", ".key");
  if (ending.find('/') != std::string::npos)
    return usage_error(kDocsUsage, "--ending may not hold '/'");
  somlabel::Shard shard;
  if (args.has("--shard")) {
    auto parsed = somlabel::parse_shard(args.value("--shard"));
    if (!parsed) return usage_error(kDocsUsage, "--shard wants I/N, 1 <= I <= N");
    shard = *parsed;
  }
  Common c;
  if (auto err = read_common(args, default_threads(), &c)) return usage_error(kDocsUsage, *err);
  std::string source = args.value("--source"), keys = args.value("--keys");
  std::vector<std::string> names;
  std::vector<somlabel::PassedOver> passed_over;
  if (Result<Reason> st = somlabel::list_documents(source, names, passed_over, keys); !st.ok())
    return fail(st);
  // Each shard sees the whole folder; the first names what all pass over.
  if (shard.index == 1) {
    for (const auto& file : passed_over)
      say("%s", somlabel::passed_over_message(somlabel::join_path(source, file.name), file.reason)
                    .c_str());
  }
  keep_slice(shard, &names);
  auto model = open_model(args.value("-m"), &c);
  if (!model) return kExitFailure;
  if (Result<Reason> st = ensure_directory(keys); !st.ok()) return fail(st);
  std::vector<KeyJob> jobs;
  std::string made;  // the last subfolder of the key folder made
  for (const auto& name : names) {
    // A document in a subfolder has its key file in the same subfolder.
    const std::string folder = somlabel::join_path(keys, name.substr(0, name.rfind('/') + 1));
    if (name.find('/') != std::string::npos && folder != made) {
      if (Result<Reason> st = ensure_directory(folder); !st.ok()) return fail(st);
      made = folder;
    }
    jobs.push_back({somlabel::join_path(source, name), somlabel::join_path(keys, name + ending)});
  }
  enable_status(args.has("--progress"));
  BatchOptions options{*n,
                       true,
                       c.threads,
                       args.has("--incremental"),
                       status_shown(),
                       c.language,
                       true,
                       args.has("--for-labels")};
  BatchReport report;
  Result<Reason> st = run_batch(jobs, *model, options, &report);
  return st.ok() ? kExitSuccess : fail(st);
}

}  // namespace

int run_cli(int argc, char** argv) {
  if (argc < 2) return usage_error(kExtractUsage, "missing arguments; try --help");
  std::string sub = argv[1];
  if (sub == "--help" || sub == "-h" || sub == "help")
    return std::printf("%s", kMainHelp), kExitSuccess;
  if (sub == "train") return run_train(argc, argv, 2);
  if (sub == "docs") return run_docs(argc, argv, 2);
  if (sub == "extract") return run_extract(argc, argv, 2);
  return run_extract(argc, argv, 1);
}

}  // namespace somlabel::keyphrases
