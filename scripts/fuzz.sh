#!/usr/bin/env bash
# Builds the libFuzzer targets of the HID input handling with clang (ASan + UBSan) and runs each
# for a while, starting from the committed corpus. New inputs go to build/fuzz/corpus/<target>;
# crashes are written to build/fuzz/artifacts/.
#
#   scripts/fuzz.sh                 # every target, 300 s each
#   scripts/fuzz.sh 60 fuzz_transport
#   scripts/fuzz.sh merge           # minimise the found inputs into tests/fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build/fuzz
declare -A corpus=([fuzz_transport]=transport [fuzz_bytes_to_eq]=eq [fuzz_bytes_to_anc_eq]=anc_eq)
all=(fuzz_transport fuzz_bytes_to_eq fuzz_bytes_to_anc_eq)

mode=run
seconds=300
if [ "${1:-}" = merge ]; then
  mode=merge
  shift
elif [ -n "${1:-}" ]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMOR_SANITIZE=ON -DVELMOR_FUZZ=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$build" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  found="$build/corpus/${corpus[$target]}"
  committed="tests/fuzz/corpus/${corpus[$target]}"
  mkdir -p "$found"
  if [ "$mode" = merge ]; then
    "$build/tests/fuzz/$target" -merge=1 "$committed" "$found"
  else
    echo "== $target: $seconds s"
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 \
      -artifact_prefix="$build/artifacts/$target-" "$found" "$committed"
  fi
done
