#!/usr/bin/env python3
"""Turns one run of transspace_bench (its JSON output) into docs/performance.md.

Usage: bench_markdown.py BUILD_DIR RESULTS.json... > docs/performance.md

Every time is the median CPU time per iteration over the repetitions of one
run; a ratio is ours divided by the twin's. Exits 1 when a benchmark of the
run stopped with an error (the document is still written, with the error).
"""

import json
import os
import re
import statistics
import subprocess
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


# User counters some benchmarks report beside their times (bytes, shares),
# kept per repetition.
COUNTERS = ("view_bytes", "index_bytes", "peak_of_limit", "file_bytes", "heap_peak_bytes",
            "source_bytes")


def load(paths):
    context, runs, errors, counters = {}, {}, {}, {}
    for path in paths:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        context = context or data.get("context", {})
        read(data, runs, errors, counters)
    return context, runs, errors, counters


def read(data, runs, errors, counters):
    for b in data.get("benchmarks", []):
        if b.get("run_type", "iteration") != "iteration":
            continue
        name = re.sub(r"/(iterations|repeats):\d+", "", b.get("run_name", b["name"]))
        if b.get("error_occurred"):
            errors[name] = b.get("error_message", "error")
            continue
        runs.setdefault(name, []).append(b["cpu_time"] * UNIT_NS[b.get("time_unit", "ns")])
        for key in COUNTERS:
            if key in b:
                counters.setdefault(name, {}).setdefault(key, []).append(b[key])


class Results:
    def __init__(self, runs, errors, counters=None):
        self.runs, self.errors, self.counters = runs, errors, counters or {}

    def counter(self, name, key):
        values = self.counters.get(name, {}).get(key)
        return statistics.median(values) if values else None

    def counter_max(self, name, key):
        values = self.counters.get(name, {}).get(key)
        return max(values) if values else None

    def has(self, name):
        return name in self.runs

    def t(self, name):
        return statistics.median(self.runs[name])

    def spread(self, name):
        return min(self.runs[name]), max(self.runs[name])

    def count(self, name):
        return len(self.runs[name])


