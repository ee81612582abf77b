#!/usr/bin/env bash
# Builds both Debian packages from a configured build tree, then checks what a
# user would get from `apt install ./velnor_*.deb`: the declared dependencies,
# the file list, that the unpacked binaries run, and (on the test desktop)
# that the unpacked app types a dictation by accessibility. Exits 77 (skipped)
# after the package checks when there is no display. With VELNOR_PACKAGES_DIR
# set, checks the packages cpack already made there instead of building them.
# Usage: check-packages.sh <build dir>
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

packages="${VELNOR_PACKAGES_DIR:-}"
if [ -z "$packages" ]; then
  packages="$work/out"
  (cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$packages" >"$work/cpack.log" 2>&1) \
    || { cat "$work/cpack.log" >&2; fail "cpack did not build the packages"; }
fi
app_deb=$(ls "$packages"/velnor_*.deb 2>/dev/null | head -n1 || true)
server_deb=$(ls "$packages"/velnor-server_*.deb 2>/dev/null | head -n1 || true)
[ -n "$app_deb" ] || fail "no velnor package"
[ -n "$server_deb" ] || fail "no velnor-server package"

depends() { dpkg-deb --field "$1" Depends; }
expect_depends() {
  local deb="$1"; shift
  local deps; deps="$(depends "$deb")"
  for want in "$@"; do
    grep -q -- "$want" <<<"$deps" || fail "$(basename "$deb") does not depend on $want (Depends: $deps)"
  done
}
# Libraries found by dpkg-shlibdeps plus the run-time pieces named by hand.
expect_depends "$app_deb" libqt6widgets6 libqt6network6 libpulse0 libavcodec libatspi2.0-0 libxcb-xinput0 \
  qt6-qpa-plugins at-spi2-core "pulseaudio | pipewire-pulse"
expect_depends "$server_deb" libqt6httpserver6 libpocketsphinx3 pocketsphinx-en-us libqt6sql6-sqlite

expect_files() {
  local deb="$1"; shift
  local list; list="$(dpkg-deb --contents "$deb" | awk '{print $NF}')"
  for want in "$@"; do
    grep -qx -- "$want" <<<"$list" || fail "$(basename "$deb") lacks $want"
  done
}
expect_files "$app_deb" ./usr/bin/velnor ./usr/libexec/velnor/velnor-atspi-helper \
  ./usr/share/applications/velnor.desktop \
  ./usr/share/icons/hicolor/scalable/apps/velnor.svg
# The Fcitx5 addon, where Fcitx5 looks for addons (when built with Fcitx5 there).
if pkg-config --exists Fcitx5Core; then
  expect_files "$app_deb" "./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/fcitx5/libvelnor-fcitx5.so" \
    ./usr/share/fcitx5/addon/velnor.conf
fi
expect_files "$server_deb" ./usr/bin/velnor-server ./usr/lib/systemd/user/velnor-server.service \
  ./usr/share/man/man1/velnor-server.1.gz

root="$work/root"
dpkg -x "$app_deb" "$root"
dpkg -x "$server_deb" "$root"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$root/usr/share/applications/velnor.desktop" || fail "desktop entry does not validate"
fi
version=$(env -u DISPLAY QT_QPA_PLATFORM=offscreen "$root/usr/bin/velnor" --version) || fail "velnor --version failed"
grep -q "velnor" <<<"$version" || fail "velnor --version printed: $version"
# Whole outputs first: grep -q closing the pipe early would fail the writer.
help=$("$root/usr/bin/velnor-server" --help) || fail "velnor-server --help failed"
grep -q -- "--port" <<<"$help" || fail "velnor-server --help lacks its options"
server_version=$("$root/usr/bin/velnor-server" --version) || fail "velnor-server --version failed"
grep -q "velnor-server" <<<"$server_version" || fail "velnor-server --version printed: $server_version"
man=$(zcat "$root/usr/share/man/man1/velnor-server.1.gz") || fail "man page unreadable"
grep -q -- "test\\\\-controls" <<<"$man" || fail "man page lacks the options" # groff escapes "-"
echo "packages: $(basename "$app_deb"), $(basename "$server_deb") checked"

# The unpacked app types a dictation into a GTK entry by accessibility, with
# the helper from the package (not the build's). Needs the test desktop.
if [ -z "${DISPLAY:-}" ]; then
  echo "packages: no display (run under scripts/with-services.sh): insertion not checked" >&2
  exit 77
fi
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
demo=$(VELNOR_RUN_BUILD_DIR="$build" VELNOR_RUN_APP="$root/usr/bin/velnor" \
  VELNOR_RUN_SERVER="$root/usr/bin/velnor-server" bash "$source_dir/scripts/run.sh" --desktop-demo 2>&1) \
  || { echo "$demo" >&2; fail "the unpacked app did not type a dictation"; }
grep -qF "AT-SPI helper: $root/usr/libexec/velnor/velnor-atspi-helper" <<<"$demo" \
  || { echo "$demo" >&2; fail "the unpacked app does not use the packaged AT-SPI helper"; }
grep -q "使用辅助功能API成功输入文字" <<<"$demo" \
  || { echo "$demo" >&2; fail "the unpacked app did not type by accessibility"; }
echo "packages: the unpacked app typed into a GTK entry by accessibility"
