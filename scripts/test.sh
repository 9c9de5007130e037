#!/usr/bin/env bash
# Builds and runs every test: the unit tests with g++ (and the tests of the console's threads
# under ThreadSanitizer), the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
# with clang, and each fuzz target for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
fuzz_seconds="${QV_FUZZ_SECONDS:-20}"

# The checkers: the C++ files as clang-format writes them (.clang-format), the console's code
# by clang-tidy (.clang-tidy, with the build's compile_commands.json, below), and the
# JavaScript by eslint (eslint.config.mjs, the version pinned in package.json).
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
npx --no-install eslint console/web tests/e2e tests/console bench/*.mjs scripts/*.mjs eslint.config.mjs

# Line tables are all a failing test's backtrace needs, and they cost a third less to compile
# than full debug information.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DQV_BENCH=ON -DQV_TSAN=ON >/dev/null
printf '%s\0' console/*.cpp | xargs -0 -n 2 -P 2 clang-tidy -p build --quiet
cmake --build build -j2
(cd build && ctest --output-on-failure -j2)

CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O0 -gline-tables-only" -DQV_SANITIZE=ON -DQV_FUZZ=ON >/dev/null
cmake --build build-asan -j2
(cd build-asan && ctest --output-on-failure -j2)

# Each fuzz target runs for a while on its own corpus; two at a time, one per core.
fuzz_one() {
  local target=$1 corpus seeds
  corpus=$(mktemp -d)
  # Committed seeds (fuzz/seeds/<target>) are read beside the new corpus, which takes the
  # units found.
  seeds="fuzz/seeds/$(basename "$target" | sed 's/^fuzz_//')"
  [ -d "$seeds" ] || seeds=""
  if ! "$target" -max_total_time="$fuzz_seconds" -max_len=4096 -artifact_prefix="$corpus/" \
      "$corpus" ${seeds:+"$seeds"} >"$corpus/log" 2>&1; then
    tail -n 60 "$corpus/log"
    ls "$corpus"/crash-* "$corpus"/leak-* 2>/dev/null | while read -r unit; do
      echo "failing input ($unit): $(base64 -w0 "$unit")"
    done
    return 1
  fi
  echo "$(basename "$target") for ${fuzz_seconds}s: $(tail -n 1 "$corpus/log")"
  rm -rf "$corpus"
}
export -f fuzz_one
export fuzz_seconds
ls build-asan/fuzz_* | xargs -P 2 -I{} bash -c 'fuzz_one {}'
echo "all tests passed"
