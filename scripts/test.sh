#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test headless under CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMOR_SANITIZE=ON -DVELMOR_BUILD_TESTS=ON
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"
