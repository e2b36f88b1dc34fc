#!/usr/bin/env bash
# kerrion-meter --file beside the usual Linux file checkers, side by side in one run on one core
# (taskset -c 0): ffmpeg's ebur128 filter with true peak and bs1770gain with true peak, on the
# same 20-minute stereo 48 kHz 24-bit WAVE file of pink noise whose level swings slowly. Prints
# each one's wall-clock time, how many times real time that is, and how many times faster than
# the faster of the two others kerrion-meter ran. ffmpeg and bs1770gain are Debian packages
# installed for this benchmark only (apt-get install ffmpeg bs1770gain).
#
#   bench/meter/FileCheckBench.sh [KERRION_METER] [MINUTES]
set -euo pipefail
meter=${1:-build/default/tools/kerrion-meter/kerrion-meter}
minutes=${2:-20}
for tool in ffmpeg bs1770gain taskset "$meter"; do
  command -v "$tool" >/dev/null || { echo "FileCheckBench: $tool is missing" >&2; exit 2; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
file="$dir/programme.wav"
seconds=$((minutes * 60))
ffmpeg -nostdin -loglevel error -f lavfi -i "anoisesrc=d=$seconds:c=pink:r=48000:a=0.3" \
  -af "volume='0.15+0.1*sin(t/23)':eval=frame" -ac 2 -c:a pcm_s24le "$file"
cat "$file" >/dev/null # in the page cache for every tool alike

# Seconds of wall-clock time of a command on CPU 0, its output thrown away.
elapsed() {
  local start end
  start=$(date +%s.%N)
  taskset -c 0 "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

ffmpeg_s=$(elapsed ffmpeg -nostdin -hide_banner -nostats -i "$file" -af ebur128=peak=true -f null -)
bs1770_s=$(elapsed bs1770gain --integrated --range --shortterm --true-peak "$file")
kerrion_s=$(elapsed "$meter" --ini /nonexistent.ini --file "$file")

row() { printf '%-26s %7.2f s  %6.0f x real time\n' "$1" "$2" "$(echo "$seconds / $2" | bc -l)"; }
echo "$minutes-minute stereo 48 kHz 24-bit file, one core:"
row "ffmpeg ebur128=peak=true" "$ffmpeg_s"
row "bs1770gain --true-peak" "$bs1770_s"
row "kerrion-meter --file" "$kerrion_s"
faster=$(echo "if ($ffmpeg_s < $bs1770_s) $ffmpeg_s else $bs1770_s" | bc -l)
printf 'kerrion-meter is %.2f x as fast as the faster of the two\n' "$(echo "$faster / $kerrion_s" | bc -l)"
