#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds examples/consumer against
# it twice: through find_package and through pkg-config. Both must run.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -e "$work/prefix/lib/libtransspace.so.1" || { echo "no SONAME link installed"; exit 1; }

cmake -S "$source/examples/consumer" -B "$work/cmake-build" \
      -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
out=$(LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/consumer")
[ "$out" = "hello from the space" ] || { echo "find_package consumer printed: $out"; exit 1; }

export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
g++ -std=c++17 "$source/examples/consumer/main.cpp" -o "$work/pc-consumer" \
    $(pkg-config --cflags --libs transspace)
out=$(LD_LIBRARY_PATH="$work/prefix/lib" "$work/pc-consumer")
[ "$out" = "hello from the space" ] || { echo "pkg-config consumer printed: $out"; exit 1; }
echo "consumer ran through find_package and pkg-config"
