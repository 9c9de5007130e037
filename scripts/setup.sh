#!/usr/bin/env bash
# Installs the Debian packages and the npm packages the build, the console and the tests need,
# when any is missing. `setup.sh run` installs what running the console needs; with no
# argument it installs everything the tests need as well (chromium, playwright-core, the
# checkers: clang-format, clang-tidy, eslint; sshd and Ansible for the client machines).
set -euo pipefail
cd "$(dirname "$0")/.."
need=()
packages=(cmake g++ libexpat1-dev locales python3 nlohmann-json3-dev libcpp-httplib-dev
  pkg-config nodejs)
if [ "${1:-}" != run ]; then
  packages+=(clang libclang-rt-14-dev libgtest-dev libbenchmark-dev strace chromium clang-format
    clang-tidy openssh-server ansible-core)
fi
for pkg in "${packages[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
# Debian's nodejs comes without npm; other builds of nodejs bring it along.
command -v npm >/dev/null || need+=(npm)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}"
fi
# npm packages, pinned in package.json; no lock file is written (.npmrc).
if [ "${1:-}" = run ]; then
  [ -f node_modules/98.css/dist/98.css ] || npm install --omit=dev --no-audit --no-fund --loglevel=error
else
  [ -f node_modules/playwright-core/package.json ] && [ -f node_modules/98.css/dist/98.css ] &&
    [ -f node_modules/eslint/package.json ] ||
    npm install --no-audit --no-fund --loglevel=error
fi
