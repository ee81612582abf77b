#!/usr/bin/env bash
# Builds and runs Velnor against a local velnor-server.
#
#   scripts/run.sh             with an X11 display: starts velnor-server and the app
#                              (hold right Ctrl + Shift, speak, let go); without one:
#                              starts a virtual desktop and microphone, runs one
#                              dictation into a GTK entry and prints what was typed
#   scripts/run.sh --wayland   the same one dictation on a headless Sway session (as root:
#                              Sway, its clients and the app run as uid 65534), into a
#                              native Wayland GTK entry
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

# wait_for_log <text>: waits until the app ($app_pid) logs the text to $work/velnor.log.
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

# The command line that runs a program as the Wayland session's user in its
# environment, in SESSION_CMD (setpriv and env exec the program: started in
# the background, $! is the program's own PID).
session_cmd() {
  SESSION_CMD=(setpriv --reuid=65534 --regid=65534 --clear-groups -- env -i PATH=/usr/local/bin:/usr/bin:/bin
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_SESSION_TYPE=wayland LC_ALL=C.UTF-8
    ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY=$WAYLAND_DISPLAY} ${SESSION_DISPLAY:+DISPLAY=$SESSION_DISPLAY}
    ${SESSION_BUS:+DBUS_SESSION_BUS_ADDRESS=$SESSION_BUS} ${SWAYSOCK:+SWAYSOCK=$SWAYSOCK})
}
as_session_user() {
  session_cmd
  "${SESSION_CMD[@]}" "$@"
}
# The same in the background; its PID joins $pids, stopped with everything
# it started on exit.
start_as_session_user() {
  session_cmd
  "${SESSION_CMD[@]}" "$@" </dev/null &
  pids+=($!)
}
# The PIDs below one (Sway forks the parent of XWayland, the accessibility
# launcher its bus), deepest first.
descendants() {
  local child
  for child in $(pgrep -P "$1"); do
    descendants "$child"
    echo "$child"
  done
}
stop_session() {
  local i pid all=()
  for (( i=${#pids[@]}-1; i>=0; i-- )); do
    all+=($(descendants "${pids[$i]}") "${pids[$i]}")
  done
  for pid in "${all[@]}"; do kill "$pid" 2>/dev/null || true; done
}

# One dictation on a headless Sway session with XWayland (run under
# scripts/with-services.sh for PulseAudio, as root: Sway refuses root).
wayland_demo() {
  local sentence="${VELNOR_DEMO_SENTENCE:-please send the report to the team today}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "run: --wayland runs the session as uid 65534 and needs root" >&2
    return 1
  fi
  work="$(mktemp -d /tmp/velnor-wayland.XXXXXX)"
  pids=() server_pid=""
  trap 'stop_session; kill $server_pid 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
  trap 'exit 1' INT TERM
  mkdir -p "$work/home" "$work/runtime" "$work/config"
  chmod 700 "$work/runtime"
  chmod 711 "$work"
  chown -R 65534:65534 "$work/home" "$work/runtime" "$work/config"
  # The sound server's socket must be reachable by the session's user.
  local dir
  dir="$(dirname "${PULSE_SERVER#unix:}")"
  while [ "$dir" != "/tmp" ] && [ "$dir" != "/" ]; do chmod o+x "$dir"; dir="$(dirname "$dir")"; done
  use_local_credentials
  start_server "$work/data" "$work/server"

  SESSION_BUS="$(as_session_user dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$work/bus.pid")"
  pids+=("$(cat "$work/bus.pid")")
  export SESSION_BUS
  start_as_session_user /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1
  for _ in $(seq 1 50); do
    as_session_user dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
      >/dev/null 2>&1 && break
    sleep 0.1
  done
  as_session_user dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null

  printf 'xwayland force\noutput HEADLESS-1 resolution 1280x720\n' >"$work/sway.config"
  chmod 644 "$work/sway.config"
  start_as_session_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.config" >"$work/sway.log" 2>&1
  local xpid=""
  for _ in $(seq 1 150); do
    WAYLAND_DISPLAY="$(cd "$work/runtime" && ls wayland-? 2>/dev/null | head -1 || true)"
    # sway-ipc.<uid>.<pid of sway>.sock
    SWAYSOCK="$(ls "$work"/runtime/sway-ipc.* 2>/dev/null | head -1 || true)"
    if [ -n "$SWAYSOCK" ]; then
      # XWayland runs under a child Sway forked for it.
      xpid="$(pgrep -x Xwayland -P "$(pgrep -d, -P "$(basename "$SWAYSOCK" | cut -d. -f3)" || echo 0)" || true)"
    fi
    [ -n "$WAYLAND_DISPLAY" ] && [ -n "$xpid" ] && break
    sleep 0.1
  done
  if [ -z "$xpid" ]; then
    echo "run: Sway or XWayland did not start; its log:" >&2
    cat "$work/sway.log" >&2
    return 1
  fi
  SESSION_DISPLAY="$(tr '\0' ' ' <"/proc/$xpid/cmdline" | awk '{print $2}')"
  export WAYLAND_DISPLAY SWAYSOCK SESSION_DISPLAY
  echo "Headless Sway on $WAYLAND_DISPLAY, XWayland on $SESSION_DISPLAY"
  # Without a keyboard on the seat no client ever gets the focus.
  start_as_session_user wtype -s 86400000

  start_as_session_user XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb PULSE_SERVER="$PULSE_SERVER" \
    VELNOR_BACKEND_URL="$VELNOR_BACKEND_URL" VELNOR_REALTIME_SCHEME="$VELNOR_REALTIME_SCHEME" \
    VELNOR_REALTIME_HOST="$VELNOR_REALTIME_HOST" VELNOR_ASR_APP_ID="$VELNOR_ASR_APP_ID" \
    VELNOR_ASR_SECRET_ID="$VELNOR_ASR_SECRET_ID" VELNOR_ASR_SECRET_KEY="$VELNOR_ASR_SECRET_KEY" \
    "$app" >"$work/velnor.log" 2>&1
  app_pid="${pids[-1]}"
  wait_for_log "热键注册完成"
  grep -h -o "Wayland session: .*\|Indicator on .*" "$work/velnor.log" || true

  mkfifo "$work/entry.in" "$work/entry.out"
  chown 65534:65534 "$work/entry.in" "$work/entry.out"
  # The shell opens the pipes in the background, where waiting for the other end is harmless.
  start_as_session_user GDK_BACKEND=wayland sh -c 'exec "$0" velnor-demo <"$1" >"$2"' \
    "$build/tests/support/desktop/velnor-gtk-entry" "$work/entry.in" "$work/entry.out"
  exec 7>"$work/entry.in" 8<"$work/entry.out"
  local line
  read -r -t 15 line <&8
  # Sway focuses a new window once it maps it.
  for _ in $(seq 1 100); do
    as_session_user swaymsg -t get_tree -r | grep -q '"name": "velnor-demo"' && break
    sleep 0.1
  done
  sleep 0.5

  flite -voice slt -t "$sentence" -o "$work/raw.wav"
  sox "$work/raw.wav" "$work/speech.wav" pad 0.4 0.3
  echo "Holding the hotkey (XTest on XWayland) and saying: $sentence"
  as_session_user "$build/tools/xtest-keys/velnor-xtest-keys" press 105 press 50
  paplay --device="$VELNOR_PULSE_MIC_SINK" "$work/speech.wav"
  as_session_user "$build/tools/xtest-keys/velnor-xtest-keys" release 50 release 105
  wait_for_log "成功输入文字"
  grep -h -o "Bundle ID: .*\|使用.*成功输入文字" "$work/velnor.log" | sort -u || true
  echo text >&7
  read -r -t 5 line <&8
  echo "Typed into the Wayland GTK entry: $line"
  exec 7>&- 8<&-
}

if [ "${1:-}" = "--desktop-demo" ]; then
  desktop_demo
  exit
fi
if [ "${1:-}" = "--wayland-demo" ]; then
  wayland_demo
  exit
fi

bash scripts/install-deps.sh
cmake --preset release >/dev/null
if [ "${1:-}" = "--offline" ]; then
  cmake --build --preset release --target velnor
  exec "$app" --simulate
fi
if [ "${1:-}" = "--wayland" ]; then
  cmake --build --preset release --target velnor velnor-server velnor-gtk-entry velnor-xtest-keys
  echo "Running one dictation on a headless Sway session."
  bash scripts/with-services.sh bash "$root/scripts/run.sh" --wayland-demo
  exit
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
