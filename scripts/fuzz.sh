#!/usr/bin/env bash
# Builds the menu-generation fuzzer with clang (libFuzzer, ASan, UBSan) in build/fuzz and runs
# it for the given number of seconds (default 60), starting from the seeds in fuzz/corpus.
#
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build/fuzz

bash scripts/deps.sh clang libclang-rt-14-dev

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSETUP_TESTS=OFF -DSETUP_SANITIZE=ON -DSETUP_FUZZ=ON \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
cmake --build "$build" -j2 --target tool_menu_fuzzer

# New inputs go to the build folder; the committed seeds are only read.
mkdir -p "$build/corpus/tool_menu" "$build/artifacts"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  "$build/fuzz/tool_menu_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/" "$build/corpus/tool_menu" fuzz/corpus/tool_menu
