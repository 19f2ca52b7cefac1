#include "labelsite/front_page.h"

#include <string>
#include <utility>
#include <vector>

#include "labelsite/search_script.h"

namespace somlabel::labelsite {
namespace {

// The map view and the search results beside it (map_view.js draws the view).
constexpr std::string_view kViewStyle =
    ".workspace{display:grid;gap:1em 2em;grid-template-columns:minmax(0,3fr) minmax(16em,2fr);"
    "align-items:start}@media(max-width:60em){.workspace{grid-template-columns:1fr}}"
    "#map-path{margin:.3em 0}#map-title{font-size:120%;margin:.2em 0}"
    ".map-grid{display:grid;gap:0;border:2px solid #444;margin:.5em 0}"
    ".map-grid .row{display:contents}"
    ".cell{position:relative;min-height:4.5em;padding:.3em;border:0 solid #ccc;"
    "border-right-width:1px;border-bottom-width:1px;overflow:hidden;font-size:90%;"
    "display:flex;flex-direction:column}"
    ".cell a.open{display:block;color:#111;text-decoration:none;flex:1}"
    ".cell a.open:focus{outline:3px solid #0645ad;outline-offset:-3px}"
    ".cell .foot{display:flex;flex-wrap:wrap;gap:0 .3em;font-size:85%}"
    ".cell .count{margin-left:auto;color:#333}"
    ".cell.empty{background:repeating-linear-gradient(45deg,#fff,#fff 6px,#eee 6px,#eee 12px);"
    "color:#777}.cell.selected{outline:3px solid #c60;outline-offset:-3px}"
    ".cell.dim{opacity:.45}.cell .hits{margin-left:auto;background:#c60;"
    "color:#fff;border-radius:.6em;padding:0 .4em}.cell .hits+.count{margin-left:0}"
    ".legend-bar{display:inline-block;width:8em;height:.8em;vertical-align:middle;"
    "border:1px solid #999}#unit-panel{border:1px solid #bbb;padding:.5em 1em;margin:.5em 0}"
    "#unit-panel h3{margin:.2em 0}#unit-panel ol,#unit-panel ul{padding-left:1.5em}"
    "button.link{background:none;border:none;color:#0645ad;cursor:pointer;padding:0;"
    "font:inherit;text-decoration:underline}";

// A list of the site's labels with their evidence: "phrase (9 of 12)".
void append_site_labels(PageText& out, const LabelList& list, const KeyPhrases& phrases) {
  const size_t shown = std::min(list.labels.size(), kShownLabels);
  for (size_t i = 0; i < shown; ++i) {
    if (i != 0) out.append(kMiddleDot);
    append_html_text(out, phrases.surface[list.labels[i].phrase]);
    out.append(" <span class=\"meta\">(");
    append_number(out, list.labels[i].with);
    out.append(" of ");
    append_number(out, list.documents);
    out.append(")</span>");
  }
  const uint32_t more = list.more_after(shown) + static_cast<uint32_t>(list.labels.size() - shown);
  if (more > 0) {
    out.append(kMiddleDot);
    out.append("and ");
    append_number(out, more);
    out.append(" more");
  }
}

void append_map_item(PageText& out, const Site& site, const SiteText& text, int map_id) {
  const SiteMap& map = site.index().maps()[static_cast<size_t>(map_id)];
  out.append("<li>");
  const SubMapLink& expands = site.tree().expands[static_cast<size_t>(map_id)];
  if (expands.x >= 0) {
    out.append("<span class=\"meta\">unit");
    append_coordinates(out, expands.x, expands.y);
    out.append(":</span> ");
  }
  site.append_map_link(out, map_id);
  out.append(" <span class=\"meta\">layer ");
  append_number(out, map.layer);
  out.append(kMiddleDot);
  append_number(out, map.units);
  out.append(map.units == 1 ? " unit" : " units");
  out.append(kMiddleDot);
  append_number(out, map.documents);
  out.append(map.documents == 1 ? " document" : " documents");
  out.append("</span>");
  const LabelList* labels =
      text.labels.maps.empty() ? nullptr : &text.labels.maps[static_cast<size_t>(map_id)];
  if (labels != nullptr && !labels->labels.empty()) {
    out.append("<br><span class=\"phrases\">");
    append_site_labels(out, *labels, text.phrases);
    out.append("</span>");
    return;
  }
  if (map.best_phrases.empty()) return;
  out.append("<br><span class=\"phrases\">");
  for (size_t i = 0; i < map.best_phrases.size(); ++i) {
    if (i != 0) out.append(kMiddleDot);
    append_html_text(out, map.best_phrases[i]);
  }
  out.append("</span>");
}

// The forest of maps as nested lists, without recursion: a hierarchy may
// be deep. Its first `levels` levels only.
void append_tree(SiteFile& file, const Site& site, const SiteText& text, size_t levels) {
  const MapTree& tree = site.tree();
  PageText& out = file.text();
  out.append("<ul class=\"tree\">\n");
  std::vector<std::pair<int, size_t>> stack;  // map, its next child
  for (const int root : tree.roots) {
    append_map_item(out, site, text, root);
    stack.push_back({root, 0});
    while (!stack.empty()) {
      auto& [map, next] = stack.back();
      const std::vector<int>& children =
          stack.size() < levels ? tree.children[static_cast<size_t>(map)] : std::vector<int>{};
      if (next < children.size()) {
        if (next == 0) out.append("\n<ul>\n");
        const int child = children[next++];
        append_map_item(out, site, text, child);
        stack.push_back({child, 0});
        file.written();
        continue;
      }
      out.append(children.empty() ? "</li>\n" : "</ul></li>\n");
      stack.pop_back();
    }
  }
  out.append("</ul>\n");
}

// Names the sections a map page has under the option file's settings.
void append_legend(PageText& out, const Settings& settings) {
  out.append(
      "<h2>Reading a map page</h2>\n<p>A map page is a table with one cell per unit of the "
      "map; similar documents lie on the same unit or on neighbouring ones. A cell shows:</p>\n"
      "<dl class=\"legend\">\n");
  if (settings.cadrelI_output != 0) {
    out.append(
        "<dt>LABELs by Cadrel I</dt><dd>the labels the map itself gives the unit (from the "
        "map trainer).</dd>\n");
  }
  out.append(
      "<dt>LABELS by Cadrel II</dt><dd>the unit's keyphrases: those of its documents merged, "
      "shorter phrases folded into the longer ones that hold them; on a unit with a sub-map, "
      "the sub-map's best phrases.</dd>\n"
      "<dt>Mode 0 LABELS</dt><dd>keyphrases taken from the unit's documents read as one "
      "text.</dd>\n"
      "<dt>the number after a phrase</dt><dd>its score: greater is better; on Cadrel II, the "
      "scores of the phrase in the unit's documents added up.</dd>\n"
      "<dt>the shading</dt><dd>from black for the best phrase of a list to light grey for its "
      "last.</dd>\n"
      "<dt>the links at the bottom</dt><dd>the documents on the unit");
  if (settings.keylinks_output != 0) {
    out.append(", and below the line their key files, each with its document's keyphrases");
  }
  out.append(
      ".</dd>\n<dt>down, One Level Up</dt><dd>to the sub-map that spreads out a crowded unit, "
      "and back to the map above.</dd>\n"
      "<dt>.</dt><dd>a unit without documents.</dd>\n</dl>\n");
}

void append_js_strings(PageText& out, const std::vector<std::string>& texts) {
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i != 0) out.append(",");
    append_js_string(out, texts[i]);
  }
}

