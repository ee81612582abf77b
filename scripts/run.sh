#!/usr/bin/env bash
# Builds and runs Velnor against a local velnor-server.
#
#   scripts/run.sh             with an X11 display: starts velnor-server and the app
#                              (hold right Ctrl + Shift, speak, let go); without one:
#                              starts a virtual desktop and microphone, runs one
#                              dictation into a GTK entry and prints what was typed
#   scripts/run.sh --offline   the headless simulation (simulated devices and backend)
#
# Installs what it needs first (scripts/install-deps.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="${VELNOR_RUN_BUILD_DIR:-$root/build/release}"
# VELNOR_RUN_APP / VELNOR_RUN_SERVER: other binaries (the package test runs
# the demo with the unpacked package's).
app="${VELNOR_RUN_APP:-$build/src/app/velnor}"
server="${VELNOR_RUN_SERVER:-$build/server/velnor-server}"

# Throw-away credentials shared by the app and the local server's real-time endpoint.
use_local_credentials() {
  export VELNOR_ASR_APP_ID="1300000001"
  export VELNOR_ASR_SECRET_ID="local-$(head -c 6 /dev/urandom | od -An -tx1 | tr -d ' \n')"
  export VELNOR_ASR_SECRET_KEY="$(head -c 24 /dev/urandom | od -An -tx1 | tr -d ' \n')"
}

# start_server <data dir> <log prefix>: starts velnor-server on a free port and
# points the app's environment at it (server_pid is set). It is this user's own
# server on loopback, so --dev-sms hands login codes to the app's login sheet.
start_server() {
  "$server" --port 0 --data-dir "$1" --dev-sms >"$2.out" 2>"$2.err" &
  server_pid=$!
  local address="" _
  for _ in $(seq 1 150); do
    address="$(grep -o 'http://[0-9.]*:[0-9]*' "$2.out" 2>/dev/null | head -1 || true)"
    [ -n "$address" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$address" ]; then
    echo "run: velnor-server did not start:" >&2
    cat "$2.err" >&2
    return 1
  fi
  export VELNOR_BACKEND_URL="$address"
  export VELNOR_REALTIME_SCHEME="ws"
  export VELNOR_REALTIME_HOST="${address#http://}"
}

# One dictation on the virtual desktop (run under scripts/with-services.sh).
desktop_demo() {
  local sentence="${VELNOR_DEMO_SENTENCE:-please send the report to the team today}"
  work=""
  work="$(mktemp -d /tmp/velnor-run.XXXXXX)"
  server_pid=""
  app_pid="" entry_pid=""
  trap 'kill $app_pid $entry_pid $server_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
  use_local_credentials
  start_server "$work/data" "$work/server"

  mkdir -p "$work/home" "$work/config"
  HOME="$work/home" XDG_CONFIG_HOME="$work/config" "$app" >"$work/velnor.log" 2>&1 &
  app_pid=$!
  wait_for_log() {
    local _
    for _ in $(seq 1 300); do
      grep -q "$1" "$work/velnor.log" 2>/dev/null && return 0
      kill -0 "$app_pid" 2>/dev/null || break
      sleep 0.1
    done
    echo "run: the app did not log \"$1\"; its log:" >&2
    cat "$work/velnor.log" >&2
    return 1
  }
  wait_for_log "热键注册完成"

  mkfifo "$work/entry.in" "$work/entry.out"
  "$build/tests/support/desktop/velnor-gtk-entry" velnor-demo <"$work/entry.in" >"$work/entry.out" &
  entry_pid=$!
  exec 7>"$work/entry.in" 8<"$work/entry.out"
  local line
  read -r -t 15 line <&8
  for _ in $(seq 1 100); do
    [ "$(xdotool getactivewindow getwindowname 2>/dev/null || true)" = "velnor-demo" ] && break
    sleep 0.1
  done

  # flite's voice: one the recogniser hears almost word for word.
  flite -voice slt -t "$sentence" -o "$work/raw.wav"
  sox "$work/raw.wav" "$work/speech.wav" pad 0.4 0.3
  echo "Holding the hotkey and saying: $sentence"
  # The default hotkey: right Control (X keycode 105) + left Shift (50).
  "$build/tools/xtest-keys/velnor-xtest-keys" press 105 press 50
  paplay --device="$VELNOR_PULSE_MIC_SINK" "$work/speech.wav"
  "$build/tools/xtest-keys/velnor-xtest-keys" release 50 release 105
  wait_for_log "成功输入文字"
  grep -h -o "AT-SPI helper: .*\|使用.*成功输入文字" "$work/velnor.log" || true
  echo text >&7
  read -r -t 5 line <&8
  echo "Typed into the GTK entry: $line"
  exec 7>&- 8<&-
}

if [ "${1:-}" = "--desktop-demo" ]; then
  desktop_demo
  exit
fi

bash scripts/install-deps.sh
cmake --preset release >/dev/null
if [ "${1:-}" = "--offline" ]; then
  cmake --build --preset release --target velnor
  exec "$app" --simulate
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  cmake --build --preset release --target velnor velnor-server
  data="${XDG_DATA_HOME:-$HOME/.local/share}/velnor-server"
  mkdir -p "$data"
  server_pid=""
  trap 'kill $server_pid 2>/dev/null' EXIT
  use_local_credentials
  start_server "$data" "$data/server"
  echo "velnor-server on $VELNOR_BACKEND_URL, its log in $data/server.err."
  echo "Signing in: type a phone number in the login sheet and press 获取验证码; this local server"
  echo "fills the code in for you (--dev-sms), then press 登录."
  echo "Starting Velnor (hold right Ctrl + Shift and speak)."
  "$app"
else
  cmake --build --preset release --target velnor velnor-server velnor-gtk-entry velnor-xtest-keys
  echo "No X11 display: running one dictation on a virtual desktop."
  bash scripts/with-services.sh bash "$root/scripts/run.sh" --desktop-demo
fi
