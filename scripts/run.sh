#!/usr/bin/env bash
# Builds the console and the Form Designer when anything is missing or changed, and starts the
# console on the default world (made on first run): open the address it prints in a browser.
# Ctrl-C stops it. Arguments go to the console (--world DIR, --port N).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target qvconsole qvccfg FrmTask >/dev/null
exec build/qvconsole "$@"
