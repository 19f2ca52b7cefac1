// The search box of index.html: finds documents, phrases and the units that
// carry the phrases, as the user types. Works from file:// without a network:
// the data lies in search/d<N>.js (documents) and search/p<N>.js (phrases),
// each a slice of entries sorted by key, loaded by a <script> tag when a query
// reaches its slice. The page itself holds only the first key of each slice.
//
// Entries: a document is [name, key, map, x, y(, link)], a phrase
// [text, key, page, number, units, map, x, y, map, x, y, ...] with its best
// units. `key` is the entry's search key, or the place in the name or text
// where the key starts when it is that part lower-cased (ASCII only).
"use strict";
(function () {
  var LIMIT = 50;
  var data = JSON.parse(document.getElementById("search-data").textContent);
  var input = document.getElementById("search");
  var status = document.getElementById("search-status");
  var results = document.getElementById("search-results");
  var slices = {d: [], p: []};
  var waiting = {};
  var generation = 0;

  window.somlabelShard = function (kind, number, entries) {
    var keys = entries.map(keyOf);
    slices[kind][number] = {entries: entries, keys: keys};
    var callbacks = waiting[kind + number] || [];
    delete waiting[kind + number];
    callbacks.forEach(function (callback) { callback(); });
  };

  function keyOf(entry) {
    var key = entry[1];
    if (typeof key === "string") return key;
    return entry[0].slice(key).replace(/[A-Z]+/g, function (s) { return s.toLowerCase(); });
  }

  // As the keys were made: each character lower-cased, blanks as one space.
  function normalize(text) {
    var out = "";
    var blank = false;
    for (var c of text) {
      if (c === " " || c === "\t" || c === "\n" || c === "\r") {
        blank = out.length > 0;
        continue;
      }
      if (blank) out += " ";
      blank = false;
      var lower = c.toLowerCase();
      out += Array.from(lower).length === 1 ? lower : c;
    }
    return out;
  }

  // Code point order, the order of the keys: UTF-16 puts the characters
  // beyond U+FFFF (surrogates) before U+E000..U+FFFF.
  function compare(a, b) {
    var n = Math.min(a.length, b.length);
    for (var i = 0; i < n; i++) {
      var x = a.charCodeAt(i);
      var y = b.charCodeAt(i);
      if (x === y) continue;
      var xs = x >= 0xd800 && x <= 0xdfff;
      var ys = y >= 0xd800 && y <= 0xdfff;
      if (xs !== ys) return xs ? 1 : -1;
      return x - y;
    }
    return a.length - b.length;
  }

  // The first index of `keys` whose key is not below `query`.
  function lowerBound(keys, query) {
    var low = 0;
    var high = keys.length;
    while (low < high) {
      var middle = (low + high) >> 1;
      if (compare(keys[middle], query) < 0) low = middle + 1;
      else high = middle;
    }
    return low;
  }

  function load(kind, number, callback) {
    if (slices[kind][number]) return callback();
    var name = kind + number;
    if (waiting[name]) return waiting[name].push(callback);
    waiting[name] = [callback];
    var script = document.createElement("script");
    script.src = "search/" + name + ".js";
    script.onerror = function () {
      delete waiting[name];
      status.textContent = "The search data " + script.src + " is missing; run labelsite again.";
    };
    document.head.appendChild(script);
  }

  // What an entry stands for: an entry per word of a name or phrase may match.
  function identity(kind, e) {
    return kind === "p" ? String(e[3]) : e[0] + "\u0000" + e[2] + "," + e[3] + "," + e[4];
  }

  // Calls done(entries, more) with up to LIMIT entries whose key starts
  // with `query`, in key order, each document or phrase once; `more` when
  // there are further ones.
  function find(kind, query, done) {
    var firsts = data.slices[kind];
    var slice = Math.max(lowerBound(firsts, query) - 1, 0);
    var found = [];
    var seen = Object.create(null);
    function scan() {
      if (slice >= firsts.length) return done(found, false);
      load(kind, slice, function () {
        var s = slices[kind][slice];
        for (var i = lowerBound(s.keys, query); i < s.keys.length; i++) {
          if (!s.keys[i].startsWith(query)) return done(found, false);
          var id = identity(kind, s.entries[i]);
          if (seen[id]) continue;
          if (found.length === LIMIT) return done(found, true);
          seen[id] = true;
          found.push(s.entries[i]);
        }
        slice++;
        scan();
      });
    }
    scan();
  }

  function element(tag, text, className) {
    var node = document.createElement(tag);
    if (text !== undefined) node.textContent = text;
    if (className) node.className = className;
    return node;
  }

  function link(text, href) {
    var a = element("a", text);
    a.href = href;
    return a;
  }

  // As the map pages write document links: UTF-8 bytes, all but A-Z a-z
  // 0-9 - . _ ~ / as %XX.
  function linkPart(text) {
    return Array.from(new TextEncoder().encode(text), function (b) {
      var c = String.fromCharCode(b);
      if (/[A-Za-z0-9\-._~\/]/.test(c)) return c;
      return "%" + (b < 16 ? "0" : "") + b.toString(16).toUpperCase();
    }).join("");
  }

  function unitText(map, x, y) {
    return data.maps[map][0] + " (" + x + ", " + y + ")";
  }

  function phraseHref(page, number) {
    return (page === 1 ? "phrases.html" : "phrases-" + page + ".html") + "#p" + number;
  }

  function section(title, count, more) {
    var part = element("section");
    part.appendChild(element("h3", title + " (" + count + (more ? "+" : "") + ")"));
    var list = element("ul");
    part.appendChild(list);
    results.appendChild(part);
    return list;
  }

  function showDocuments(entries, more) {
    if (entries.length === 0) return;
    var list = section("Documents", entries.length, more);
    entries.forEach(function (e) {
      var item = element("li");
      if (data.files === null) item.appendChild(element("span", e[0]));
      else item.appendChild(link(e[0], data.files + (e.length > 5 ? e[5] : linkPart(e[0]))));
      item.appendChild(document.createTextNode(" on "));
      item.appendChild(link(unitText(e[2], e[3], e[4]), data.maps[e[2]][1]));
      list.appendChild(item);
    });
  }

  function showPhrases(entries, more) {
    if (entries.length === 0) return;
    var list = section("Phrases", entries.length, more);
    entries.forEach(function (e) {
      var item = element("li");
      item.appendChild(link(e[0], phraseHref(e[2], e[3])));
      item.appendChild(element("span", " on " + e[4] + (e[4] === 1 ? " unit" : " units"), "meta"));
      list.appendChild(item);
    });
  }

  // The units that carry the phrases found, best place first, each once.
  function showUnits(entries) {
    var seen = Object.create(null);
    var units = [];
    entries.forEach(function (e) {
      for (var i = 5; i + 2 < e.length && units.length < LIMIT; i += 3) {
        var id = e[i] + "," + e[i + 1] + "," + e[i + 2];
        if (seen[id]) continue;
        seen[id] = true;
        units.push([e[i], e[i + 1], e[i + 2], e[0]]);
      }
    });
    if (units.length === 0) return;
    var list = section("Units", units.length, false);
    units.forEach(function (u) {
      var item = element("li");
      item.appendChild(link(unitText(u[0], u[1], u[2]), data.maps[u[0]][1]));
      item.appendChild(element("span", " " + u[3], "meta"));
      list.appendChild(item);
    });
  }

  function run() {
    var query = normalize(input.value);
    var mine = ++generation;
    if (query === "") {
      results.textContent = "";
      status.textContent = ready;
      return;
    }
    status.textContent = "Searching\u2026";
    var pending = 2;
    var documents, phrases;
    function show() {
      if (mine !== generation || --pending > 0) return;
      results.textContent = "";
      showDocuments(documents[0], documents[1]);
      showPhrases(phrases[0], phrases[1]);
      showUnits(phrases[0]);
      status.textContent = results.childNodes.length === 0 ? "Nothing found." : "";
    }
    find("d", query, function (found, more) { documents = [found, more]; show(); });
    find("p", query, function (found, more) { phrases = [found, more]; show(); });
  }

  var ready = "Search " + data.documents + " documents and " + data.phrases +
      " phrases by the start of a word.";
  input.addEventListener("input", run);
  input.addEventListener("keydown", function (event) {
    if (event.key !== "Enter") return;
    var first = results.querySelector("a");
    if (first) window.location.href = first.href;
  });
  status.textContent = ready;
  input.disabled = false;
  if (input.value !== "") run();
  document.documentElement.setAttribute("data-search", "ready");
})();
