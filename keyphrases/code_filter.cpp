#include "keyphrases/code_filter.h"

#include <algorithm>
#include <cstddef>

namespace somlabel::keyphrases {
namespace {

// A parenthesised declaration spans a few lines at most; an unclosed
// parenthesis in prose must not make the rest of the text a code group.
constexpr int kMaxGroupLines = 12;
// A stray "{" at the end of a prose line must not make the rest a code block.
constexpr int kMaxBlockLines = 200;
constexpr long kMaxDeclarationWords = 6;
// A text that is this much code is a source file: its identifiers are its labels.
constexpr double kCodeTextShare = 0.9;

struct Line {
  std::size_t begin, end;  // bytes, without the line break
};

std::string_view trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool is_preprocessor(std::string_view line) {
  return line.size() > 1 && line[0] == '#' && is_letter(line[1]);
}

// Lines first..last have a blank or code line above them (or start the text)
// and a blank line or another statement below (or end it).
bool stands_alone(std::string_view bytes, const std::vector<Line>& lines, std::size_t first,
                  std::size_t last, const std::vector<bool>& code) {
  auto text_of = [&](std::size_t i) {
    return trimmed(bytes.substr(lines[i].begin, lines[i].end - lines[i].begin));
  };
  bool above = first == 0 || text_of(first - 1).empty() || code[lines[first - 1].begin];
  if (last + 1 >= lines.size()) return above;
  std::string_view below = text_of(last + 1);
  return above && (below.empty() || below.back() == ';');
}

// A sentence inside: ". " outside C comments ("typedef /* ... */ fenv_t;" holds none).
bool holds_sentence(std::string_view t) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t.compare(i, 2, "/*") == 0) {
      std::size_t close = t.find("*/", i + 2);
      if (close == std::string_view::npos) return false;
      i = close + 1;
    } else if (t.compare(i, 2, ". ") == 0) {
      return true;
    }
  }
  return false;
}

// A group of lines is code when it ends like a C statement and reads like
// one: code punctuation and no sentence inside, or a short line standing
// alone ("extern int optind;" as much as "extern char *optarg;").
bool is_statement(std::string_view group, bool alone) {
  std::string_view t = trimmed(group);
  if (t.empty()) return false;
  char last = t.back();
  if (last != ';' && last != '{' && last != '}') return false;
  if (holds_sentence(t)) return false;
  if (t.find_first_of("(){}*=[]") != std::string_view::npos) return true;
  return alone && last == ';' && t.find('\n') == std::string_view::npos &&
         std::count(t.begin(), t.end(), ' ') < kMaxDeclarationWords;
}

int paren_balance(std::string_view line) {
  int depth = 0;
  for (char c : line) depth += c == '(' ? 1 : c == ')' ? -1 : 0;
  return depth;
}

std::vector<Line> split_lines(std::string_view bytes) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  while (begin <= bytes.size()) {
    std::size_t end = bytes.find('\n', begin);
    if (end == std::string_view::npos) end = bytes.size();
    lines.push_back({begin, end});
    begin = end + 1;
  }
  return lines;
}

int brace_balance(std::string_view line) {
  int depth = 0;
  for (char c : line) depth += c == '{' ? 1 : c == '}' ? -1 : 0;
  return depth;
}

// The lines right above a lone "{": the function's name and parameters, and a
// return type written on a line of its own ("int" above "main(void)").
void mark_header(std::string_view bytes, const std::vector<Line>& lines, std::size_t brace,
                 std::vector<bool>& code) {
  for (std::size_t k = 1; k <= 2 && k <= brace; ++k) {
    const Line& l = lines[brace - k];
    std::string_view line = trimmed(bytes.substr(l.begin, l.end - l.begin));
    if (line.empty() || line.back() == '.' || (k == 2 && line.find(' ') != std::string_view::npos))
      return;
    for (std::size_t b = l.begin; b < l.end; ++b) code[b] = true;
  }
}