def fmt(ns):
    if ns is None:
        return "–"
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def ratio(a, b):
    return a / b if b else float("inf")


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def memory_gib():
    try:
        with open("/proc/meminfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("MemTotal:"):
                    return f"{int(line.split()[1]) / 1024 / 1024:.1f} GiB"
    except OSError:
        pass
    return "unknown"


def command(*args):
    try:
        out = subprocess.run(args, capture_output=True, text=True, check=False).stdout
        return out.strip().splitlines()[0] if out.strip() else "unknown"
    except OSError:
        return "unknown"


def package_version(package):
    return command("dpkg-query", "-W", "-f=${Version}", package)


def compiler(build_dir):
    try:
        with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as f:
            for line in f:
                if line.startswith("CMAKE_CXX_COMPILER:"):
                    return command(line.split("=", 1)[1].strip(), "--version")
    except OSError:
        pass
    return "unknown"


# The pairs: group, case, ours, twins (label, benchmark).
SIZES = (1000, 10000, 100000)
ENCODINGS = (("UTF16", "asUTF16XML"), ("UTF-8", "asMBCSXML, UTF-8 mode"),
             ("windows-1252", "asMBCSXML, windows-1252"), ("Shift_JIS", "asMBCSXML, Shift_JIS"))
QUERIES = (("String", "asString"), ("StringList", "asStringList"), ("Double", "asDouble"))


def pairs():
    out = []
    for n in SIZES:
        out.append(("Dictionary", f"build, {n:,} variables", f"BM_DictionaryBuild/{n}",
                    [("bare Xerces build", f"BM_BareXercesBuild/{n}")]))
    for n in (1000, 100000):
        out.append(("Dictionary", f"build + first query, {n:,} variables",
                    f"BM_DictionaryBuildFirstQuery/{n}",
                    [("bare Xerces build", f"BM_BareXercesBuild/{n}")]))
    for n in (1000, 100000):
        out.append(("Copies", f"space add, {n:,} variables", f"BM_SpaceAdd/{n}",
                    [("importNode copy", f"BM_BareImportNode/{n}"),
                     ("importNode copy + wrapper view", f"BM_BareImportNodeWrapper/{n}")]))
    for n in (1000, 100000):
        for suffix, label in ENCODINGS:
            out.append(("Serialisation", f"{label}, {n:,} variables", f"BM_ValueXML/{suffix}/{n}",
                        [("bare DOMLSSerializer", f"BM_BareSerializer/{suffix}/{n}")]))
            out.append(("Serialisation", f"{label}, {n:,} variables, the writer alone on the store",
                        f"BM_StoreWriter/{suffix}/{n}",
                        [("bare DOMLSSerializer", f"BM_BareSerializer/{suffix}/{n}")]))
    for n in SIZES:
        for kind, label in QUERIES:
            out.append(("Queries", f"{label}, {n:,} variables", f"BM_Query{kind}/{n}",
                        [("bare Xalan, source tree", f"BM_BareXalan{kind}/{n}"),
                         ("libxml2", f"BM_Libxml2{kind}/{n}")]))
        out.append(("Queries", f"asString, one CDATA section, {n:,} variables",
                    f"BM_QueryStringCDATA/{n}",
                    [("the same document without it", f"BM_QueryString/{n}")]))
        if n >= 100000:
            continue  # the literal query there only on request
        out.append(("Queries", f"asString, {n:,} variables", f"BM_QueryString/{n}",
                    [("the same path left to the processor (before the index)",
                      f"BM_QueryStringUnindexed/{n}")]))
        out.append(("Queries", f"asString, {n:,} variables", f"BM_QueryString/{n}",
                    [("literal query (resolver per query, wrapper view)",
                      f"BM_LiteralQueryString/{n}")]))
    for n in (10000, 100000):
        out.append(("DDI", f"write, {n:,} variables", f"BM_DdiWrite/{n}",
                    [("dictionary build + UTF-8 text (transspace dictionary)",
                      f"BM_DictionaryBuildText/{n}")]))
    for n in (10000, 100000):
        out.append(("Codebook page", f"write, {n:,} variables", f"BM_CodebookPage/{n}",
                    [("DDI write, same source", f"BM_DdiWrite/{n}")]))
    for n in SIZES:
        out.append(("DDI", f"load, {n:,} variables", f"BM_LoadDDI/{n}",
                    [("JSON loader, same source", f"BM_LoadJSON/{n}")]))
    for n in SIZES:
        out.append(("Query view", f"view of the document, one CDATA section, {n:,} variables",
                    f"BM_QueryViewMakeCDATA/{n}",
                    [("the same document without it", f"BM_QueryViewMake/{n}")]))
        out.append(("Query view", f"attribute index, {n:,} variables",
                    f"BM_AttributeIndexMake/{n}",
                    [("view of the document", f"BM_QueryViewMake/{n}")]))
    out.append(("Query view", "every label by name, 100,000 variables",
                "BM_ReadAllLabels/100000",
                [("view of the document", "BM_QueryViewMake/100000")]))
    for n in (1000, 1000000):
        out.append(("Registry", f"find among {n:,} names", f"BM_SpaceFind/{n}",
                    [("std::map, upper-case keys", f"BM_BareMapFind/{n}")]))
    for size in (10, 10000):
        for page in ("UTF-8", "windows-1252"):
            length = "short" if size == 10 else "long"
            out.append(("Text", f"TransString from multibyte, {length}, {page}",
                        f"BM_TransStringFromMBCS/{page}/{size}",
                        [("bare ICU, one converter", f"BM_BareICUToUTF16/{page}/{size}")]))
            out.append(("Text", f"TransString to multibyte, {length}, {page}",
                        f"BM_TransStringToMBCS/{page}/{size}",
                        [("bare ICU, one converter", f"BM_BareICUToMBCS/{page}/{size}")]))
    for n in (10000, 100000):
        out.append(("Diff", f"diff of two sources, {n:,} variables", f"BM_DiffSources/{n}",
                    [("building their two dictionaries", f"BM_DiffBaselineDictionaries/{n}")]))
    out.append(("Diff", "diff of two saved dictionaries (parse included), 100,000 variables",
                "BM_DiffSavedDictionaries/100000",
                [("building two dictionaries", "BM_DiffBaselineDictionaries/100000")]))
    return out


def overlap_note(r, ours, twin):
    a, b = r.spread(ours), r.spread(twin)
    if r.count(ours) > 1 and r.count(twin) > 1 and a[0] <= b[1] and b[0] <= a[1]:
        return (f" The repetitions overlap (ours {fmt(a[0])}–{fmt(a[1])}, twin "
                f"{fmt(b[0])}–{fmt(b[1])}): the gap is within this run's noise.")
    return ""


def targets(r):
    """Rows of (target, subject, measured, limit, met, reason)."""
    rows = []

    def need(*names):
        return all(r.has(n) for n in names)

    for n in SIZES:
        for kind, label in QUERIES:
            ours, bare = f"BM_Query{kind}/{n}", f"BM_BareXalan{kind}/{n}"
            if not need(ours, bare):
                continue
            q = ratio(r.t(ours), r.t(bare))
            reason = ""
            if q > 1.2:
                reason = (f"{fmt(r.t(ours) - r.t(bare))} more per query than bare Xalan, whose "
                          f"time is {fmt(r.t(bare))}." + overlap_note(r, ours, bare))
            rows.append(("by-name query ≤ 1.2 × bare Xalan (source tree, reused resolver)",
                         f"{label}, {n:,}", f"{q:.2f} ×", "1.2 ×", q <= 1.2, reason))
    for kind, label in QUERIES:
        ours, bare = f"BM_Query{kind}/100000", f"BM_BareXalan{kind}/100000"
        if not need(ours):
            continue
        t = r.t(ours)
        reason = ""
        if t > 100e6 and r.has(bare):
            reason = f"Bare Xalan itself takes {fmt(r.t(bare))} here."
        rows.append(("by-name query ≤ 100 ms at 100,000 variables", label, fmt(t), "100 ms",
                     t <= 100e6, reason))
    for n in SIZES:
        for kind, label in QUERIES:
            ours, lib, bare = f"BM_Query{kind}/{n}", f"BM_Libxml2{kind}/{n}", f"BM_BareXalan{kind}/{n}"
            if not need(ours, lib):
                continue
            q = ratio(r.t(ours), r.t(lib))
            reason = ""
            if q >= 1.0:
                reason = f"{fmt(r.t(ours) - r.t(lib))} slower than libxml2."
                if r.has(bare):
                    reason += (f" Bare Xalan on its source tree takes {fmt(r.t(bare))} "
                               f"({ratio(r.t(bare), r.t(lib)):.2f} × libxml2): the gap is the "
                               f"XPath processor's walk of the document, not what the library "
                               f"adds to it.")
                reason += overlap_note(r, ours, lib)
            rows.append(("by-name query faster than libxml2", f"{label}, {n:,}", f"{q:.2f} ×",
                         "< 1 ×", q < 1.0, reason))
    if need("BM_LoadJSON/10000", "BM_LoadJSON/100000"):
        q = ratio(r.t("BM_LoadJSON/100000") / 100000, r.t("BM_LoadJSON/10000") / 10000)
        rows.append(("JSON load linear: per variable at 100,000 ≤ 1.15 × at 10,000", "JSON load",
                     f"{q:.2f} ×", "1.15 ×", q <= 1.15,
                     "" if q <= 1.15 else "The loader's time grows faster than the file."))
    for kind, label in QUERIES:
        ours, lib = f"BM_Query{kind}/100000", f"BM_Libxml2{kind}/100000"
        if need(ours):
            t = r.t(ours)
            rows.append(("by-name query ≤ 50 µs at 100,000 variables", label, fmt(t), "50 µs",
                         t <= 50e3, "" if t <= 50e3 else
                         f"The repetitions ran {fmt(r.spread(ours)[0])}–{fmt(r.spread(ours)[1])}."))
        if need(ours, lib):
            q = ratio(r.t(lib), r.t(ours))
            rows.append(("by-name query ≥ 200 × faster than libxml2 at 100,000 variables",
                         label, f"{q:,.0f} ×", "200 ×", q >= 200,
                         "" if q >= 200 else f"libxml2 takes {fmt(r.t(lib))}, ours "
                         f"{fmt(r.t(ours))}."))
    ours, before = "BM_QueryString/1000", "BM_QueryStringUnindexed/1000"
    if need(ours, before):
        q = ratio(r.t(ours), r.t(before))
        rows.append(("by-name query at 1,000 variables no slower than before the index",
                     "asString, 1,000", f"{q:.2f} ×", "1 ×", q <= 1,
                     "" if q <= 1 else f"{fmt(r.t(ours) - r.t(before))} more per query than "
                     f"the processor's walk." + overlap_note(r, ours, before)))
    if need("BM_ReadAllLabels/100000"):
        t = r.t("BM_ReadAllLabels/100000")
        reason = ""
        if t > 10e9 and r.has("BM_QueryViewMake/100000"):
            reason = (f"The view made by the first query takes {fmt(r.t('BM_QueryViewMake/100000'))} "
                      f"of it.")
        rows.append(("a host reading every label of 100,000 variables by name ≤ 10 s",
                     "first query, view and index included", fmt(t), "10 s", t <= 10e9, reason))
    for n in SIZES:
        index, view = f"BM_AttributeIndexMake/{n}", f"BM_QueryViewMake/{n}"
        if need(index, view):
            q = ratio(r.t(index), r.t(view))
            rows.append(("attribute index built in ≤ 20 % of the query view's time",
                         f"{n:,} variables", f"{q:.1%}", "20 %", q <= 0.2,
                         "" if q <= 0.2 else overlap_note(r, index, view)))
        bytes_index = r.counter(index, "index_bytes")
        bytes_view = r.counter(index, "view_bytes")
        if bytes_index is not None and bytes_view:
            q = bytes_index / bytes_view
            rows.append(("attribute index ≤ 10 % more memory than the query view",
                         f"{n:,} variables", f"{q:.1%} ({bytes_index / 1e6:.3g} MB)", "10 %",
                         q <= 0.1, ""))
    for n in SIZES:
        for ours, plain, label in ((f"BM_QueryStringCDATA/{n}", f"BM_QueryString/{n}",
                                    "asString"),
                                   (f"BM_QueryViewMakeCDATA/{n}", f"BM_QueryViewMake/{n}",
                                    "first query's view")):
            if not need(ours, plain):
                continue
            q = ratio(r.t(ours), r.t(plain))
            rows.append(("one CDATA section: ≤ 1.5 × the same document without it",
                         f"{label}, {n:,}", f"{q:.2f} ×", "1.5 ×", q <= 1.5,
                         "" if q <= 1.5 else overlap_note(r, ours, plain)))
    if need("BM_SpaceAdd/100000"):
        t = r.t("BM_SpaceAdd/100000")
        rows.append(("add of a 100,000-variable document value ≤ 1 ms", "space add", fmt(t), "1 ms",
                     t <= 1e6, "" if t <= 1e6 else "The clone did not share the document."))
    if need("BM_DictionaryBuildFirstQuery/100000", "BM_BareXercesBuild/100000"):
        ours, bare = r.t("BM_DictionaryBuildFirstQuery/100000"), r.t("BM_BareXercesBuild/100000")
        q = ratio(ours, bare)
        reason = ""
        if q > 1.5 and r.has("BM_DictionaryBuild/100000"):
            build = r.t("BM_DictionaryBuild/100000")
            reason = (f"The build alone takes {fmt(build)} ({ratio(build, bare):.2f} × bare); "
                      f"the first query adds {fmt(ours - build)}, most of it the query view "
                      f"(source tree and resolver) made once per document.")
        rows.append(("100,000-variable build + first query ≤ 1.5 × bare Xerces build",
                     "build + first query", f"{q:.2f} ×", "1.5 ×", q <= 1.5, reason))
    for n in (1000, 100000):
        for suffix, label in ENCODINGS:
            ours, bare = f"BM_ValueXML/{suffix}/{n}", f"BM_BareSerializer/{suffix}/{n}"
            if not need(ours, bare):
                continue
            q = ratio(r.t(ours), r.t(bare))
            # A code page of several bytes per character: no slower than the
            # serializer, which the value used for it before.
            limit = 1.0 if suffix == "Shift_JIS" else 1.1
            reason = ""
            if q > limit:
                gap = r.t(ours) - r.t(bare)
                reason = f"{fmt(gap)} more than the bare write."
                writer, copy = f"BM_StoreWriter/{suffix}/{n}", f"BM_XMLResultCopy/{suffix}/{n}"
                if need(writer, copy):
                    reason += (f" The value's writer alone takes {fmt(r.t(writer))} on the "
                               f"document's store, and the copy of the written text into the "
                               f"string it returns {fmt(r.t(copy))}, leaving "
                               f"{fmt(max(r.t(ours) - r.t(writer) - r.t(copy), 0))} unexplained.")
                reason += overlap_note(r, ours, bare)
            target = ("serialisation in a multibyte code page ≤ 1 × bare serializer"
                      if suffix == "Shift_JIS" else "serialisation ≤ 1.1 × bare serializer")
            rows.append((target, f"{label}, {n:,}", f"{q:.2f} ×", f"{limit:g} ×", q <= limit,
                         reason))
    if need("BM_DdiWrite/100000", "BM_DictionaryBuildText/100000"):
        ours, twin = r.t("BM_DdiWrite/100000"), r.t("BM_DictionaryBuildText/100000")
        q = ratio(ours, twin)
        rows.append(("DDI write of 100,000 variables ≤ 2 × dictionary build + text",
                     "DDI write", f"{q:.2f} ×", "2 ×", q <= 2,
                     "" if q <= 2 else f"{fmt(ours - twin)} more than the dictionary."))
    if need("BM_DdiWrite/10000", "BM_DdiWrite/100000"):
        small, big = r.t("BM_DdiWrite/10000") / 1e4, r.t("BM_DdiWrite/100000") / 1e5
        q = ratio(big, small)
        reason = ""
        if q > 1.3:
            reason = f"{fmt(big)} per variable at 100,000 against {fmt(small)} at 10,000."
        rows.append(("DDI write per variable at 100,000 ≤ 1.3 × at 10,000", "DDI write",
                     f"{q:.2f} ×", "1.3 ×", q <= 1.3, reason))
    if need("BM_CodebookPage/100000", "BM_DdiWrite/100000"):
        ours, twin = r.t("BM_CodebookPage/100000"), r.t("BM_DdiWrite/100000")
        q = ratio(ours, twin)
        reason = ""
        if q > 1:
            reason = f"{fmt(ours - twin)} more than the DDI write. The page is made from the facts"
            if r.has("BM_CodebookPageFacts/100000"):
                reason += f" that the diff reads ({fmt(r.t('BM_CodebookPageFacts/100000'))} alone)"
            reason += (", so that a source and its saved dictionary give the same page; the DDI "
                       "writer reads the source directly. Whole process, with the load, "
                       "`transspace html` takes about the time of `transspace ddi` (see The "
                       "codebook page).")
        rows.append(("codebook page write of 100,000 variables ≤ DDI write", "page write",
                     f"{q:.2f} ×", "1 ×", q <= 1, reason))
    if need("BM_CodebookPage/10000", "BM_CodebookPage/100000"):
        small = r.t("BM_CodebookPage/10000") / 1e4
        big = r.t("BM_CodebookPage/100000") / 1e5
        q = ratio(big, small)
        reason = "" if q <= 1.2 else (f"{fmt(big)} per variable at 100,000 against {fmt(small)} "
                                      "at 10,000.")
        rows.append(("codebook page write per variable at 100,000 ≤ 1.2 × at 10,000",
                     "page write", f"{q:.2f} ×", "1.2 ×", q <= 1.2, reason))
    if need("BM_SpaceFind/1000000", "BM_BareMapFind/1000000"):
        ours, bare = "BM_SpaceFind/1000000", "BM_BareMapFind/1000000"
        q = ratio(r.t(ours), r.t(bare))
        reason = "" if q <= 2 else f"{fmt(r.t(ours) - r.t(bare))} more per find." + overlap_note(
            r, ours, bare)
        rows.append(("registry find ≤ 2 × std::map", "1,000,000 names", f"{q:.2f} ×", "2 ×",
                     q <= 2, reason))
    for n in (10000, 100000):
        ours, json_load = f"BM_LoadDDI/{n}", f"BM_LoadJSON/{n}"
        if not need(ours, json_load):
            continue
        q = ratio(r.t(ours), r.t(json_load))
        rows.append(("DDI load ≤ JSON load of the same source", f"{n:,} variables", f"{q:.2f} ×",
                     "1 ×", q <= 1, "" if q <= 1 else overlap_note(r, ours, json_load).strip()))
        share = r.counter_max(ours, "peak_of_limit")
        if share:
            mib = r.counter_max(ours, "heap_peak_bytes") / 2**20
            rows.append(("DDI load peak heap ≤ 2 × file + data source", f"{n:,} variables",
                         f"{share:.2f} of the limit ({mib:.0f} MiB)", "1", share <= 1, ""))
    for page in ("UTF-8", "windows-1252"):
        for direction, ours, bare, library in (
                ("from multibyte", f"BM_TransStringFromMBCS/{page}/10",
                 f"BM_BareICUToUTF16/{page}/10", f"BM_LibraryToUTF16/{page}/10"),
                ("to multibyte", f"BM_TransStringToMBCS/{page}/10",
                 f"BM_BareICUToMBCS/{page}/10", f"BM_LibraryToMBCS/{page}/10")):
            if not need(ours, bare):
                continue
            q = ratio(r.t(ours), r.t(bare))
            reason = ""
            hold, host = f"BM_TransStringHold/{page}/10", f"BM_HostCodePageName/{page}/10"
            if q > 3 and need(hold, library, host):
                rest = r.t(ours) - r.t(hold) - r.t(library)
                reason = (f"Ours {fmt(r.t(ours))} against {fmt(r.t(bare))}. The string object "
                          f"alone (allocation, copy of the text, destruction) takes "
                          f"{fmt(r.t(hold))}; the library's conversion alone "
                          f"{fmt(r.t(library))}, of which asking the host for its code page "
                          f"at every conversion is {fmt(r.t(host))}, the rest over bare ICU "
                          f"being the check of the kept converter against that name and its "
                          f"reset; {fmt(max(rest, 0))} is left for storing the converted view.")
            rows.append(("short-text conversion ≤ 3 × bare ICU, cached converter",
                         f"{direction}, {page}", f"{q:.2f} ×", "3 ×", q <= 3, reason))
    if need("BM_DiffSources/100000", "BM_DiffBaselineDictionaries/100000"):
        q = ratio(r.t("BM_DiffSources/100000"), r.t("BM_DiffBaselineDictionaries/100000"))
        rows.append(("diff of two 100,000-variable sources ≤ building their two dictionaries",
                     "diff", f"{q:.2f} ×", "1 ×", q <= 1, ""))
    return rows


def main():
    if len(sys.argv) < 3:
        sys.stderr.write("usage: bench_markdown.py BUILD_DIR RESULTS.json...\n")
        return 2
    context, runs, errors, counters = load(sys.argv[2:])
    r = Results(runs, errors, counters)
    out = []
    w = out.append
    w("# Performance\n")
    w("Every operation below is measured side by side with its twin made of the bare "
      "libraries, on the same input and in the same run of `bench/transspace_bench`. "
      "`scripts/bench-report` builds Release, runs the suite and writes this page; nothing "
      "here is edited by hand. Times are the median CPU time per call over the repetitions "
      "of the run (repetitions interleaved at random across benchmarks, so that a load spike "
      "on the shared machine does not fall on one side of a pair only; the dictionary builds "
      "run first, in order, in a process of their own, three times each); a ratio is ours "
      "divided by the twin's, so below 1 means faster.\n")
    w("## Machine and run\n")
    load_avg = context.get("load_avg")
    rows = [
        ("CPU", cpu_model()),
        ("cores", str(os.cpu_count())),
        ("memory", memory_gib()),
        ("date", context.get("date", "unknown")),
        ("load average at start", ", ".join(f"{x:.2f}" for x in load_avg) if load_avg else "–"),
        ("commit", command("git", "rev-parse", "--short", "HEAD")),
        ("compiler", compiler(sys.argv[1])),
        ("Xerces-C", package_version("libxerces-c-dev")),
        ("Xalan-C", package_version("libxalan-c-dev")),
        ("ICU", package_version("libicu-dev")),
        ("libxml2", package_version("libxml2-dev")),
        ("Google Benchmark", package_version("libbenchmark-dev") +
         (" (the distribution's build reports itself as debug; it only times)"
          if context.get("library_build_type") == "debug" else "")),
    ]
    w("| | |\n|---|---|")
    for k, v in rows:
        w(f"| {k} | {v} |")
    w("")

    w("## Targets\n")
    w("| target | case | measured | limit | | reason when missed |\n|---|---|---|---|---|---|")
    met = missed = 0
    for target, subject, measured, limit, ok, reason in targets(r):
        met += ok
        missed += not ok
        w(f"| {target} | {subject} | {measured} | {limit} | {'met' if ok else '**missed**'} "
          f"| {reason} |")
    w(f"\n{met} met, {missed} missed.\n")

    w("## Pairs\n")
    group = None
    for g, case, ours, twins in pairs():
        if g != group:
            group = g
            w(f"\n### {g}\n")
            w("| case | ours | twin | twin's time | ours / twin |\n|---|---|---|---|---|")
        for label, twin in twins:
            a = r.t(ours) if r.has(ours) else None
            b = r.t(twin) if r.has(twin) else None
            q = "–"
            if a is not None and b is not None:
                q = f"{ratio(a, b):.2f}" if ratio(a, b) >= 0.01 else f"1 / {b / a:,.0f}"
            if ours in errors or twin in errors:
                q = "error: " + errors.get(ours, errors.get(twin, ""))
            w(f"| {case} | {fmt(a)} | {label} | {fmt(b)} | {q} |")
    w("")

    paired = {ours for _, _, ours, _ in pairs()} | {t for _, _, _, ts in pairs() for _, t in ts}
    rest = sorted(n for n in runs if n not in paired)
    if rest:
        w("## Parts measured on their own\n")
        w("What the reasons above are made of: the value's steps around its write, and the "
          "pieces of a short conversion.\n")
        w("| benchmark | time | repetitions |\n|---|---|---|")
        for n in rest:
            w(f"| `{n}` | {fmt(r.t(n))} | {r.count(n)} |")
        w("")
    if errors:
        w("## Errors\n")
        for n, message in sorted(errors.items()):
            w(f"- `{n}`: {message}")
        w("")
    sys.stdout.write("\n".join(out))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
