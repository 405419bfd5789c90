#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds examples/consumer against
# it twice: through find_package and through pkg-config. Both must run. The
# README shows the same program, so it is checked to be the same text.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
prefix=$work/prefix
for file in lib/libtransspace.so.1 lib/libtransspace-host.so.1 include/transspace/TransSpace.h \
            include/transspace/host/VornXmlReader.h share/transspace/schema/dictionary-1.0.xsd \
            share/transspace/schema/ddi-codebook-2.5/schemas/codebook.xsd \
            share/transspace/schema/ddi-codebook-2.5/schemas/XHTML/xhtml-table-1.xsd \
            share/transspace/schema/ddi-codebook-2.5/LICENSE.txt \
            share/transspace/schema/ddi-codebook-2.5/README.md; do
    test -e "$prefix/$file" || { echo "not installed: $file"; exit 1; }
done
# The tool, when it was built, runs from the installed tree on its own: it
# finds the installed libraries beside it. Its manual page comes with it.
if [ -e "$build/tools/transspace" ]; then
    test -s "$prefix/share/man/man1/transspace.1" || { echo "not installed: transspace.1"; exit 1; }
    label=$(env -u LD_LIBRARY_PATH "$prefix/bin/transspace" query "$source/examples/survey.json" \
            "/dictionary/variable[@name='age']" @label)
    [ "$label" = "Age in years" ] || { echo "installed tool printed: $label"; exit 1; }
    # validate finds the installed schemas (the source tree's serve only the
    # tool in its build tree).
    env -u LD_LIBRARY_PATH "$prefix/bin/transspace" dictionary "$source/examples/survey.json" \
        >"$work/survey.xml"
    env -u LD_LIBRARY_PATH "$prefix/bin/transspace" validate "$source/examples/codebook.xml" \
        "$work/survey.xml" || { echo "installed tool did not validate the examples"; exit 1; }
fi
# The Python package, when it was built, imports from the installed tree and
# finds the installed libraries on its own.
for site in "$prefix"/lib/python3*/site-packages; do
    [ -e "$site/transspace/__init__.py" ] || continue
    label=$(cd "$work" && env -u LD_LIBRARY_PATH PYTHONPATH="$site" /usr/bin/python3 -c \
            "import sys, transspace; print(transspace.load(sys.argv[1])['age'].label)" \
            "$source/examples/survey.json")
    [ "$label" = "Age in years" ] || { echo "installed Python package printed: $label"; exit 1; }
done

cmake -S "$source/examples/consumer" -B "$work/cmake-build" \
      -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
out=$(LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/consumer" "$source/examples/survey.json")
[ "$out" = "Age in years" ] || { echo "find_package consumer printed: $out"; exit 1; }

export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
g++ -std=c++17 "$source/examples/consumer/main.cpp" -o "$work/pc-consumer" \
    $(pkg-config --cflags --libs transspace)
out=$(LD_LIBRARY_PATH="$work/prefix/lib" "$work/pc-consumer" "$source/examples/survey.json")
[ "$out" = "Age in years" ] || { echo "pkg-config consumer printed: $out"; exit 1; }
# The README's C++ example is this program.
sed -n '/^```cpp$/,/^```$/p' "$source/README.md" | sed '1d;$d' \
    | cmp -s - "$source/examples/consumer/main.cpp" \
    || { echo "the README's C++ example differs from examples/consumer/main.cpp"; exit 1; }
echo "consumer ran through find_package and pkg-config"