void append_text_data(PageText& out, const SiteText& text) {
  if (!text.searchable()) {
    out.append("null");
    return;
  }
  out.append("{\"documents\":");
  append_number(out, static_cast<long long>(text.order.documents.size()));
  out.append(",\"terms\":");
  append_number(out, static_cast<long long>(text.index.stems.size()));
  out.append(",\"perSlice\":");
  append_number(out, static_cast<long long>(kDocumentsPerSlice));
  out.append(",\n\"t\":[");
  for (size_t i = 0; i < text.files.term_firsts.size(); ++i) {
    if (i != 0) out.append(",");
    append_number(out, text.files.term_firsts[i]);
  }
  out.append("]}");
}

// The JSON the scripts start from, then the scripts themselves.
void append_search_data(PageText& out, const Site& site, const DocumentIndex& documents,
                        const PhraseIndex& phrases, const SiteText& text,
                        const std::vector<std::string>& label_firsts) {
  const Settings& settings = site.settings();
  out.append("<script type=\"application/json\" id=\"search-data\">{\"documents\":");
  append_number(out, static_cast<long long>(documents.size()));
  out.append(",\"phrases\":");
  append_number(out, static_cast<long long>(phrases.size()));
  out.append(",\"files\":");
  if (settings.filelinks_output != 0) {
    append_js_string(out, settings.sourcelinkpath);
  } else {
    out.append("null");
  }
  out.append(",\"keys\":");
  if (settings.keylinks_output != 0) {
    out.append("[");
    append_js_string(out, settings.keylinkpath);
    out.append(",");
    append_js_string(out, settings.keyfileending);
    out.append("]");
  } else {
    out.append("null");
  }
  out.append(",\"top\":");
  append_number(out, site.tree().roots.empty() ? -1 : site.tree().roots.back());
  out.append(",\n\"maps\":[");
  const std::vector<SiteMap>& maps = site.index().maps();
  for (size_t m = 0; m < maps.size(); ++m) {
    out.append(m == 0 ? "[" : ",\n[");
    append_js_string(out, maps[m].title);
    out.append(",");
    append_js_string(out, site.map_href(static_cast<int>(m)));
    out.append("]");
  }
  out.append("],\n\"slices\":{\"d\":[");
  append_js_strings(out, documents.slice_firsts());
  out.append("],\n\"p\":[");
  append_js_strings(out, phrases.slice_firsts());
  out.append("],\n\"l\":[");
  append_js_strings(out, label_firsts);
  out.append("],\n\"w\":[");
  append_js_strings(out, text.files.word_firsts);
  out.append("]},\n\"text\":");
  append_text_data(out, text);
  out.append("}</script>\n<script>");
  out.append(kSearchScript);
  out.append(kMapViewScript);
  out.append("</script>\n");
}

