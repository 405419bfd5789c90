// The codebook page's script: reads the facts from the page's JSON data
// block and shows them. Every text of the dictionary goes into the page as
// text (textContent, attribute values), never as markup. The index is a
// virtual list: only the rows in view, plus a margin, are in the document, so
// a page of 100,000 variables opens and filters as one of 1,000 does.
"use strict";
(() => {
  const facts = JSON.parse(document.getElementById("facts").textContent);
  const vars = facts.variables;
  const sets = facts.sets;
  const total = vars.length;
  // The fields of a variable, as codebookJSON writes them.
  const NAME = 0, LABEL = 1, TYPE = 2, FORMAT = 3, WRITE_FORMAT = 4, LEVEL = 5, ALIGNMENT = 6,
    DISPLAY_WIDTH = 7, RANGE = 8, MISSING = 9, VALUE_LABELS = 10, ATTRIBUTES = 11;
  const SHOWN_VALUE_LABELS = 50;
  const INDEX_LABEL_LENGTH = 200;
  const MARGIN_ROWS = 20;

  const $ = (id) => document.getElementById(id);
  const search = $("search");
  const count = $("count");
  const scroller = $("scroller");
  const rows = $("rows");
  const detail = $("variable");

  // An element with text; dictionary texts read in their own direction.
  const el = (tag, text, className) => {
    const e = document.createElement(tag);
    if (text !== undefined && text !== null) e.textContent = text;
    if (className) e.className = className;
    return e;
  };
  const textEl = (tag, text, className) => {
    const e = el(tag, text, className);
    e.dir = "auto";
    return e;
  };
  const variableLink = (i) => {
    const a = textEl("a", vars[i][NAME]);
    a.href = "#v=" + encodeURIComponent(vars[i][NAME]);
    return a;
  };

  const byName = new Map();
  vars.forEach((v, i) => {
    if (!byName.has(v[NAME])) byName.set(v[NAME], i);
  });
  const weight = facts.weight === null ? -1 : (byName.get(facts.weight) ?? -1);

  // --- the header ---------------------------------------------------------------

  document.title = facts.title;
  $("title").textContent = facts.title;
  const summary = $("summary");
  // Each term with its values in a group of its own, so that a line breaks between facts.
  const addFact = (term, ...values) => {
    const group = el("div");
    group.append(el("dt", term));
    for (const value of values) {
      const dd = el("dd");
      if (value instanceof Node) dd.append(value);
      else dd.append(textEl("span", value));
      group.append(dd);
    }
    summary.append(group);
  };
  const idno = facts.attributes.find((a) => a[0] === "IDNo");
  if (idno && idno[1].length) addFact("IDNo", ...idno[1]);
  addFact("Variables", String(total));
  if (facts.rows !== null) addFact("Rows", facts.rows);
  if (facts.weight !== null) addFact("Weight", weight >= 0 ? variableLink(weight) : facts.weight);
  for (const [name, values] of facts.attributes) {
    if (name === "Title" || name === "IDNo") continue;
    const group = el("div");
    group.append(textEl("dt", name));
    const dd = el("dd");
    if (values.length === 0) dd.append(el("span", "(no values)", "none"));
    values.forEach((value, k) => {
      if (k) dd.append("; ");
      dd.append(textEl("span", value));
    });
    group.append(dd);
    summary.append(group);
  }
  addFact("File", facts.file);
  addFact("Made", facts.made);
  $("made").textContent = "Made by transspace html.";

  // --- sets ---------------------------------------------------------------------

  const setsOf = vars.map(() => null);
  sets.forEach((set, s) => {
    for (const i of set[3]) (setsOf[i] || (setsOf[i] = [])).push(s);
  });
  let chosenSet = -1;
  let setMask = null;
  const setButtons = sets.map((set, s) => {
    const li = el("li");
    const button = el("button");
    button.type = "button";
    button.dataset.set = set[0];
    button.setAttribute("aria-pressed", "false");
    button.append(textEl("span", set[0], "set-name"));
    const kind = set[1] ? "multiple-response set" : "set";
    const members = set[3].length === 1 ? "1 variable" : `${set[3].length} variables`;
    button.append(el("span", ` ${kind}, ${members}`, "set-size"));
    li.append(button);
    if (set[2]) li.append(textEl("span", set[2], "set-details"));
    button.addEventListener("click", () => chooseSet(s));
    $("sets").append(li);
    return button;
  });
  if (sets.length) $("sets-panel").hidden = false;

  function chooseSet(s) {
    chosenSet = chosenSet === s ? -1 : s;
    setButtons.forEach((b, k) => b.setAttribute("aria-pressed", String(k === chosenSet)));
    setMask = null;
    if (chosenSet >= 0) {
      setMask = new Uint8Array(total);
      for (const i of sets[chosenSet][3]) setMask[i] = 1;
    }
    filter();
  }

  // --- search -----------------------------------------------------------------

  // Unicode case folding, nearly: upper then lower case maps ß to ss and the
  // final sigma to σ as folding does; NFC makes composed and decomposed
  // accents meet.
  const fold = (text) => text.normalize("NFC").toUpperCase().toLowerCase();
  let haystacks = null;
  function prepare() {
    if (haystacks) return;
    haystacks = new Array(total);
    for (let i = 0; i < total; ++i) {
      const v = vars[i];
      const parts = [v[NAME], v[LABEL] || ""];
      for (const label of v[VALUE_LABELS]) parts.push(label[1]);
      for (const attribute of v[ATTRIBUTES]) parts.push(...attribute[1]);
      haystacks[i] = fold(parts.join("\u0001"));
    }
  }

  let view = null;  // the positions the index shows, in file order
  function filter() {
    const terms = fold(search.value).split(/\s+/).filter((t) => t);
    if (terms.length) prepare();
    const shown = new Int32Array(total);
    let n = 0;
    outer: for (let i = 0; i < total; ++i) {
      if (setMask && !setMask[i]) continue;
      for (const term of terms) if (haystacks[i].indexOf(term) < 0) continue outer;
      shown[n++] = i;
    }
    view = shown.subarray(0, n);
    count.textContent = `${n} of ${total} variables`;
    scroller.scrollTop = 0;
    render();
    schedulePrint();
  }

  // --- the index: a virtual list ------------------------------------------------

  let rowHeight = 0;
  const topSpacer = el("tr", null, "spacer");
  const bottomSpacer = el("tr", null, "spacer");
  for (const spacer of [topSpacer, bottomSpacer]) {
    spacer.setAttribute("aria-hidden", "true");
    const td = el("td");
    td.colSpan = 7;
    spacer.append(td);
  }
  let openIndex = -1;
  let focusIndex = -1;

  const cut = (text) => {
    if (text.length <= INDEX_LABEL_LENGTH) return text;
    let end = INDEX_LABEL_LENGTH;
    const code = text.charCodeAt(end - 1);
    if (code >= 0xd800 && code < 0xdc00) --end;  // keep a surrogate pair whole
    return text.slice(0, end) + "\u2026";
  };

  function makeRow(i) {
    const v = vars[i];
    const tr = el("tr", null, "row");
    tr.tabIndex = -1;
    tr.dataset.variable = v[NAME];
    tr.dataset.index = String(i);
    if (i === openIndex) tr.setAttribute("aria-current", "true");
    tr.append(el("td", String(i + 1), "c-pos"));
    tr.append(textEl("td", v[NAME], "c-name"));
    const label = textEl("td", cut(v[LABEL] || ""), "c-label");
    if (v[LABEL] && v[LABEL].length > INDEX_LABEL_LENGTH) label.title = v[LABEL];
    tr.append(label);
    tr.append(el("td", v[TYPE] + " " + v[FORMAT], "c-type"));
    tr.append(el("td", v[LEVEL], "c-level"));
    tr.append(el("td", v[VALUE_LABELS].length ? String(v[VALUE_LABELS].length) : "", "c-labels"));
    const missing = v[RANGE] !== null || v[MISSING].length > 0;
    tr.append(el("td", missing ? "yes" : "", "c-missing"));
    return tr;
  }

  // The rows in the document by position; a row that stays in view stays the
  // same element, so that focus and the reader's place survive a scroll.
  let shownRows = new Map();
  function render() {
    const n = view.length;
    if (!rowHeight) {
      if (n === 0) {
        rows.replaceChildren();
        return;
      }
      const probe = makeRow(view[0]);
      rows.replaceChildren(probe);
      rowHeight = probe.getBoundingClientRect().height || 24;
      rows.replaceChildren(topSpacer, bottomSpacer);
    }
    const height = scroller.clientHeight || window.innerHeight;
    const first = Math.max(0, Math.floor(scroller.scrollTop / rowHeight) - MARGIN_ROWS);
    const last = Math.min(n, Math.ceil((scroller.scrollTop + height) / rowHeight) + MARGIN_ROWS);
    const wanted = new Map();
    for (let k = first; k < last; ++k) {
      const i = view[k];
      wanted.set(i, shownRows.get(i) || makeRow(i));
    }
    for (const [i, tr] of shownRows) if (!wanted.has(i)) tr.remove();
    // Both lists are in file order: only the new rows need a place.
    let next = topSpacer.nextSibling;
    for (const tr of wanted.values()) {
      if (tr === next) next = next.nextSibling;
      else rows.insertBefore(tr, next);
    }
    shownRows = wanted;
    topSpacer.style.height = first * rowHeight + "px";
    bottomSpacer.style.height = (n - last) * rowHeight + "px";
    // One row is in the tab order (the focused one, else the first in view);
    // the arrow keys walk the rest.
    let roving = shownRows.get(focusIndex);
    if (!roving && n > 0) {
      roving = shownRows.get(view[Math.min(n - 1, Math.floor(scroller.scrollTop / rowHeight))]);
    }
    for (const tr of shownRows.values()) tr.tabIndex = tr === roving ? 0 : -1;
  }


  let scrollFrame = 0;
  scroller.addEventListener("scroll", () => {
    if (!scrollFrame) scrollFrame = requestAnimationFrame(() => {
      scrollFrame = 0;
      render();
    });
  }, { passive: true });
  window.addEventListener("resize", () => render());

  const rowOf = (target) => target.closest && target.closest("tr.row");
  rows.addEventListener("click", (event) => {
    const tr = rowOf(event.target);
    if (tr) openVariable(Number(tr.dataset.index));
  });
  rows.addEventListener("focusin", (event) => {
    const tr = rowOf(event.target);
    if (tr) focusIndex = Number(tr.dataset.index);
  });
  // Up and down walk the whole view, bringing rows into the document as needed.
  function focusAt(k) {
    if (k < 0 || k >= view.length) return;
    focusIndex = view[k];
    const top = k * rowHeight;
    if (top < scroller.scrollTop) scroller.scrollTop = top;
    else if (top + rowHeight > scroller.scrollTop + scroller.clientHeight)
      scroller.scrollTop = top + rowHeight - scroller.clientHeight;
    render();
    const tr = rows.querySelector(`tr[data-index="${focusIndex}"]`);
    if (tr) tr.focus({ preventScroll: true });
  }
  const positionInView = (i) => {
    let low = 0, high = view.length - 1;
    while (low <= high) {
      const mid = (low + high) >> 1;
      if (view[mid] === i) return mid;
      if (view[mid] < i) low = mid + 1;
      else high = mid - 1;
    }
    return -1;
  };
  rows.addEventListener("keydown", (event) => {
    const tr = rowOf(event.target);
    if (!tr) return;
    const i = Number(tr.dataset.index);
    const step = { ArrowDown: 1, ArrowUp: -1, PageDown: 20, PageUp: -20 }[event.key];
    if (event.key === "Enter" || event.key === " ") {
      event.preventDefault();
      openVariable(i);
    } else if (step) {
      event.preventDefault();
      const k = positionInView(i) + step;
      focusAt(Math.max(0, Math.min(view.length - 1, k)));
    } else if (event.key === "Home" || event.key === "End") {
      event.preventDefault();
      focusAt(event.key === "Home" ? 0 : view.length - 1);
    }
  });

  // --- the detail of a variable ---------------------------------------------

  const missingText = (v) => {
    const parts = [];
    if (v[RANGE] !== null) parts.push(v[RANGE][0] + " thru " + v[RANGE][1]);
    parts.push(...v[MISSING]);
    return parts;
  };
  const typeText = (type) => type.startsWith("string ") ?
    "string, width " + type.slice(7) : type;

  // The whole of a variable, into container; all value labels when full.
  function describe(i, container, full, headingTag) {
    const v = vars[i];
    const heading = textEl(headingTag, v[NAME], "variable-name");
    if (headingTag === "h2") heading.id = "variable-heading";
    container.append(heading);
    container.append(v[LABEL] ? textEl("p", v[LABEL], "variable-label") :
      el("p", "(no label)", "variable-label none"));
    const dl = el("dl", null, "facts");
    const add = (term, value) => {
      dl.append(el("dt", term));
      const dd = el("dd");
      if (value instanceof Node) dd.append(value);
      else dd.textContent = value;
      dl.append(dd);
    };
    add("Position", String(i + 1));
    add("Type", typeText(v[TYPE]));
    add("Print format", v[FORMAT]);
    add("Write format", v[WRITE_FORMAT]);
    add("Measurement level", v[LEVEL] || "(none)");
    add("Alignment", v[ALIGNMENT] || "(none)");
    add("Display width", v[DISPLAY_WIDTH]);
    const missing = missingText(v);
    if (missing.length) {
      const ul = el("ul", null, "missing");
      for (const m of missing) ul.append(textEl("li", m));
      add("Missing values", ul);
    } else {
      add("Missing values", "none");
    }
    if (i === weight) add("Weight", "this is the file's weight variable");
    container.append(dl);

    const labels = v[VALUE_LABELS];
    if (labels.length) {
      const table = el("table", null, "value-labels");
      table.append(el("caption", `Value labels (${labels.length})`));
      const head = el("tr");
      for (const name of ["Code", "Label", "Missing"]) {
        const th = el("th", name);
        th.scope = "col";
        head.append(th);
      }
      const thead = el("thead");
      thead.append(head);
      table.append(thead);
      const body = el("tbody");
      table.append(body);
      const addLabels = (from, to) => {
        for (let k = from; k < to; ++k) {
          const tr = el("tr");
          tr.append(textEl("td", labels[k][0]), textEl("td", labels[k][1]));
          tr.append(el("td", labels[k][2] ? "missing" : ""));
          if (labels[k][2]) tr.className = "user-missing";
          body.append(tr);
        }
      };
      const shown = full ? labels.length : Math.min(labels.length, SHOWN_VALUE_LABELS);
      addLabels(0, shown);
      container.append(table);
      if (shown < labels.length) {
        const more = el("button", `Show all ${labels.length} value labels`, "more");
        more.type = "button";
        more.addEventListener("click", () => {
          addLabels(shown, labels.length);
          more.remove();
        });
        container.append(more);
      }
    }

    const attributes = v[ATTRIBUTES];
    if (attributes.length) {
      container.append(el(headingTag === "h2" ? "h3" : "h4", "Attributes"));
      const adl = el("dl", null, "attributes");
      for (const [name, values] of attributes) {
        adl.append(textEl("dt", name));
        const dd = el("dd");
        if (values.length === 0) dd.append(el("span", "(no values)", "none"));
        else {
          const ul = el("ul");
          for (const value of values) ul.append(textEl("li", value));
          dd.append(ul);
        }
        adl.append(dd);
      }
      container.append(adl);
    }

    if (setsOf[i]) {
      container.append(el(headingTag === "h2" ? "h3" : "h4", "Sets"));
      const ul = el("ul", null, "member-of");
      for (const s of setsOf[i]) {
        const a = textEl("a", sets[s][0]);
        a.href = "#sets-heading";
        a.addEventListener("click", (event) => {
          event.preventDefault();
          if (chosenSet !== s) chooseSet(s);
          setButtons[s].focus();
        });
        const li = el("li");
        li.append(a, sets[s][1] ? " (multiple-response set)" : "");
        ul.append(li);
      }
      container.append(ul);
    }
  }

  function show(i) {
    openIndex = i;
    detail.replaceChildren();
    describe(i, detail, false, "h2");
    detail.scrollTop = 0;
    for (const tr of rows.querySelectorAll("tr[aria-current]")) tr.removeAttribute("aria-current");
    const tr = rows.querySelector(`tr[data-index="${i}"]`);
    if (tr) tr.setAttribute("aria-current", "true");
    document.title = vars[i][NAME] + " \u2013 " + facts.title;
  }

  function clearDetail() {
    openIndex = -1;
    const heading = el("h2", "Variable");
    heading.id = "variable-heading";
    detail.replaceChildren(heading,
      el("p", "Choose a variable in the index to see all it holds.", "hint"));
    document.title = facts.title;
  }

  // Opening a variable goes through the fragment, so Back returns to the one before.
  function openVariable(i) {
    const hash = "#v=" + encodeURIComponent(vars[i][NAME]);
    if (location.hash === hash) show(i);
    else location.hash = hash;
  }

  function fromHash() {
    const hash = location.hash;
    if (hash.startsWith("#v=")) {
      let name = null;
      try {
        name = decodeURIComponent(hash.slice(3));
      } catch (e) {
        name = null;  // a fragment that is not percent-encoding names nothing
      }
      const i = byName.get(name);
      if (i !== undefined) {
        show(i);
        return;
      }
    }
    if (hash === "" || hash.startsWith("#v=")) clearDetail();
  }
  window.addEventListener("hashchange", fromHash);

  // --- keys ---------------------------------------------------------------------

  search.addEventListener("input", filter);
  search.addEventListener("keydown", (event) => {
    if (event.key === "Escape") {
      event.preventDefault();
      search.value = "";
      filter();
    } else if (event.key === "ArrowDown" || event.key === "Enter") {
      if (view.length === 0) return;
      event.preventDefault();
      scroller.scrollTop = 0;
      focusAt(0);
    }
  });
  document.addEventListener("keydown", (event) => {
    if (event.key !== "/" || event.ctrlKey || event.metaKey || event.altKey) return;
    const t = event.target;
    if (t instanceof HTMLInputElement || t instanceof HTMLTextAreaElement || t.isContentEditable) return;
    event.preventDefault();
    search.focus();
    search.select();
  });

  // --- CSV ----------------------------------------------------------------------

  const csvField = (text) => '"' + String(text).replace(/"/g, '""') + '"';
  $("csv").addEventListener("click", () => {
    const lines = ["position,name,label,type,format,measurement level,value labels,user-missing"];
    for (const i of view) {
      const v = vars[i];
      lines.push([String(i + 1), csvField(v[NAME]), csvField(v[LABEL] || ""), csvField(v[TYPE]),
        csvField(v[FORMAT]), csvField(v[LEVEL]), String(v[VALUE_LABELS].length),
        v[RANGE] !== null || v[MISSING].length ? "yes" : "no"].join(","));
    }
    // The byte order mark tells spreadsheets the file is UTF-8.
    const blob = new Blob(["\ufeff" + lines.join("\r\n") + "\r\n"], { type: "text/csv" });
    const a = document.createElement("a");
    a.href = URL.createObjectURL(blob);
    a.download = facts.file.replace(/\.[^.]*$/, "") + "-variables.csv";
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 60000);
  });

  // --- print: the header and every variable of the current index, whole --------

  const printArea = $("print");
  let printed = null;
  function buildPrint() {
    if (printed === view) return;
    printed = view;
    const made = [];
    for (const i of view) {
      const article = el("article", null, "print-variable");
      describe(i, article, true, "h3");
      made.push(article);
    }
    printArea.replaceChildren(...made);
  }
  // Small views are kept ready, so printing that fires no event still shows them.
  let printTimer = 0;
  function schedulePrint() {
    clearTimeout(printTimer);
    if (view.length <= 500) printTimer = setTimeout(buildPrint, 50);
    else if (printed !== null) {
      printed = null;
      printArea.replaceChildren();
    }
  }
  window.addEventListener("beforeprint", buildPrint);

  // --- start ----------------------------------------------------------------------

  filter();
  fromHash();
  // Marks for scripts/page-figures: the index is in the page, then on screen
  // (the frame after the one that drew it), then the search is ready.
  performance.mark("codebook-index");
  requestAnimationFrame(() => requestAnimationFrame(() => {
    performance.mark("codebook-painted");
    // The search texts are made once the first rows are on screen (a search
    // typed sooner makes them itself).
    setTimeout(() => {
      prepare();
      performance.mark("codebook-search-ready");
    }, 0);
  }));
})();
