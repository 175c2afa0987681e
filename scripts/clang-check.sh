#!/usr/bin/env bash
# The Clang step of CI on its own: checks the house style with clang-format, builds the product
# once more with clang-14, warnings as errors (the project's own warning set, no sanitizers; the
# tests are left to the sanitizer build, which keeps this step short on a two-core machine), then
# runs clang-tidy-14 with .clang-tidy over the product sources in src/, using that build's compile
# database. Exits non-zero on any warning of
# either. The build lands in build/clang; the tidy findings in build/clang/clang-tidy.log.
#   scripts/clang-check.sh [--no-setup]     (--no-setup: the packages are known to be there)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "${1:-}" != "--no-setup" ]; then
    bash scripts/setup.sh
fi
jobs=${VELMOR_JOBS:-$(nproc)}

echo "clang-check: the house style (scripts/format.sh --check)"
bash scripts/format.sh --check
build=build/clang

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# No build type: no optimisation and no debug information, the quickest build that still sees
# every warning; Clang's warnings do not depend on the optimiser.
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE= -DVELMOR_SANITIZE=OFF -DVELMOR_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS=-Werror -DCMAKE_CXX_FLAGS=-Werror "${launcher[@]}" >/dev/null
echo "clang-check: building with clang-14 -Werror ($jobs jobs)"
cmake --build "$build" --parallel "$jobs"

# The generated sources (moc, resources) are Qt's; only our own files in src/ are checked. A
# finding in a header shows once per file that includes it, hence the sort.
echo "clang-check: clang-tidy-14 over src/ ($jobs jobs)"
log="$build/clang-tidy.log"
status=0
run-clang-tidy-14 -p "$build" -j "$jobs" -quiet "^$root/src/.*\.cpp\$" >"$log" 2>&1 || status=$?
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^/.*: (warning|error): ' | sort -u || true)
if [ -n "$findings" ]; then
    echo "$findings"
    echo "clang-check: $(echo "$findings" | wc -l) clang-tidy finding(s); details in $log" >&2
    exit 1
fi
if [ "$status" -ne 0 ]; then
    cat "$log" >&2
    echo "clang-check: clang-tidy failed ($status)" >&2
    exit 1
fi
echo "clang-check: no findings"