// The maps of the first `levels` levels of the tree.
size_t maps_in_levels(const MapTree& tree, size_t levels) {
  size_t maps = 0;
  std::vector<std::pair<int, size_t>> stack;  // map, its level from 1
  for (const int root : tree.roots) stack.push_back({root, 1});
  while (!stack.empty()) {
    const auto [map, level] = stack.back();
    stack.pop_back();
    if (level > levels) continue;
    ++maps;
    for (const int child : tree.children[static_cast<size_t>(map)])
      stack.push_back({child, level + 1});
  }
  return maps;
}

}  // namespace

size_t tree_levels_shown(const MapTree& tree, size_t most) {
  size_t levels = 1;
  size_t before = 0;
  for (;;) {
    const size_t maps = maps_in_levels(tree, levels + 1);
    if (maps > most || maps == before) return levels;
    before = maps;
    ++levels;
  }
}

bool write_front_page(Site& site, const DocumentIndex& documents, const PhraseIndex& phrases,
                      const SiteText& text, const std::vector<std::string>& label_firsts) {
  SiteFile file;
  if (!site.create(file, "index.html")) return false;
  const SiteIndex& index = site.index();
  const MapTree& tree = site.tree();
  const std::string title =
      tree.roots.empty() ? "Maps" : index.maps()[static_cast<size_t>(tree.roots.back())].title;
  PageText& out = file.text();
  site.begin_page(out, title, "index.html", kViewStyle);
  out.append("<h1>");
  append_html_text(out, title);
  out.append("</h1>\n<p>");
  const std::pair<size_t, std::string_view> counts[] = {{index.maps().size(), " maps, "},
                                                        {index.units().size(), " units, "},
                                                        {documents.size(), " documents, "},
                                                        {phrases.size(), " label phrases.</p>\n"}};
  for (const auto& [count, what] : counts) {
    append_number(out, static_cast<long long>(count));
    out.append(what);
  }
  out.append(
      "<p><label for=\"search\">Search</label><br>\n<input type=\"search\" id=\"search\" "
      "placeholder=\"words of the documents, a name, a phrase\" autocomplete=\"off\" "
      "spellcheck=\"false\" autofocus disabled></p>\n<p id=\"search-status\" "
      "class=\"meta\">The search needs JavaScript.</p>\n<div class=\"workspace\">\n"
      "<section id=\"map-view\" aria-label=\"The map\"><p class=\"meta\">The map view needs "
      "JavaScript.</p></section>\n<div id=\"search-results\" aria-live=\"polite\"></div>\n"
      "</div>\n<h2>Maps</h2>\n");
  const size_t levels = tree_levels_shown(tree, kTreeMaps);
  append_tree(file, site, text, levels);
  const size_t shown = maps_in_levels(tree, levels);
  if (shown < index.maps().size()) {
    out.append("<p class=\"meta\">The ");
    append_number(out, static_cast<long long>(index.maps().size() - shown));
    out.append(
        " maps below these are reached through the map view above (a unit's sub-map) and the "
        "map pages (&ldquo;down&rdquo;).</p>\n");
  }
  append_legend(out, site.settings());
  append_search_data(out, site, documents, phrases, text, label_firsts);
  Site::end_page(out);
  return file.close();
}

}  // namespace somlabel::labelsite
