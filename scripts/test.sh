#!/usr/bin/env bash
# Builds everything and runs every test suite (all CTest labels), starting the
# services the tests need and stopping them afterwards.
# Usage: scripts/test.sh [preset]   (dev by default; asan runs the same suite)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${1:-dev}"
cd "$root"

bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
bash scripts/with-services.sh ctest --preset "$preset" --output-on-failure -j2
