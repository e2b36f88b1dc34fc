#!/usr/bin/env bash
# Checks a built Debian package: what it installs, the dependencies dpkg-shlibdeps computed, and
# that its programs work from the unpacked tree. With --install (as root), also installs it with
# apt-get, meters the signal generator from /usr, starts the menu entry's command, and removes
# the package again, whatever happens.
# Usage: PackageContents_test.sh PACKAGE.deb [--install]
set -euo pipefail
deb=$(realpath "$1")
work=$(mktemp -d)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/contents"
for f in usr/bin/kerrion usr/bin/kerrion-meter usr/bin/kerrion-render \
    usr/lib/kerrion/kerrion_asio_signal.so usr/lib/kerrion/kerrion_asio_jack.so \
    usr/share/kerrion/asio.reg usr/share/applications/kerrion.desktop \
    usr/share/icons/hicolor/256x256/apps/kerrion.png \
    usr/share/metainfo/io.github.marvane.kerrion.metainfo.xml \
    usr/share/man/man1/kerrion.1 usr/share/man/man1/kerrion-meter.1; do
  grep -qx "./$f" "$work/contents" || fail "the package lacks /$f"
done
! grep -v '^\./usr/' "$work/contents" | grep -qv '^\./$' || fail "files outside /usr"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libasound2 libjack libc6; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
[[ "$depends" != *-dev* ]] || fail "Depends names development packages: $depends"
[[ $(dpkg-deb -f "$deb" Recommends) == *qt6-wayland* ]] || fail "Recommends lacks qt6-wayland"

mkdir -p "$work/home"
dpkg-deb -x "$deb" "$work/root"
(cd "$work" && env -i HOME="$work/home" "$work/root/usr/bin/kerrion-meter" --list-devices) \
  | grep -q 'Kerrion Signal Generator$' || fail "the unpacked kerrion-meter lists no signal generator"

[[ "${2:-}" == --install ]] || { echo "package contents are right"; exit 0; }
[[ $(id -u) -eq 0 ]] || fail "--install needs root"
if dpkg-query -W -f='${Status}' kerrion 2>/dev/null | grep -q 'ok installed'; then
  echo "kerrion is installed on this machine already: not installing the package over it"
  exit 0
fi
remove() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kerrion >/dev/null 2>&1 || dpkg --purge kerrion >/dev/null 2>&1 || true
  cleanup
}
trap remove EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log" >&2; fail "apt-get cannot install the package"; }
(cd "$work" && env -i HOME="$work/home" PATH=/usr/bin:/bin kerrion-meter --list-devices) \
  | grep -q 'Kerrion Signal Generator$' || fail "the installed kerrion-meter lists no signal generator"
(cd "$work" && env -i HOME="$work/home" PATH=/usr/bin:/bin kerrion-meter --device "Kerrion Signal" \
  --channels 0 --blocks 5 --format csv >/dev/null 2>&1) || fail "the installed kerrion-meter cannot meter"
# The menu entry's command: the window runs (offscreen) until it is stopped.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/kerrion.desktop)
status=0
(cd "$work" && timeout 3 env -i HOME="$work/home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
  sh -c "$exec_line" >/dev/null 2>&1) || status=$?
[[ $status -eq 124 ]] || fail "the menu entry's command ($exec_line) ended with status $status"
echo "package installs, meters and starts from /usr"
