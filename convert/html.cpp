// The text of an HTML page, by the HTML5 parser gumbo.
#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "convert/convert.h"

namespace somlabel::convert {
namespace {

// Gumbo's allocations for one page, freed together. The parser frees its tree
// node by node, recursively, which overflows the stack on a page nested a
// million deep; with an arena nothing is freed one by one.
class Arena {
 public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena() {
    for (void* block : blocks_) std::free(block);
  }
  static void* allocate(void* arena, size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    static_cast<Arena*>(arena)->blocks_.push_back(block);
    return block;
  }
  static void deallocate(void*, void*) {}

 private:
  std::vector<void*> blocks_;
};

bool dropped(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA: return true;
    default: return false;
  }
}

// Elements that the text of the page sets apart, as a paragraph or a line.
bool block(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BDI:
    case GUMBO_TAG_BDO:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_DATA:
    case GUMBO_TAG_DFN:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_I:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_U:
    case GUMBO_TAG_VAR:
    case GUMBO_TAG_WBR:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_NOBR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INS:
    case GUMBO_TAG_DEL:
    case GUMBO_TAG_UNKNOWN: return false;
    case GUMBO_TAG_BR: return true;
    default: return true;
  }
}

const GumboVector* children_of(const GumboNode* node) {
  if (node->type == GUMBO_NODE_DOCUMENT) return &node->v.document.children;
  if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
    return &node->v.element.children;
  }
  return nullptr;
}

// Appends text, blanks collapsed to one and line ends kept where a block
// ends; `pre` keeps the text's own lines.
class TextOut {
 public:
  void text(std::string_view text, bool pre) {
    for (char c : text) {
      const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\f' || (c == '\n' && !pre);
      if (blank) {
        space_ = !out_.empty();
      } else if (c == '\n') {
        out_ += '\n';  // a line end of preformatted text, kept
        ++breaks_;
        space_ = false;
      } else {
        if (space_ && breaks_ == 0) out_ += ' ';
        space_ = false;
        breaks_ = 0;
        out_ += c;
      }
    }
  }
  // Ends the line, or with `lines` 2 the paragraph, unless it has ended.
  void line(int lines = 1) {
    space_ = false;
    while (!out_.empty() && breaks_ < lines) {
      out_ += '\n';
      ++breaks_;
    }
  }
  // The text, ending in one line end.
  std::string take() {
    while (out_.ends_with("\n\n")) out_.pop_back();
    if (!out_.empty() && out_.back() != '\n') out_ += '\n';
    return std::move(out_);
  }

 private:
  std::string out_;
  bool space_ = false;
  int breaks_ = 0;
};

// The title's text, blanks collapsed.
std::string title_of(const GumboNode* root) {
  std::vector<const GumboNode*> stack = {root};
  while (!stack.empty()) {
    const GumboNode* node = stack.back();
    stack.pop_back();
    if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == GUMBO_TAG_TITLE) {
      TextOut out;
      const GumboVector& children = node->v.element.children;
      for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT) out.text(child->v.text.text, false);
      }
      return out.take();
    }
    if (const GumboVector* children = children_of(node)) {
      for (unsigned i = children->length; i-- > 0;) {
        stack.push_back(static_cast<const GumboNode*>(children->data[i]));
      }
    }
  }
  return {};
}

// Elements that need no end tag: void ones, and those the next of their kind
// (or their parent's end) closes.
bool closes_itself(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "area",    "base",     "br",     "col",   "embed", "hr",    "img",   "input", "link",
      "meta",    "param",    "source", "track", "wbr",   "p",     "li",    "dt",    "dd",
      "option",  "optgroup", "tr",     "td",    "th",    "tbody", "thead", "tfoot", "colgroup",
      "caption", "rb",       "rt",     "rp",    "html",  "head",  "body",  "a",     "!doctype"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// How deep the page's elements nest, counted from its tags: start tags less
// end tags, of elements that need an end tag. A rough count (it reads no
// script apart), enough to tell a page that nests far deeper than any page
// written for reading.
size_t nesting_depth(std::string_view html) {
  size_t depth = 0, deepest = 0;
  for (size_t i = html.find('<'); i != std::string_view::npos; i = html.find('<', i + 1)) {
    if (html.substr(i, 4) == "<!--") {
      i = html.find("-->", i);
      if (i == std::string_view::npos) break;
      continue;
    }
    const bool end = i + 1 < html.size() && html[i + 1] == '/';
    const size_t start = i + 1 + (end ? 1 : 0);
    size_t stop = start;
    while (stop < html.size() && (std::isalnum(static_cast<unsigned char>(html[stop])) ||
                                  html[stop] == '-' || html[stop] == '!')) {
      ++stop;
    }
    if (stop == start) continue;
    std::string name(html.substr(start, stop - start));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (closes_itself(name)) continue;
    const size_t close = html.find('>', stop);
    if (!end && close != std::string_view::npos && close > 0 && html[close - 1] == '/') continue;
    if (end) {
      depth -= depth > 0 ? 1 : 0;
    } else {
      deepest = std::max(deepest, ++depth);
    }
  }
  return deepest;
}

}  // namespace

bool html_text(std::string_view html, std::string& text) {
  // The parser's time grows with the depth of the page times its length.
  if (nesting_depth(html) > kMaxHtmlDepth) return false;
  text = html_text(html);
  return true;
}

std::string html_text(std::string_view html) {
  Arena arena;
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = Arena::allocate;
  options.deallocator = Arena::deallocate;
  options.userdata = &arena;
  options.max_errors = 0;
  const GumboOutput* output = gumbo_parse_with_options(&options, html.data(), html.size());
  std::string title = title_of(output->document);
  TextOut out;
  out.text(title, false);
  out.line(2);
  // Depth first, without recursion: a page may nest a million deep. An entry
  // with `leaving` set ends its element.
  struct Step {
    const GumboNode* node;
    bool leaving;
    bool pre;
  };
  std::vector<Step> stack = {{output->document, false, false}};
  while (!stack.empty()) {
    const Step step = stack.back();
    stack.pop_back();
    const GumboNode* node = step.node;
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_CDATA ||
        node->type == GUMBO_NODE_WHITESPACE) {
      out.text(node->v.text.text, step.pre);
      continue;
    }
    const bool element = node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
    const GumboTag tag = element ? node->v.element.tag : GUMBO_TAG_UNKNOWN;
    const bool paragraph = tag == GUMBO_TAG_P || (tag >= GUMBO_TAG_H1 && tag <= GUMBO_TAG_H6);
    if (element && block(tag)) out.line(paragraph ? 2 : 1);
    if (step.leaving || (element && dropped(tag))) continue;
    const GumboVector* children = children_of(node);
    if (children == nullptr) continue;
    const bool pre = step.pre || tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_LISTING;
    if (element) stack.push_back({node, true, pre});
    for (unsigned i = children->length; i-- > 0;) {
      stack.push_back({static_cast<const GumboNode*>(children->data[i]), false, pre});
    }
  }
  return out.take();
}

}  // namespace somlabel::convert
