#!/usr/bin/env bash
# Builds the app and runs it against its embedded default backend.
# Without a desktop session (no DISPLAY) it runs the headless simulation.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target velnor

app="$root/build/release/src/app/velnor"
if [ -z "${DISPLAY:-}" ] || [ "${1:-}" = "--simulate" ]; then
  exec "$app" --simulate
fi
exec "$app" "$@"
