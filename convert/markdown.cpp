// The text of a Markdown document, by the CommonMark parser cmark.
#include <cmark.h>

#include <memory>

#include "convert/convert.h"

namespace somlabel::convert {

std::string markdown_text(std::string_view markdown) {
  const std::unique_ptr<cmark_node, void (*)(cmark_node*)> document(
      cmark_parse_document(markdown.data(), markdown.size(), CMARK_OPT_DEFAULT), cmark_node_free);
  if (!document) return {};
  std::string out;
  const auto end_line = [&](int lines) {
    if (out.empty()) return;
    while (lines-- > 0 && !out.ends_with("\n\n")) out += '\n';
  };
  const std::unique_ptr<cmark_iter, void (*)(cmark_iter*)> iter(cmark_iter_new(document.get()),
                                                                cmark_iter_free);
  for (cmark_event_type event; (event = cmark_iter_next(iter.get())) != CMARK_EVENT_DONE;) {
    cmark_node* node = cmark_iter_get_node(iter.get());
    const char* literal = cmark_node_get_literal(node);
    const std::string_view text = literal == nullptr ? "" : literal;
    switch (cmark_node_get_type(node)) {
      case CMARK_NODE_TEXT:
      case CMARK_NODE_CODE: out += text; break;
      case CMARK_NODE_SOFTBREAK: out += ' '; break;
      case CMARK_NODE_LINEBREAK: out += '\n'; break;
      case CMARK_NODE_CODE_BLOCK:
        end_line(2);
        out += text;
        end_line(2);
        break;
      case CMARK_NODE_HTML_BLOCK:
        if (std::string html; html_text(text, html)) {
          end_line(2);
          out += html;
          end_line(2);
        }
        break;
      case CMARK_NODE_PARAGRAPH:
      case CMARK_NODE_HEADING:
        if (event == CMARK_EVENT_EXIT) end_line(2);
        break;
      case CMARK_NODE_ITEM: end_line(1); break;
      default: break;  // inline HTML, emphasis, links: their text comes as their children
    }
  }
  while (out.ends_with("\n\n")) out.pop_back();
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

}  // namespace somlabel::convert
