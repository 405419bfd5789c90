#!/usr/bin/env python3
"""Turns the .time files of scripts/tool-figures into the tool section of
docs/performance.md, with its targets.

Usage: tool_markdown.py FIGURES_DIR >> docs/performance.md
"""

import os
import sys


def figures(folder, label):
    with open(os.path.join(folder, label + ".time"), encoding="utf-8") as f:
        seconds, kib = f.read().split()[:2]
    return float(seconds), float(kib) * 1024


def dictionary(folder, variables):
    """The median time and the highest peak of the three runs at one size."""
    runs = [figures(folder, f"dictionary-{variables}-{r}") for r in (1, 2, 3)]
    return sorted(t for t, _ in runs)[1], max(m for _, m in runs)


def main():
    folder = sys.argv[1]
    rows = []
    small, big = dictionary(folder, 10000), dictionary(folder, 100000)
    per = (big[0] / 100000) / (small[0] / 10000)
    rows.append(("`transspace dictionary`: per variable at 100,000 ≤ 1.15 × at 10,000 (median of three runs)",
                 f"{per:.2f} × ({small[0]:.2f} s, {big[0]:.2f} s)", "1.15 ×", per <= 1.15))
    rows.append(("`transspace dictionary` at 100,000 variables: peak ≤ 1 GB",
                 f"{big[1] / 1e9:.2f} GB", "1 GB", big[1] <= 1e9))
    for label, what in (("query-100000", "without CDATA"), ("query-100000-cdata", "one CDATA section")):
        seconds, peak = figures(folder, label)
        rows.append((f"`transspace query` on the saved 100,000-variable dictionary, {what}: peak ≤ 2 GB",
                     f"{peak / 1e9:.2f} GB ({seconds:.1f} s)", "2 GB", peak <= 2e9))
    print()
    print("## The tool, whole process")
    print()
    print("`scripts/tool-figures` runs the tool under `/usr/bin/time` (wall seconds, peak resident")
    print("memory) on generated sources, after the benchmarks. The peaks are the Xerces-C DOM")
    print("documents: the dictionary's, and while a parsed file is copied into its value, two of them.")
    print()
    print("| target | measured | limit | |")
    print("|---|---|---|---|")
    for target, measured, limit, met in rows:
        print(f"| {target} | {measured} | {limit} | {'met' if met else '**missed**'} |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
