# What the scripts that time the tool as a whole process share; sourced by
# scripts/tool-figures and scripts/store-figures, with the repository's root
# as the working directory.

# figures_sources WORK N...: WORK/source-N.json, the generated data source of
# N variables (scripts/json-source), made once and kept.
figures_sources() {
    local work=$1 n
    shift
    for n in "$@"; do
        [ -s "$work/source-$n.json" ] ||
            /usr/bin/python3 scripts/json-source "$n" >"$work/source-$n.json"
    done
}

# figures_cdata IN OUT: the document IN with one CDATA section at the start
# of its root element.
figures_cdata() {
    sed '0,/<dictionary[^>]*>/s//&<![CDATA[one CDATA section]]>/' "$1" >"$2"
}

# figures_run WORK LABEL COMMAND...: runs COMMAND under /usr/bin/time -v, its
# standard output to WORK/LABEL.out and time's report to WORK/LABEL.timev;
# WORK/LABEL.time gets "WALL_SECONDS PEAK_KIB USER_SECONDS SYSTEM_SECONDS".
# Fails as COMMAND fails.
figures_run() {
    local work=$1 label=$2
    shift 2
    /usr/bin/time -v -o "$work/$label.timev" "$@" >"$work/$label.out"
    awk -F': ' '
        /Elapsed \(wall clock\)/ {
            n = split($2, p, ":"); wall = 0
            for (i = 1; i <= n; i++) wall = wall * 60 + p[i]
        }
        /Maximum resident set size/ { kib = $2 }
        /User time \(seconds\)/ { user = $2 }
        /System time \(seconds\)/ { sys = $2 }
        END { printf "%.2f %d %.2f %.2f\n", wall, kib, user, sys }
    ' "$work/$label.timev" >"$work/$label.time"
}