// The body of a function or structure in an example program: every line from
// a code line that opens a brace (or a lone "{", with the header above it) to
// the line that closes it.
void mark_blocks(std::string_view bytes, const std::vector<Line>& lines, std::vector<bool>& code) {
  int depth = 0, block_lines = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    std::string_view line = trimmed(bytes.substr(l.begin, l.end - l.begin));
    bool opens = line == "{" || (!line.empty() && line.back() == '{' && code[l.begin]);
    if (depth > 0 || opens) {
      for (std::size_t b = l.begin; b < l.end; ++b) code[b] = true;
      if (line == "{" && depth == 0) mark_header(bytes, lines, i, code);
      depth = std::max(0, depth + brace_balance(line));
      if (depth > 0 && ++block_lines > kMaxBlockLines) depth = 0;
      if (depth == 0) block_lines = 0;
    }
  }
}

// code[b] for every byte b of the text: it lies on a code line.
std::vector<bool> code_bytes(std::string_view bytes) {
  std::vector<bool> code(bytes.size(), false);
  auto mark = [&](std::size_t from, std::size_t to) {
    for (std::size_t b = from; b < to; ++b) code[b] = true;
  };
  std::vector<Line> lines = split_lines(bytes);
  std::size_t first = 0;  // first line of the open group
  int depth = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = bytes.substr(lines[i].begin, lines[i].end - lines[i].begin);
    if (trimmed(line).empty()) {
      depth = 0;
      first = i + 1;
      continue;
    }
    if (is_preprocessor(trimmed(line))) mark(lines[i].begin, lines[i].end);
    depth += paren_balance(line);
    if (depth > 0 && i + 1 - first < kMaxGroupLines) continue;
    std::size_t begin = lines[first].begin, end = lines[i].end;
    bool alone = stands_alone(bytes, lines, first, i, code);
    if (depth <= 0 && is_statement(bytes.substr(begin, end - begin), alone)) mark(begin, end);
    depth = 0;
    first = i + 1;
  }
  mark_blocks(bytes, lines, code);
  return code;
}

char byte_at(std::string_view bytes, std::size_t i) { return i < bytes.size() ? bytes[i] : '\0'; }

bool ends_with(std::string_view s, std::string_view end) {
  return s.size() > end.size() && s.substr(s.size() - end.size()) == end;
}

// What the bytes around a word say, wherever it stands.
bool looks_like_code(std::string_view bytes, const text::Token& t) {
  std::size_t end = t.offset + t.text.size();
  char before = t.offset > 0 ? bytes[t.offset - 1] : '\0';
  char before2 = t.offset > 1 ? bytes[t.offset - 2] : '\0';
  char after = byte_at(bytes, end);
  if (before == '_' || after == '_' || after == '(' || before == '#') return true;
  // The section of a name called with "(": "intN_t(3type)", "printf(3p)".
  if (before == '(' && (is_letter(before2) || (before2 >= '0' && before2 <= '9')) &&
      t.text[0] >= '0' && t.text[0] <= '9')
    return true;
  if (before == '-' && (before2 == '\0' || before2 == ' ' || before2 == '(' || before2 == '-' ||
                        before2 == '\n' || before2 == '\t'))
    return true;                                     // -lm, --help
  if (before == '>' && before2 == '-') return true;  // p->field
  if (before == ':' && before2 == ':') return true;  // ns::name
  return ends_with(t.text, ".h") || ends_with(t.text, ".c");
}

}  // namespace

std::vector<bool> code_tokens(std::string_view bytes, const std::vector<text::Token>& tokens) {
  std::vector<bool> code(tokens.size(), false);
  std::vector<bool> on_code_line = code_bytes(bytes);
  std::size_t n_code = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    code[i] = on_code_line[tokens[i].offset] || looks_like_code(bytes, tokens[i]);
    n_code += code[i];
  }
  if (double(n_code) > kCodeTextShare * double(tokens.size())) code.assign(tokens.size(), false);
  return code;
}

}  // namespace somlabel::keyphrases
