#!/usr/bin/env bash
# Installs the build into a staged prefix (DESTDIR), moves the installed tree elsewhere, and runs
# the moved kerrion-meter with a clean environment: it must find the installed registry and the
# installed plug-ins from its own location, never the build tree's, and still merge the per-user
# registry over them.
# Usage: InstalledTree_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/kerrion >"$work/install.log"
outside=$(find "$work/stage" -mindepth 1 -not -path "$work/stage/opt" -not -path "$work/stage/opt/kerrion*")
[[ -z "$outside" ]] || fail "installed outside the prefix: $outside"

prefix="$work/moved/kerrion"
mkdir -p "$work/moved"
mv "$work/stage/opt/kerrion" "$prefix"
for f in bin/kerrion bin/kerrion-meter bin/kerrion-render lib/kerrion/kerrion_asio_signal.so \
    share/kerrion/asio.reg share/applications/kerrion.desktop \
    share/icons/hicolor/256x256/apps/kerrion.png share/metainfo/io.github.marvane.kerrion.metainfo.xml \
    share/man/man1/kerrion.1 share/man/man1/kerrion-meter.1; do
  [[ -f "$prefix/$f" ]] || fail "$f is not installed"
done
! grep -q '@="/' "$prefix/share/kerrion/asio.reg" || fail "the installed registry names absolute paths"

home="$work/home"
mkdir -p "$home"
meter() { (cd "$work" && env -i HOME="$home" "$@"); }

# Which plug-ins the dynamic loader opened tells where they came from.
meter LD_DEBUG=files "$prefix/bin/kerrion-meter" --list-devices >"$work/list.txt" 2>"$work/ld.txt"
grep -Eq '^ +2 +0 +8 .*Kerrion Signal Generator$' "$work/list.txt" \
  || fail "the signal generator is not listed: $(cat "$work/list.txt")"
loaded=$(grep -o 'file=[^ ]*kerrion_asio_[a-z]*\.so' "$work/ld.txt" | sed 's/^file=//' | sort -u)
[[ -n "$loaded" ]] || fail "no plug-in was loaded"
while read -r plugin; do
  [[ "$(realpath "$plugin")" == "$prefix"/lib/kerrion/* ]] || fail "plug-in loaded from $plugin"
done <<<"$loaded"

# A 1 kHz sine at -20 dBFS on input 1: its peak, once the meter has settled.
meter "$prefix/bin/kerrion-meter" --device "Kerrion Signal" --channels 0 --blocks 20 --format csv \
  >"$work/levels.csv" 2>/dev/null || fail "metering the signal generator failed"
peak=$(tail -n 1 "$work/levels.csv" | cut -d, -f3)
awk -v p="$peak" 'BEGIN { exit !(p > -20.1 && p < -19.9) }' || fail "peak $peak dBFS, not -20"

# The per-user registry is read after the installed one: it can remove a shipped driver.
mkdir -p "$home/.config/Marvane/Kerrion"
printf 'Windows Registry Editor Version 5.00\n\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Kerrion Signal Generator]\n' \
  >"$home/.config/Marvane/Kerrion/asio.reg"
meter "$prefix/bin/kerrion-meter" --list-devices >"$work/list2.txt" 2>&1
! grep -q 'Kerrion Signal Generator' "$work/list2.txt" || fail "the per-user registry was not merged"
grep -q 'JACK' "$work/list2.txt" || fail "the per-user registry hid the installed one"
echo "installed tree works from $prefix"
