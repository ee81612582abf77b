#!/usr/bin/env bash
# Builds everything and runs every test suite (all CTest labels), starting the
# services the tests need and stopping them afterwards. Then the unit and
# desktop suites once more built with AddressSanitizer and UBSan (use-after-free
# faults show only there), and the Debian packages built exactly as the README
# tells a user, checked by the package test.
# Usage: scripts/test.sh            the whole run (what .ci/run calls)
#        scripts/test.sh <preset>   one preset's build and all its tests
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# Cache entries keyed on paths relative to this checkout: a clone in another
# folder reuses them.
export CCACHE_BASEDIR="$root"

bash scripts/install-deps.sh

build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}
run_tests() {
  local preset="$1"
  shift
  bash scripts/with-services.sh ctest --preset "$preset" --output-on-failure -j2 "$@"
}
section() { echo "=== $* ($(date -u +%H:%M:%S))"; }

if [ $# -gt 0 ]; then
  build "$1"
  run_tests "$1"
  exit
fi

section "dev: build, every label"
build dev
# The package test runs once, on the release packages below.
run_tests dev -E '^PackagesInstallAndRun$'

section "asan: build, unit and desktop labels"
build asan
run_tests asan -L '^(unit|desktop)$'

section "release: the README's package commands"
cmake --preset release && cmake --build --preset release
(cd build/release && cpack -G DEB)
# The release preset builds no tests: the dev tree's package test checks them.
VELNOR_PACKAGES_DIR="$root/build/release" run_tests dev -R '^PackagesInstallAndRun$' --no-tests=error

section "release: the README's run command, on a virtual X11 desktop and on headless Sway"
# No display here, so each runs one spoken dictation and prints what was typed.
run_demo() {
  local typed="$1" output
  shift
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY bash scripts/run.sh "$@" 2>&1) || { echo "$output"; return 1; }
  grep -E "^$typed: .+" <<<"$output" || { echo "$output"; echo "run.sh $*: nothing was typed" >&2; return 1; }
}
run_demo "Typed into the GTK entry"
run_demo "Typed into the Wayland GTK entry" --wayland
section "done"
