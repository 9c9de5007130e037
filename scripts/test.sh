#!/usr/bin/env bash
# Builds and runs every test: the unit tests with g++, the same tests under AddressSanitizer
# and UndefinedBehaviorSanitizer with clang, and each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
fuzz_seconds="${QV_FUZZ_SECONDS:-30}"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BENCH=ON >/dev/null
cmake --build build -j2
(cd build && ctest --output-on-failure -j2)

CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug \
  -DQV_SANITIZE=ON -DQV_FUZZ=ON >/dev/null
cmake --build build-asan -j2
(cd build-asan && ctest --output-on-failure -j2)

for target in build-asan/fuzz_*; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  echo "fuzzing $(basename "$target") for ${fuzz_seconds}s"
  "$target" -max_total_time="$fuzz_seconds" -max_len=4096 -print_final_stats=0 "$corpus" 2>&1 | tail -n 2
  rm -rf "$corpus"
done
echo "all tests passed"
