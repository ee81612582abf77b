#!/usr/bin/env bash
# Starts a private velnor-server and runs the app's speech simulation against
# it: flite's speech played as the microphone, one traditional and one
# real-time dictation through the real recorder, backend client and real-time
# client. Exit code 0 when both dictations delivered text.
# Usage: scripts/speech-demo.sh <velnor> <velnor-server> [sentence]
set -euo pipefail
app="$1"
server="$2"
sentence="${3:-please send the report to the team today}"

work="$(mktemp -d /tmp/velnor-demo.XXXXXX)"
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The microphone: synthetic speech as 48 kHz mono float, like a sound card gives.
flite -voice slt -t "$sentence" -o "$work/speech-raw.wav"
sox -R "$work/speech-raw.wav" -r 48000 -c 1 -e floating-point -b 32 "$work/speech.wav"

# Throw-away credentials shared by the app and this server only.
export VELNOR_ASR_APP_ID="1300000001"
export VELNOR_ASR_SECRET_ID="demo-$(head -c 6 /dev/urandom | od -An -tx1 | tr -d ' \n')"
export VELNOR_ASR_SECRET_KEY="$(head -c 24 /dev/urandom | od -An -tx1 | tr -d ' \n')"

"$server" --port 0 --data-dir "$work/data" >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 1 100); do
  grep -q "listening on" "$work/server.out" 2>/dev/null && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.err" >&2; exit 1; }
  sleep 0.1
done
address="$(grep -o 'http://[0-9.]*:[0-9]*' "$work/server.out" | head -1)"
[ -n "$address" ] || { echo "speech-demo: velnor-server did not start" >&2; cat "$work/server.err" >&2; exit 1; }

export VELNOR_BACKEND_URL="$address"
export VELNOR_REALTIME_SCHEME="ws"
export VELNOR_REALTIME_HOST="${address#http://}"
"$app" --simulate --speech "$work/speech.wav"
