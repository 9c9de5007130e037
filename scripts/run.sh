#!/usr/bin/env bash
# Builds qvccfg and the module, makes the default world when it is missing (else installs the
# module just built into it), and shows its forms and the list as the console shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target qvccfg >/dev/null
world="${QVCCFG_WORLD:-$HOME/.qvccfg/world}"
export QVCCFG_WORLD="$world"
if [ -f "$world/world.ini" ]; then
  build/qvccfg install >/dev/null
else
  build/qvccfg init
fi
for f in "$world"/CORE1/D/Apps/Main/QVLOGON/*.FRM; do
  build/qvccfg show "$f"
done
build/qvccfg plugins
build/qvccfg list
