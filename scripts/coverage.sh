#!/usr/bin/env bash
# Builds the coverage preset, runs the unit and integration labels with the
# services they need, and prints line and branch coverage of src/ and server/.
# Usage: scripts/coverage.sh [extra ctest arguments]
# VELNOR_COVERAGE_JOBS limits the build's parallel jobs (the build runs at low
# priority either way, so a shared machine keeps serving the others).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export CCACHE_BASEDIR="$root"

command -v gcovr >/dev/null || bash scripts/install-deps.sh

cmake --preset coverage >/dev/null
nice -n 10 cmake --build --preset coverage ${VELNOR_COVERAGE_JOBS:+-j "$VELNOR_COVERAGE_JOBS"}

# Counters of an earlier run would add to this one's.
find build/coverage -name '*.gcda' -delete

status=0
bash scripts/with-services.sh ctest --preset coverage -L '^(unit|integration)$' -j2 "$@" || status=$?

# The per-file report goes into the build tree: gcovr replaces its output
# file, and as root an output of /dev/null would replace the device itself.
# Branches that only exist for exceptions the code never throws would drown
# the figure in noise; both are left out of every run alike.
gcovr --root "$root" --filter "$root/src/" --filter "$root/server/" \
  --exclude-throw-branches --exclude-unreachable-branches \
  -j 2 --print-summary --output "$root/build/coverage/coverage.txt" build/coverage

[ "$status" -eq 0 ] || echo "coverage: some tests failed (ctest exit $status); the figures include only what ran" >&2
exit "$status"
