# Sourced by scripts/with-services.sh: a private PulseAudio daemon with a
# virtual microphone for the audio tests.
#
#   velnor_mic          null sink that test fixtures play speech into
#   velnor_mic_input    its monitor remapped as an ordinary capture source
#                       (the default source)
#   velnor_speaker      null sink that stands in for the loudspeaker
#
# Exports XDG_RUNTIME_DIR and PULSE_SERVER: every client (pacat, ctest and the
# tests it runs) must see both or it talks to no server at all.

pulseaudio_start() {
  if ! command -v pulseaudio >/dev/null 2>&1; then
    echo "pulseaudio: not installed (scripts/install-deps.sh installs it)" >&2
    return 1
  fi
  local base="${VELNOR_SERVICE_DIR:?}/pulseaudio"
  mkdir -p "$base/runtime/pulse" "$base/home" "$base/config"
  chmod 700 "$base/runtime" "$base/runtime/pulse"
  export XDG_RUNTIME_DIR="$base/runtime"
  export PULSE_SERVER="unix:$base/runtime/pulse/native"
  export VELNOR_PULSE_MIC_SINK="velnor_mic"
  export VELNOR_PULSE_MIC_SOURCE="velnor_mic_input"
  export VELNOR_PULSE_SPEAKER_SINK="velnor_speaker"
  # A private home and config keep the daemon away from any user setup.
  local -a env_vars=(HOME="$base/home" XDG_CONFIG_HOME="$base/config" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")

  env "${env_vars[@]}" pulseaudio -n --daemonize=yes --system=no --exit-idle-time=-1 --disallow-exit \
    --disable-shm=yes --log-target=file:"$base/daemon.log" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$base/runtime/pulse/native" \
    -L "module-null-sink sink_name=velnor_mic format=float32le rate=48000 channels=1 sink_properties=device.description=Velnor-Mic-Feed" \
    -L "module-remap-source source_name=velnor_mic_input master=velnor_mic.monitor source_properties=device.description=Velnor-Virtual-Microphone" \
    -L "module-null-sink sink_name=velnor_speaker rate=48000 channels=2 sink_properties=device.description=Velnor-Speaker" \
    -L "module-always-sink" >/dev/null 2>&1 || {
      echo "pulseaudio: daemon did not start; see $base/daemon.log" >&2
      return 1
    }

  local i
  for (( i = 0; i < 50; i++ )); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "pulseaudio: daemon does not answer at $PULSE_SERVER" >&2
    return 1
  fi
  pactl set-default-source velnor_mic_input >/dev/null
  pactl set-default-sink velnor_speaker >/dev/null

  # An idle null sink delivers nothing for its first seconds: keep silence
  # flowing into the microphone feed and let it settle before any test.
  # The speaker gets the same, so its monitor answers at once too.
  pacat --playback --device=velnor_mic --rate=48000 --channels=1 --format=s16le \
    --latency-msec=10 --client-name=velnor-silence </dev/zero >/dev/null 2>&1 &
  echo $! >"$base/silence.pid"
  pacat --playback --device=velnor_speaker --rate=48000 --channels=2 --format=s16le \
    --latency-msec=10 --client-name=velnor-speaker-silence </dev/zero >/dev/null 2>&1 &
  echo $! >>"$base/silence.pid"
  sleep 2
  echo "pulseaudio: ready at $PULSE_SERVER"
}

pulseaudio_stop() {
  local base="${VELNOR_SERVICE_DIR:?}/pulseaudio"
  if [ -f "$base/silence.pid" ]; then
    local pid
    for pid in $(cat "$base/silence.pid"); do
      kill "$pid" 2>/dev/null || true
    done
    rm -f "$base/silence.pid"
  fi
  if [ -n "${PULSE_SERVER:-}" ]; then
    # --kill talks to the daemon of this runtime dir only.
    env XDG_RUNTIME_DIR="$base/runtime" HOME="$base/home" pulseaudio --kill >/dev/null 2>&1 \
      || pactl exit >/dev/null 2>&1 || true
    local i
    for (( i = 0; i < 30; i++ )); do
      pactl info >/dev/null 2>&1 || break
      sleep 0.1
    done
  fi
  echo "pulseaudio: stopped"
}
