#!/usr/bin/env bash
# Builds the app and velnor-server and runs the app against a local
# velnor-server. The desktop front end (hotkey, indicator, typing into other
# applications) is not part of this build yet, so the app runs its speech
# simulation: synthetic speech as the microphone, one traditional and one
# real-time dictation through the real recorder, backend and real-time client,
# the typed text printed. `scripts/run.sh --offline` runs the simulation with
# simulated devices and backend instead (no server, no audio).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target velnor velnor-server

app="$root/build/release/src/app/velnor"
if [ "${1:-}" = "--offline" ]; then
  exec "$app" --simulate
fi
exec bash scripts/speech-demo.sh "$app" "$root/build/release/server/velnor-server"
