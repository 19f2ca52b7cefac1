// The map view of index.html: a map's grid as it is (x across, y down), a
// cell per unit with its best label and number of documents, shaded by the
// number of documents, the lines between units as thick and dark as their
// model vectors are far apart (from the map's grid file), a way down into a
// unit's sub-map and back up, and a unit's panel: its labels with their
// evidence, the documents that carry each, and its documents. Every map and
// unit has an address (#m=MAP&u=X,Y), so back, forward and bookmarks work.
// The view's data lies in view/m<N>.js (labelsite/map_view.h), loaded as the
// view needs it. A search of the documents' text lights the units up by how
// many of their documents match.
(function () {
  var core = window.somlabel;
  var data = core.data;
  var root = document.getElementById("map-view");
  if (!root || data.top < 0) return;
  var element = core.element;
  var link = core.link;
  var PAGE = 50;  // documents listed at a time
  var state = {map: -1, unit: null, lit: null, page: 0};
  var mapNumber = Object.create(null);  // by title: the first map of that title
  data.maps.forEach(function (map, number) {
    if (mapNumber[map[0]] === undefined) mapNumber[map[0]] = number;
  });

  // The map view's data for `map` and the maps above it, top first.
  function loadPath(map, done) {
    core.load("m", map, function (view) {
      if (view.parent < 0) return done([map]);
      loadPath(view.parent, function (path) { done(path.concat([map])); });
    });
  }

  function headline(labels) { return labels.length > 0 ? labels[0][0] : ""; }

  function evidence(label, documents) {
    return "in " + label[1] + " of " + documents + (documents === 1 ? " document" : " documents");
  }

  // The levels from the top map down: each named by its best label.
  function drawPath(path) {
    var nav = element("nav");
    nav.id = "map-path";
    nav.setAttribute("aria-label", "Levels of the map");
    path.forEach(function (map, i) {
      var view = core.views[map];
      if (i > 0) nav.appendChild(document.createTextNode(" \u203a "));
      // The top map is about more than its best label: its first three name it.
      var name = view.at ? "(" + view.at[0] + ", " + view.at[1] + ") " +
          (headline(view.labels) || data.maps[map][0])
        : "Top: " + (view.labels.slice(0, 3).map(function (l) { return l[0]; }).join(" \u00b7 ") ||
                     data.maps[map][0]);
      nav.appendChild(i === path.length - 1 ? element("strong", name) : link(name, core.address(map)));
    });
    return nav;
  }

  function shade(documents, most) {
    if (documents === 0 || most === 0) return "";
    var lightness = 96 - Math.round(36 * Math.sqrt(documents / most));
    return "hsl(210,60%," + lightness + "%)";
  }

  // The line to a neighbour: from thin and light (close) to thick and dark (far).
  function line(distance, farthest) {
    if (distance === null || !(farthest > 0)) return null;
    var t = Math.min(distance / farthest, 1);
    var grey = Math.round(210 - 190 * t);
    return {width: 1 + Math.round(6 * t) + "px", colour: "rgb(" + grey + "," + grey + "," + grey + ")"};
  }

  function drawGrid(map, view) {
    var grid = element("div", undefined, "map-grid");
    grid.id = "map-grid";
    grid.setAttribute("role", "grid");
    grid.setAttribute("aria-label", data.maps[map][0]);
    grid.style.gridTemplateColumns = "repeat(" + Math.max(view.x, 1) + ",minmax(0,1fr))";
    var most = 0;
    var farthest = 0;
    view.units.forEach(function (u) {
      most = Math.max(most, u[3] - u[2]);
      farthest = Math.max(farthest, u[5] || 0, u[6] || 0);
    });
    var rows = [];
    view.units.forEach(function (u, i) {
      var x = u[0];
      var y = u[1];
      if (!rows[y]) {
        rows[y] = element("div", undefined, "row");
        rows[y].setAttribute("role", "row");
      }
      var documents = u[3] - u[2];
      var cell = element("div", undefined, documents === 0 ? "cell empty" : "cell");
      cell.setAttribute("role", "gridcell");
      cell.dataset.unit = String(i);
      cell.style.gridColumn = String(x + 1);
      cell.style.gridRow = String(y + 1);
      cell.style.background = shade(documents, most) || "";
      var right = line(u[5], farthest);
      var down = line(u[6], farthest);
      if (right) { cell.style.borderRightWidth = right.width; cell.style.borderRightColor = right.colour; }
      if (down) { cell.style.borderBottomWidth = down.width; cell.style.borderBottomColor = down.colour; }
      var open = link("", core.address(map, x, y));
      open.className = "open";
      open.tabIndex = -1;
      open.appendChild(element("span", documents === 0 ? "empty" : headline(u[8]), "headline"));
      open.setAttribute("aria-label", "unit (" + x + ", " + y + "): " +
          (documents === 0 ? "empty" : headline(u[8]) + ", " + documents + " documents"));
      cell.appendChild(open);
      // The way down on the left, the number of documents on the right, wrapped where narrow.
      var foot = element("span", undefined, "foot");
      if (u[4] >= 0) {
        var zoom = link("\u25b8 sub-map", core.address(u[4]));
        zoom.className = "zoom";
        zoom.tabIndex = -1;
        foot.appendChild(zoom);
      }
      if (documents > 0) foot.appendChild(element("span", String(documents), "count"));
      cell.appendChild(foot);
      rows[y].appendChild(cell);
    });
    rows.forEach(function (row) { if (row) grid.appendChild(row); });
    grid.addEventListener("keydown", function (event) { move(event, view); });
    return grid;
  }

  function drawLegend(view) {
    var legend = element("p", undefined, "meta");
    var bar = element("span", undefined, "legend-bar");
    bar.style.background = "linear-gradient(to right,hsl(210,60%,96%),hsl(210,60%,60%))";
    legend.appendChild(document.createTextNode("Shade: documents per unit, few "));
    legend.appendChild(bar);
    legend.appendChild(document.createTextNode(" many; hatched: no document. "));
    legend.appendChild(document.createTextNode(view.grid
      ? "Lines between units: the thicker and darker, the farther apart their model vectors " +
        "(U-matrix), so groups of documents show as regions."
      : "This map has no grid file (it was trained elsewhere): the view shows the density only."));
    legend.appendChild(document.createTextNode(" Arrow keys move between units, Enter opens one, " +
      "Escape closes it, u goes up a level."));
    return legend;
  }

  function labelList(labels, more, documents, range) {
    var list = element("ol");
    labels.forEach(function (label) {
      var item = element("li");
      var which = element("button", label[0], "link");
      which.title = "which documents";
      which.addEventListener("click", function () { showCarriers(label, range); });
      item.appendChild(which);
      item.appendChild(element("span", " " + evidence(label, documents), "meta"));
      list.appendChild(item);
    });
    if (more > 0) list.appendChild(element("li", "and " + more + " more as good", "meta"));
    return list;
  }

  // The documents of `range` that carry the label: every stemmed word of it in their text.
  function showCarriers(label, range) {
    var box = document.getElementById("label-documents");
    box.textContent = "";
    box.appendChild(element("h4", "\u201c" + label[0] + "\u201d in these documents"));
    core.documentsWith(label[2], function (found) {
      var begin = core.lowerBound(found, range[0]);
      var end = core.lowerBound(found, range[1]);
      box.appendChild(documentList(Array.from(found.subarray(begin, end))));
    });
  }

  function documentList(numbers) {
    var list = element("ul");
    if (numbers.length === 0) return list;
    core.documents(numbers, function (entries) {
      entries.forEach(function (e) {
        var item = element("li");
        item.appendChild(core.documentLink(e, 4));
        if (data.keys) {
          item.appendChild(document.createTextNode(" \u00b7 "));
          item.appendChild(link("key file", data.keys[0] + (e.length > 4 ? e[4] : core.linkPart(e[0])) +
              data.keys[1]));
        }
        list.appendChild(item);
      });
    });
    return list;
  }

  function drawPanel(map, view, unit) {
    var u = view.units[unit];
    var documents = u[3] - u[2];
    var panel = element("section");
    panel.id = "unit-panel";
    panel.setAttribute("aria-label", "unit (" + u[0] + ", " + u[1] + ")");
    var close = element("button", "close", "link");
    close.addEventListener("click", function () { window.location.hash = core.address(map); });
    var title = element("h3", "Unit (" + u[0] + ", " + u[1] + ") ");
    title.appendChild(close);
    panel.appendChild(title);
    var about = element("p", documents + (documents === 1 ? " document" : " documents") + " \u00b7 ");
    about.appendChild(link("its map page", data.maps[map][1]));
    if (u[4] >= 0) {
      about.appendChild(document.createTextNode(" \u00b7 "));
      about.appendChild(link("open its sub-map \u25b8", core.address(u[4])));
    }
    if (u[7] !== null) about.appendChild(element("span", " \u00b7 quantisation error " + u[7], "meta"));
    panel.appendChild(about);
    if (u[8].length > 0) {
      panel.appendChild(element("h4", "Labels"));
      panel.appendChild(labelList(u[8], u[9], documents, [u[2], u[3]]));
    }
    var carriers = element("div");
    carriers.id = "label-documents";
    panel.appendChild(carriers);
    if (documents > 0) {
      panel.appendChild(element("h4", "Documents"));
      var list = element("div");
      panel.appendChild(list);
      showPage(list, u[2], u[3], 0);
    }
    return panel;
  }

  function showPage(box, begin, end, page) {
    box.textContent = "";
    var from = begin + page * PAGE;
    var to = Math.min(end, from + PAGE);
    var numbers = [];
    for (var n = from; n < to; n++) numbers.push(n);
    box.appendChild(documentList(numbers));
    var pager = element("p", (from - begin + 1) + "\u2013" + (to - begin) + " of " + (end - begin) + " ",
                        "meta");
    [[page - 1, "previous"], [page + 1, "next"]].forEach(function (p) {
      if (p[0] < 0 || begin + p[0] * PAGE >= end) return;
      var button = element("button", p[1], "link");
      button.addEventListener("click", function () { showPage(box, begin, end, p[0]); });
      pager.appendChild(button);
      pager.appendChild(document.createTextNode(" "));
    });
    box.appendChild(pager);
  }

  // Arrow keys move between units, Escape closes the panel, u goes up.
  function move(event, view) {
    var cell = event.target.closest(".cell");
    if (!cell) return;
    var u = view.units[Number(cell.dataset.unit)];
    var step = {ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1]}[event.key];
    if (step) {
      var target = findUnit(view, u[0] + step[0], u[1] + step[1]);
      if (target >= 0) focusUnit(target, true);
      event.preventDefault();
    }
  }

  function findUnit(view, x, y) {
    for (var i = 0; i < view.units.length; i++) {
      if (view.units[i][0] === x && view.units[i][1] === y) return i;
    }
    return -1;
  }

  // Makes the unit's cell the one Tab reaches in the grid; `take` moves the focus there.
  function focusUnit(unit, take) {
    var cells = root.querySelectorAll(".cell a.open");
    cells.forEach(function (a) { a.tabIndex = -1; });
    var target = root.querySelector(".cell[data-unit=\"" + unit + "\"] a.open");
    if (!target) return;
    target.tabIndex = 0;
    if (take) target.focus();
  }

  // Lights the units up by how many of their documents are in `found`
  // (ascending document numbers), or takes the light away.
  function light(found) {
    state.lit = found;
    var view = core.views[state.map];
    if (!view) return;
    root.querySelectorAll(".cell").forEach(function (cell) {
      var u = view.units[Number(cell.dataset.unit)];
      var badge = cell.querySelector(".hits");
      if (badge) badge.remove();
      cell.classList.remove("dim");
      if (!found) return;
      var hits = core.lowerBound(found, u[3]) - core.lowerBound(found, u[2]);
      if (hits === 0) {
        cell.classList.add("dim");
        return;
      }
      var mark = element("span", String(hits), "hits");
      mark.title = hits + " of " + (u[3] - u[2]) + " documents match";
      var foot = cell.querySelector(".foot");
      foot.insertBefore(mark, foot.querySelector(".count"));
    });
  }
  core.light = light;

  function draw(map, unit) {
    loadPath(map, function (path) {
      var view = core.views[map];
      var same = state.map === map;
      state.map = map;
      state.unit = unit;
      if (!same) {
        root.textContent = "";
        root.appendChild(drawPath(path));
        var title = element("h2", data.maps[map][0]);
        title.id = "map-title";
        root.appendChild(title);
        var about = element("p", view.x + " \u00d7 " + view.y + " units, " +
            (view.range[1] - view.range[0]) + " documents");
        if (view.labels.length > 0) {
          about.appendChild(document.createTextNode("; labels: "));
          view.labels.slice(0, 5).forEach(function (label, i) {
            if (i > 0) about.appendChild(document.createTextNode(" \u00b7 "));
            about.appendChild(document.createTextNode(label[0] + " "));
            about.appendChild(element("span", "(" + label[1] + " of " +
                (view.range[1] - view.range[0]) + ")", "meta"));
          });
        }
        root.appendChild(about);
        root.appendChild(drawGrid(map, view));
        root.appendChild(drawLegend(view));
        light(state.lit);
      }
      var old = document.getElementById("unit-panel");
      if (old) old.remove();
      root.querySelectorAll(".cell.selected").forEach(function (c) { c.classList.remove("selected"); });
      var selected = unit === null ? -1 : findUnit(view, unit[0], unit[1]);
      if (selected >= 0) {
        root.querySelector(".cell[data-unit=\"" + selected + "\"]").classList.add("selected");
        root.appendChild(drawPanel(map, view, selected));
      }
      var typing = document.activeElement && document.activeElement.tagName === "INPUT";
      focusUnit(selected >= 0 ? selected : 0, selected >= 0 && !typing);
      root.setAttribute("data-map", String(map));
      // For bench/site_open.py: when the first map was drawn.
      if (window.performance && performance.mark && !performance.getEntriesByName("map-drawn").length)
        performance.mark("map-drawn");
      root.setAttribute("data-unit", selected >= 0 ? unit.join(",") : "");
    });
  }

  // The map and unit of the address, or the top map.
  function route() {
    var map = data.top;
    var unit = null;
    window.location.hash.replace(/^#/, "").split("&").forEach(function (part) {
      var at = part.indexOf("=");
      var key = part.slice(0, at);
      var value = part.slice(at + 1);
      if (key === "m") {
        var title;
        try { title = decodeURIComponent(value); } catch (error) { title = value; }
        if (mapNumber[title] !== undefined) map = mapNumber[title];
      }
      if (key === "u" && /^\d+,\d+$/.test(value)) unit = value.split(",").map(Number);
    });
    draw(map, unit);
  }

  document.addEventListener("keydown", function (event) {
    if (event.target.tagName === "INPUT" || state.map < 0) return;
    var view = core.views[state.map];
    if (event.key === "Escape" && state.unit) window.location.hash = core.address(state.map);
    if (event.key === "u" && view && view.parent >= 0) window.location.hash = core.address(view.parent);
  });
  window.addEventListener("hashchange", route);
  route();
})();
