// The search box of index.html, and what the map view shares with it
// (window.somlabel). Works from file:// without a network: the data lies in
// search/<kind><N>.js, each file one call of somlabelShard, loaded by a
// <script> tag when a query needs it; the page itself holds only where each
// file begins.
//
// By name and phrase, as the user types (slices sorted by key):
//   d  a document [name, key, map, x, y(, link)]
//   p  a phrase of the map pages [text, key, page, number, units, map, x, y, ...]
//   l  a label of the site's own [text, key, map, x, y, with, documents, ...]
//      (x and y -1: the label of a whole map)
// `key` is the entry's search key, or the place in the name or text where
// the key starts when it is that part lower-cased (ASCII only).
//
// By content (labelsite/text_search.h has the formats):
//   w  a word as the documents write it [word, 0, term, documents, size]
//   t  the terms in order: the documents that hold each, with BM25 weights
//   i  the documents in the site's order, data.text.perSlice a file
// Every word of a query must occur; the last one, until a blank follows it,
// also as the start of longer words. The documents are ranked by the sum of
// their words' weights.
"use strict";
(function () {
  var LIMIT = 50;
  var TEXT_RESULTS = 20;        // shown at a time
  var TEXT_BEST = 100;          // ranked
  var EXPANSIONS = 8;           // words a last word that is still typed stands for
  var EXPANSION_BYTES = 1 << 20;  // of term data loaded for them, at most
  var DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  var DIGIT = new Int8Array(128).fill(-1);
  for (var d = 0; d < DIGITS.length; d++) DIGIT[DIGITS.charCodeAt(d)] = d;

  var data = JSON.parse(document.getElementById("search-data").textContent);
  var input = document.getElementById("search");
  var status = document.getElementById("search-status");
  var results = document.getElementById("search-results");
  var slices = {};
  var waiting = {};
  var generation = 0;
  var core = window.somlabel = {data: data, views: {}};

  function store(name, value) {
    slices[name] = value;
    var callbacks = waiting[name] || [];
    delete waiting[name];
    callbacks.forEach(function (callback) { callback(); });
  }
  window.somlabelShard = function (kind, number, entries) {
    var keyed = data.slices[kind] !== undefined;
    store(kind + number, {entries: entries, keys: keyed ? entries.map(keyOf) : null});
  };
  window.somlabelMap = function (number, map) {
    core.views[number] = map;
    store("m" + number, map);
  };

  function keyOf(entry) {
    var key = entry[1];
    if (typeof key === "string") return key;
    return entry[0].slice(key).replace(/[A-Z]+/g, function (s) { return s.toLowerCase(); });
  }

  // Loads search/<kind><number>.js, or view/m<number>.js, once; then calls back.
  function load(kind, number, callback) {
    var name = kind + number;
    if (slices[name]) return callback(slices[name]);
    var done = function () { callback(slices[name]); };
    if (waiting[name]) return waiting[name].push(done);
    waiting[name] = [done];
    var script = document.createElement("script");
    script.src = (kind === "m" ? "view/" : "search/") + name + ".js";
    script.onerror = function () {
      delete waiting[name];
      status.textContent = "The data file " + script.src + " is missing; run labelsite again.";
    };
    document.head.appendChild(script);
  }
  core.load = load;

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

  // The first index of the sorted `list` whose value is not below `value`.
  function lowerBound(list, value, order) {
    var low = 0;
    var high = list.length;
    while (low < high) {
      var middle = (low + high) >> 1;
      if ((order ? order(list[middle], value) : list[middle] - value) < 0) low = middle + 1;
      else high = middle;
    }
    return low;
  }
  core.lowerBound = lowerBound;

  // Calls visit(entry) for the entries of `kind` whose key starts with
  // `query`, in key order, until it returns false; then done().
  function scan(kind, query, visit, done) {
    var firsts = data.slices[kind];
    var slice = Math.max(lowerBound(firsts, query, compare) - 1, 0);
    function next() {
      if (slice >= firsts.length) return done();
      load(kind, slice, function (s) {
        for (var i = lowerBound(s.keys, query, compare); i < s.keys.length; i++) {
          if (!s.keys[i].startsWith(query) || visit(s.entries[i]) === false) return done();
        }
        slice++;
        next();
      });
    }
    next();
  }

  // What an entry stands for: an entry per word of a name or phrase may match.
  function identity(kind, e) {
    if (kind === "p") return String(e[3]);
    if (kind === "l") return e[0];
    return e[0] + "\u0000" + e[2] + "," + e[3] + "," + e[4];
  }

  // Calls done(entries, more) with up to LIMIT entries whose key starts
  // with `query`, each document, phrase or label once; `more` when there
  // are further ones.
  function find(kind, query, done) {
    var found = [];
    var seen = Object.create(null);
    var more = false;
    scan(kind, query, function (e) {
      var id = identity(kind, e);
      if (seen[id]) return true;
      if (found.length === LIMIT) {
        more = true;
        return false;
      }
      seen[id] = true;
      found.push(e);
      return true;
    }, function () { done(found, more); });
  }

  // ---- The content search -------------------------------------------------

  // The words of a query, as the tokenizer of the index cuts a text: runs of
  // letters, marks and digits, with ' - . inside between two of them.
  var WORD = /[\p{L}\p{M}\p{N}]+(?:['\-.\u2019\u2010\u2011][\p{L}\p{M}\p{N}]+)*/gu;
  function words(query) {
    return (query.match(WORD) || []).map(function (w) { return w.toLowerCase(); });
  }

  // A list of (gap, weight) pairs: documents ascending and their weights.
  function decodeList(text) {
    var documents = new Int32Array(text.length >> 1);
    var weights = new Uint8Array(text.length >> 1);
    var n = 0;
    var next = 0;
    for (var i = 0; i < text.length;) {
      var value = 0;
      var shift = 1;
      for (;;) {
        var digit = DIGIT[text.charCodeAt(i++)];
        value += (digit & 31) * shift;
        shift *= 32;
        if (digit < 32) break;
      }
      documents[n] = next + value;
      weights[n] = DIGIT[text.charCodeAt(i++)];
      next = documents[n++] + 1;
    }
    return {documents: documents.subarray(0, n), weights: weights.subarray(0, n)};
  }

  // One term: the documents that hold it, by a list or a bitmap.
  function Term(entry) {
    this.size = entry[0];
    this.unit = entry[1] / 63;
    this.bitmap = entry.length > 3 ? entry[2] : null;
    var list = decodeList(this.bitmap ? entry[3] : entry[2]);
    this.documents = list.documents;
    this.weights = list.weights;
    this.rest = this.bitmap ? entry[4] : 0;
    this.cursor = 0;
  }
  Term.prototype.holds = function (document) {
    var digit = DIGIT[this.bitmap.charCodeAt(document / 6 | 0)];
    return digit > 0 && (digit >> (document % 6) & 1) === 1;
  };
  // The weight of `document`, or -1 when it does not hold the term. Asked
  // for documents in ascending order (after reset()): the list is galloped
  // through, so a rare word costs little against a common one.
  Term.prototype.weight = function (document) {
    var list = this.documents;
    var at = this.cursor;
    if (at < list.length && list[at] < document) {
      var low = at;
      for (var step = 1; at < list.length && list[at] < document; step *= 2) {
        low = at;
        at += step;
      }
      var high = Math.min(at, list.length);
      at = low + 1;
      while (at < high) {
        var middle = (at + high) >> 1;
        if (list[middle] < document) at = middle + 1;
        else high = middle;
      }
    }
    this.cursor = at;
    if (at < list.length && list[at] === document) return this.weights[at] * this.unit;
    if (!this.bitmap || document >= this.bitmap.length * 6 || !this.holds(document)) return -1;
    return this.rest * this.unit;
  };
  Term.prototype.reset = function () { this.cursor = 0; };
  // Every document that holds the term, ascending.
  Term.prototype.all = function () {
    if (!this.bitmap) return this.documents;
    var out = new Int32Array(this.size);
    var n = 0;
    for (var c = 0; c < this.bitmap.length; c++) {
      var digit = DIGIT[this.bitmap.charCodeAt(c)];
      for (var bit = 0; digit !== 0; bit++, digit >>= 1) {
        if (digit & 1) out[n++] = c * 6 + bit;
      }
    }
    return out.subarray(0, n);
  };

  var terms = new Map();  // decoded, by number
  function loadTerm(number, callback) {
    if (terms.has(number)) return callback(terms.get(number));
    var file = lowerBound(data.text.t, number + 1) - 1;
    load("t", file, function (s) {
      if (!terms.has(number)) terms.set(number, new Term(s.entries[number - data.text.t[file]]));
      callback(terms.get(number));
    });
  }
  function loadTerms(numbers, callback) {
    var left = numbers.length;
    var loaded = [];
    if (left === 0) return callback(loaded);
    numbers.forEach(function (number, i) {
      loadTerm(number, function (term) {
        loaded[i] = term;
        if (--left === 0) callback(loaded);
      });
    });
  }

  // The documents that hold a term of every group (a word: its terms), with
  // their scores; the smallest group first.
  function match(groups) {
    groups = groups.slice().sort(function (a, b) { return size(a) - size(b); });
    if (groups.every(function (g) { return g.length === 1 && g[0].bitmap; })) {
      return matchBitmaps(groups.map(function (g) { return g[0]; }));
    }
    var first = groups[0];
    var candidates = first.length === 1 ? first[0].all() : union(first);
    var scores = new Float64Array(candidates.length);
    var kept = new Int32Array(candidates.length);
    var n = candidates.length;
    kept.set(candidates);
    groups.forEach(function (group) {
      group.forEach(function (term) { term.reset(); });
      var out = 0;
      for (var i = 0; i < n; i++) {
        var best = -1;
        for (var t = 0; t < group.length; t++) best = Math.max(best, group[t].weight(kept[i]));
        if (best < 0) continue;
        kept[out] = kept[i];
        scores[out++] = scores[i] + best;
      }
      n = out;
    });
    return {documents: kept.subarray(0, n), scores: scores.subarray(0, n)};
  }
  // Words most documents hold, each one term with a bitmap: the bitmaps are
  // intersected six documents at a time, and a document scores each term's
  // weight for the rest of its documents but where it is one of the term's
  // best, in the order match() adds them. So such a query costs a pass over
  // its bitmaps, not a search for every document.
  function matchBitmaps(terms) {
    var length = Math.min.apply(null, terms.map(function (t) { return t.bitmap.length; }));
    var kept = new Int32Array(Math.min.apply(null, terms.map(function (t) { return t.size; })));
    var n = 0;
    for (var c = 0; c < length; c++) {
      var digit = 63;
      for (var t = 0; t < terms.length && digit !== 0; t++) {
        digit &= DIGIT[terms[t].bitmap.charCodeAt(c)];
      }
      for (var bit = 0; digit > 0; bit++, digit >>= 1) {
        if (digit & 1) kept[n++] = c * 6 + bit;
      }
    }
    kept = kept.subarray(0, n);
    var scores = new Float64Array(n);
    var weight = new Float64Array(n);
    terms.forEach(function (term) {
      weight.fill(term.rest * term.unit);
      for (var i = 0; i < term.documents.length; i++) {
        var at = lowerBound(kept, term.documents[i]);
        if (at < n && kept[at] === term.documents[i]) weight[at] = term.weights[i] * term.unit;
      }
      for (var d = 0; d < n; d++) scores[d] += weight[d];
    });
    return {documents: kept, scores: scores};
  }
  function size(group) {
    return group.reduce(function (sum, term) { return sum + term.size; }, 0);
  }
  function union(group) {
    var all = new Int32Array(size(group));
    var n = 0;
    group.forEach(function (term) {
      var documents = term.all();
      all.set(documents, n);
      n += documents.length;
    });
    all = all.subarray(0, n).sort();
    var out = 0;
    for (var i = 0; i < n; i++) {
      if (i === 0 || all[i] !== all[i - 1]) all[out++] = all[i];
    }
    return all.slice(0, out);
  }

  // The positions of the `count` best scores, best first (of equals, the
  // first document): a heap with the worst on top.
  function best(found, count) {
    var scores = found.scores;
    var worse = function (a, b) { return scores[a] !== scores[b] ? scores[a] < scores[b] : a > b; };
    var heap = [];
    var swap = function (a, b) { var t = heap[a]; heap[a] = heap[b]; heap[b] = t; };
    for (var i = 0; i < scores.length; i++) {
      if (heap.length < count) {
        heap.push(i);
        for (var at = heap.length - 1; at > 0 && worse(heap[at], heap[(at - 1) >> 1]);) {
          swap(at, (at - 1) >> 1);
          at = (at - 1) >> 1;
        }
        continue;
      }
      if (!worse(heap[0], i)) continue;
      heap[0] = i;
      for (var top = 0;;) {
        var child = 2 * top + 1;
        if (child >= heap.length) break;
        if (child + 1 < heap.length && worse(heap[child + 1], heap[child])) child++;
        if (!worse(heap[child], heap[top])) break;
        swap(child, top);
        top = child;
      }
    }
    return heap.sort(function (a, b) { return worse(a, b) ? 1 : worse(b, a) ? -1 : 0; });
  }

  // The forms of the words list for `word`: its own, and with `prefix` also
  // those it starts, most documents first, within EXPANSIONS and
  // EXPANSION_BYTES. Calls done(terms, left out) with the terms' numbers.
  function termsOf(word, prefix, done) {
    var own = null;
    var longer = [];
    var firsts = data.slices.w;
    if (firsts.length === 0) return done([], 0);
    scan("w", word, function (e) {
      if (e[0] === word) own = e;
      else if (prefix) longer.push(e);
      return prefix && longer.length < 2000;
    }, function () {
      var chosen = own ? [own[2]] : [];
      var bytes = own ? own[4] : 0;
      longer.sort(function (a, b) { return b[3] - a[3] || a[2] - b[2]; });
      var left = 0;
      longer.forEach(function (e) {
        if (chosen.indexOf(e[2]) >= 0) return;
        if (chosen.length >= EXPANSIONS || bytes + e[4] > EXPANSION_BYTES) {
          left++;
          return;
        }
        chosen.push(e[2]);
        bytes += e[4];
      });
      done(chosen, left);
    });
  }

  // Searches the documents' text for `query`: calls done(found) with the
  // documents holding every word (ascending), their scores, the best of them
  // and what the query stood for; null when there is nothing to search.
  function searchText(query, done) {
    var list = words(query);
    if (!data.text || list.length === 0) return done(null);
    var typing = !/\s$/.test(query);
    var groups = [];
    var pending = list.length;
    var missing = null;
    var leftOut = 0;
    list.forEach(function (word, i) {
      termsOf(word, typing && i === list.length - 1, function (numbers, left) {
        leftOut += left;
        if (numbers.length === 0 && missing === null) missing = word;
        loadTerms(numbers, function (loaded) {
          groups[i] = loaded;
          if (--pending > 0) return;
          if (missing !== null) return done({words: list, missing: missing, documents: new Int32Array(0)});
          var found = match(groups);
          found.words = list;
          found.leftOut = leftOut;
          found.best = best(found, TEXT_BEST);
          done(found);
        });
      });
    });
  }
  core.searchText = searchText;

  // The documents that hold all `numbers` (terms), ascending.
  core.documentsWith = function (numbers, done) {
    loadTerms(numbers, function (loaded) {
      done(loaded.length === 0 ? new Int32Array(0)
                               : match(loaded.map(function (t) { return [t]; })).documents);
    });
  };

  // Calls done(entries) with the entries [name, map, x, y(, link)] of the
  // documents numbered `numbers`, in that order.
  core.documents = function (numbers, done) {
    var per = data.text ? data.text.perSlice : 1;
    var wanted = [];
    numbers.forEach(function (n) {
      var slice = Math.floor(n / per);
      if (wanted.indexOf(slice) < 0) wanted.push(slice);
    });
    var left = wanted.length;
    var finish = function () {
      done(numbers.map(function (n) { return slices["i" + Math.floor(n / per)].entries[n % per]; }));
    };
    if (left === 0) return finish();
    wanted.forEach(function (slice) { load("i", slice, function () { if (--left === 0) finish(); }); });
  };

  // ---- What the results show ---------------------------------------------

  function element(tag, text, className) {
    var node = document.createElement(tag);
    if (text !== undefined) node.textContent = text;
    if (className) node.className = className;
    return node;
  }
  core.element = element;

  function link(text, href) {
    var a = element("a", text);
    a.href = href;
    return a;
  }
  core.link = link;

  // As the map pages write document links: UTF-8 bytes, all but A-Z a-z
  // 0-9 - . _ ~ / as %XX.
  function linkPart(text) {
    return Array.from(new TextEncoder().encode(text), function (b) {
      var c = String.fromCharCode(b);
      if (/[A-Za-z0-9\-._~\/]/.test(c)) return c;
      return "%" + (b < 16 ? "0" : "") + b.toString(16).toUpperCase();
    }).join("");
  }
  core.linkPart = linkPart;

  // The link of a document entry [name, ...(, link)] whose link part is at `at`.
  core.documentLink = function (entry, at) {
    var name = entry[0];
    if (data.files === null) return element("span", name);
    return link(name, data.files + (entry.length > at ? entry[at] : linkPart(name)));
  };

  // The address of a map, or of a unit of it, in the map view.
  core.address = function (map, x, y) {
    var address = "#m=" + encodeURIComponent(data.maps[map][0]);
    return x === undefined || x < 0 ? address : address + "&u=" + x + "," + y;
  };

  function unitText(map, x, y) {
    return data.maps[map][0] + (x < 0 ? "" : " (" + x + ", " + y + ")");
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

  function showText(found, shown) {
    if (!found) return;
    var count = found.documents.length;
    var title = "Documents holding " + (found.words.length > 1 ? "every word" : "the word");
    if (found.missing) {
      section(title, 0, false).appendChild(
        element("li", "No document holds \u201c" + found.missing + "\u201d.", "meta"));
      return;
    }
    var list = section(title, count, false);
    list.setAttribute("id", "text-results");
    if (found.leftOut > 0) {
      list.parentNode.insertBefore(element("p", "\u201c" + found.words[found.words.length - 1] +
          "\u201d also stands for the " + EXPANSIONS + " longer words most documents hold, not for " +
          found.leftOut + " more; a blank after a word ends it.", "meta"), list);
    }
    var page = found.best.slice(0, shown);
    core.documents(page.map(function (i) { return found.documents[i]; }), function (entries) {
      entries.forEach(function (e) {
        var item = element("li");
        item.appendChild(core.documentLink(e, 4));
        item.appendChild(document.createTextNode(" on "));
        item.appendChild(link(unitText(e[1], e[2], e[3]), core.address(e[1], e[2], e[3])));
        list.appendChild(item);
      });
      if (shown < Math.min(count, found.best.length)) {
        var more = element("button", "more", "link");
        more.addEventListener("click", function () {
          list.parentNode.remove();
          showText(found, shown + TEXT_RESULTS);
        });
        list.appendChild(element("li")).appendChild(more);
      }
    });
  }

  function showLabels(entries, more) {
    if (entries.length === 0) return;
    var list = section("Labels", entries.length, more);
    entries.forEach(function (e) {
      var item = element("li", e[0]);
      for (var i = 2; i + 4 < e.length; i += 5) {
        item.appendChild(document.createTextNode(i === 2 ? " \u2014 " : " \u00b7 "));
        item.appendChild(link(unitText(e[i], e[i + 1], e[i + 2]), core.address(e[i], e[i + 1], e[i + 2])));
        item.appendChild(element("span", ": in " + e[i + 3] + " of " + e[i + 4], "meta"));
      }
      list.appendChild(item);
    });
  }

  function showDocuments(entries, more) {
    if (entries.length === 0) return;
    var list = section("Documents by name", entries.length, more);
    entries.forEach(function (e) {
      var item = element("li");
      item.appendChild(core.documentLink(e, 5));
      item.appendChild(document.createTextNode(" on "));
      item.appendChild(link(unitText(e[2], e[3], e[4]), core.address(e[2], e[3], e[4])));
      list.appendChild(item);
    });
  }

  function showPhrases(entries, more) {
    if (entries.length === 0) return;
    var list = section("Phrases of the map pages", entries.length, more);
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
      item.appendChild(link(unitText(u[0], u[1], u[2]), core.address(u[0], u[1], u[2])));
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
      core.found = null;
      if (core.light) core.light(null);
      return;
    }
    status.textContent = "Searching\u2026";
    var pending = 5;
    var text, labels, documents, phrases;
    function show() {
      if (mine !== generation || --pending > 0) return;
      results.textContent = "";
      showText(text, TEXT_RESULTS);
      showLabels(labels[0], labels[1]);
      showDocuments(documents[0], documents[1]);
      showPhrases(phrases[0], phrases[1]);
      showUnits(phrases[0]);
      core.found = text;
      if (core.light) core.light(text && !text.missing ? text.documents : null);
      status.textContent = results.childNodes.length === 0 ? "Nothing found." : "";
      document.documentElement.setAttribute("data-searched", String(mine));
    }
    searchText(input.value, function (found) { text = found; show(); });
    find("l", query, function (found, more) { labels = [found, more]; show(); });
    find("d", query, function (found, more) { documents = [found, more]; show(); });
    find("p", query, function (found, more) { phrases = [found, more]; show(); });
    show();
  }
  core.search = function (query) {
    input.value = query;
    run();
  };

  var ready = "Search " + (data.text ? data.text.documents + " documents by the words of " +
      "their text, and " : "") + data.documents + " names and " + data.phrases +
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
