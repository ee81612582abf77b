# Sourced by scripts/with-services.sh: a private X11 desktop for the desktop
# and end-to-end tests.
#
#   Xvfb            virtual screen (1920x1080x24) on a free display number
#   openbox         window manager (EWMH: _NET_ACTIVE_WINDOW, desktops)
#   D-Bus session   private session bus
#   AT-SPI          the accessibility bus, enabled before any application starts
#
# Exports DISPLAY and DBUS_SESSION_BUS_ADDRESS. AT_SPI_BUS_ADDRESS is not
# exported: Qt 6.4 applications that get it join the bus but never register.

desktop_start() {
  local tool
  for tool in Xvfb openbox dbus-daemon; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "desktop: $tool not installed (scripts/install-deps.sh installs it)" >&2
      return 1
    fi
  done
  local base="${VELNOR_SERVICE_DIR:?}/desktop"
  mkdir -p "$base/home" "$base/config" "$base/runtime"
  chmod 700 "$base/runtime"
  : >"$base/pids"

  # Xvfb takes its display's lock file itself, atomically, and writes its pid
  # in it. A display is ours once its lock names our Xvfb and it answers; when
  # another run took the same number at the same moment, ours exits and the
  # next number is tried. (Checking for a free number first and then starting
  # would let two runs end up on one X server. -displayfd takes no lock file,
  # and XWayland in the Sway tests then picks the same display.)
  local candidate pid i display=""
  for candidate in $(seq 90 140); do
    [ -e "/tmp/.X$candidate-lock" ] || [ -e "/tmp/.X11-unix/X$candidate" ] && continue
    Xvfb ":$candidate" -screen 0 1920x1080x24 -nolisten tcp +extension XInputExtension \
      +extension XTEST >"$base/xvfb.log" 2>&1 &
    pid=$!
    for (( i = 0; i < 100; i++ )); do
      kill -0 "$pid" 2>/dev/null || break
      if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$candidate-lock")" = "$pid" ] &&
         DISPLAY=":$candidate" xdpyinfo >/dev/null 2>&1; then
        display=$candidate
        break
      fi
      sleep 0.1
    done
    [ -n "$display" ] && break
    # Only a lost race moves on; an Xvfb that never answers is a broken
    # install, and fifty more would not do better.
    kill -0 "$pid" 2>/dev/null && { kill "$pid"; break; }
  done
  if [ -z "$display" ]; then
    echo "desktop: Xvfb did not start; see $base/xvfb.log" >&2
    return 1
  fi
  echo "$pid" >>"$base/pids"
  export DISPLAY=":$display"

  local address
  address=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>>"$base/pids") || {
    echo "desktop: the D-Bus session bus did not start" >&2
    return 1
  }
  export DBUS_SESSION_BUS_ADDRESS="$address"

  # The accessibility bus must be enabled before any application starts, or
  # GTK and Qt applications never register with it.
  local launcher=/usr/libexec/at-spi-bus-launcher
  if [ -x "$launcher" ]; then
    "$launcher" --launch-immediately >"$base/atspi.log" 2>&1 &
    echo $! >>"$base/pids"
    for (( i = 0; i < 50; i++ )); do
      dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1 && break
      sleep 0.1
    done
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
      org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true \
      >/dev/null 2>&1 || echo "desktop: could not enable the accessibility bus" >&2
  else
    echo "desktop: at-spi2-core missing, accessibility tests will fall back to the clipboard" >&2
  fi

  env HOME="$base/home" XDG_CONFIG_HOME="$base/config" openbox --sm-disable >"$base/openbox.log" 2>&1 &
  echo $! >>"$base/pids"
  for (( i = 0; i < 50; i++ )); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  echo "desktop: ready on $DISPLAY"
}

desktop_stop() {
  local base="${VELNOR_SERVICE_DIR:?}/desktop"
  if [ -f "$base/pids" ]; then
    local pid
    # Reverse order: window manager, accessibility, bus, then the X server.
    for pid in $(tac "$base/pids"); do
      kill "$pid" 2>/dev/null || true
    done
    for pid in $(cat "$base/pids"); do
      local i
      for (( i = 0; i < 30; i++ )); do
        # A zombie re-parented to init counts as ended.
        [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = "" ] && break
        [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = "Z" ] && break
        sleep 0.1
      done
    done
    rm -f "$base/pids"
  fi
  echo "desktop: stopped"
}
