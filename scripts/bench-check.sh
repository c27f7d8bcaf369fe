#!/usr/bin/env bash
# Times "quillet --check" on a two-hour film and splits the time into the inspection tools'
# own time and the program's time beyond them.
#
# The film is made cheaply (64x64 pictures at 2 frames a second, mono MP2 sound) in a
# Matroska file under build/bench-check/; the built program (build/program) is used as it
# is. Each measurement is the median of several runs. Not a test: it prints figures.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
program="$root/build/program"
work="$root/build/bench-check"
film="$work/two hours.mkv"
runs=${RUNS:-7}

[ -x "$program/quillet" ] || { echo "build quillet and quillet-toolkit first" >&2; exit 1; }
mkdir -p "$work"
if [ ! -s "$film" ]; then
  echo "making a two-hour film ..." >&2
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x64:rate=2:duration=7200 \
    -f lavfi -i sine=r=32000:d=7200 -pix_fmt yuv420p \
    -c:v libx264 -preset ultrafast -profile:v high -level 5.1 -x264-params ref=4 -g 250 \
    -c:a mp2 -ac 1 -b:a 32k "$work/film.mkv"
  mkvmerge -q -o "$film" "$work/film.mkv"  # mkvmerge's own layout, with its statistics
  rm -f "$work/film.mkv"
fi

# Median wall time and median CPU time (user + system, the tool's children included) of a
# command run $runs times, in ms: "WALL CPU".
measure() {
  local out="$tmp/time.txt" walls=() cpus=()
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S" -o "$out" "$@" >/dev/null 2>&1 || true
    rm -f "$tmp/info.txt"
    read -r wall user sys < <(tail -n 1 "$out")
    walls+=("$wall")
    cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')")
  done
  local wall cpu
  wall=$(printf '%s\n' "${walls[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] * 1000 }')
  cpu=$(printf '%s\n' "${cpus[@]}" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] * 1000 }')
  echo "$wall $cpu"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export TMPDIR="$tmp"

echo "film: $film ($(stat -c %s "$film") bytes, $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$film") s)"
# The tools exactly as the report runs them on a Matroska film.
read -r w_report c_report < <(measure "$program/MKVToolnix/mkvinfo.exe" "$film" -o "$tmp/info.txt")
read -r w_checker c_checker < <(measure "$program/Checker/x264_checker.exe" "$film")
read -r w_probe c_probe < <(measure ffprobe -v error -select_streams v:0 \
  -show_entries stream=codec_type,bit_rate:stream_tags=BPS -of flat "$film")
read -r w_whole c_whole < <(measure env -u DISPLAY -u WAYLAND_DISPLAY "$program/quillet" --check "$film")
sum() { awk -v a="$1" -v b="$2" -v c="$3" 'BEGIN { printf "%.0f", a + b + c }'; }
w_tools=$(sum "$w_report" "$w_checker" "$w_probe")
c_tools=$(sum "$c_report" "$c_checker" "$c_probe")
printf '%-34s %8s %8s\n' "median of $runs runs, ms" wall cpu
printf '%-34s %8.0f %8.0f\n' "report tool (mkvinfo slot)" "$w_report" "$c_report"
printf '%-34s %8.0f %8.0f\n' "buffer checker slot" "$w_checker" "$c_checker"
printf '%-34s %8.0f %8.0f\n' "ffprobe (video bitrate)" "$w_probe" "$c_probe"
printf '%-34s %8.0f %8.0f\n' "the tools together" "$w_tools" "$c_tools"
printf '%-34s %8.0f %8.0f\n' "quillet --check, whole run" "$w_whole" "$c_whole"
printf '%-34s %8.0f %8.0f\n' "beyond the tools' own time" "$((w_whole - w_tools))" "$((c_whole - c_tools))"
