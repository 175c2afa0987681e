#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test headless under CTest, then builds once more with Clang, warnings as errors, and
# runs clang-tidy over the product sources (scripts/clang-check.sh, which also runs on its own); the
# QML lint (scripts/qmllint.sh) runs between the two.
# Arguments go to ctest, for example `scripts/test.sh -L unit` for the quick tier; any argument
# skips the Clang step, which checks the whole tree.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMOR_SANITIZE=ON -DVELMOR_BUILD_TESTS=ON
cmake --build "$build" --parallel "$(nproc)"
(cd "$build" && ctest --output-on-failure --parallel "$(nproc)" "$@")
if [ $# -eq 0 ]; then
    bash scripts/qmllint.sh "$build"
    bash scripts/clang-check.sh --no-setup
fi
