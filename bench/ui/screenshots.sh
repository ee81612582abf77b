#!/usr/bin/env bash
# Screenshots of the floating indicator on the virtual desktop, into
# docs/screenshots/. Run from the repository root after building
# indicator_bench:   bash scripts/with-services.sh bash bench/ui/screenshots.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
bench="${INDICATOR_BENCH:-$root/build/dev/bench/ui/indicator_bench}"
out="$root/docs/screenshots"
mkdir -p "$out"

# A desktop with something on it, so the translucent pill has a backdrop.
xsetroot -solid '#4a6d8c'
xterm -geometry 100x12+560+740 -bg '#f4f1ea' -fg '#333333' -fa 'Noto Sans Mono CJK SC' -fs 11 \
  -e bash -c 'printf "今天下午三点开会，记得带上周报。\nThe meeting is at three; bring the weekly report.\n"; sleep 60' &
term=$!
trap 'kill "$term" 2>/dev/null || true' EXIT

shoot() { # face, seconds to wait, output name
  "$bench" demo "$1" 8 &
  local pid=$!
  sleep "$2"
  # The bottom-centre corner of the screen, doubled so the pixels show.
  import -window root -crop 240x80+840+1000 +repage "$out/$3"
  mogrify -scale 200% "$out/$3"
  wait "$pid"
}
sleep 1
shoot small 1.5 indicator-small.png
shoot large 2.3 indicator-large.png
shoot recognising 5.2 indicator-recognising.png
echo "screenshots in $out"
