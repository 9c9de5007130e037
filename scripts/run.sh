#!/usr/bin/env bash
# Builds qvccfg, makes the default world when it is missing, and shows its forms.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target qvccfg >/dev/null
world="${QVCCFG_WORLD:-$HOME/.qvccfg/world}"
[ -f "$world/world.ini" ] || build/qvccfg init --world "$world"
export QVCCFG_WORLD="$world"
for f in "$world"/CORE1/D/Apps/Main/QVLOGON/*.FRM; do
  build/qvccfg show "$f"
done
