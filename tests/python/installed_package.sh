#!/usr/bin/env bash
# Installs the package from the source tree into a fresh venv with the line the
# README gives (Debian's packages only, no package index), then runs the pytest
# suite against the installed package.
set -euo pipefail
source=$1
tool=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 -m venv --system-site-packages "$work/venv"
# ccache where there is one; the build is the libraries and the module only.
if command -v ccache >/dev/null && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
(cd "$source" && "$work/venv/bin/pip" install --no-build-isolation --no-index -q . >"$work/pip.log" 2>&1) \
    || { cat "$work/pip.log"; exit 1; }

cd "$source/tests/python"
where=$(env -u PYTHONPATH "$work/venv/bin/python" -c "import transspace; print(transspace.__file__)")
case $where in
    "$work"/venv/*) ;;
    *) echo "transspace was imported from $where, not from the venv"; exit 1 ;;
esac
env -u PYTHONPATH -u LD_LIBRARY_PATH TRANSSPACE_SOURCE_DIR="$source" TRANSSPACE_TOOL="$tool" \
    PYTHONDONTWRITEBYTECODE=1 "$work/venv/bin/python" -m pytest -q .
echo "the installed package passed"
