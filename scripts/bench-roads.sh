#!/usr/bin/env bash
# Compares the muxer slot's M2TS mux of a 10-minute 1080p film (H.264 + AC3 5.1 in
# Matroska, taken straight from the source as the program's "Fast Mux" job does) with one
# plain ffmpeg remux of the same file into m2ts. Not a test: it prints the two times and
# their ratio. Usage: scripts/bench-m2ts.sh [WORK_FOLDER] (the film is made once there).
set -euo pipefail
cd "$(dirname "$0")/.."
toolkit=${QUILLET_TOOLKIT:-build/program/quillet-toolkit}
work=${1:-/tmp/quillet-bench-m2ts}
mkdir -p "$work"
film="$work/film.mkv"

if [ ! -s "$film" ]; then
  echo "making $film (10 minutes, 1920x1080, H.264 ultrafast + AC3 5.1) ..." >&2
  ffmpeg -nostdin -v error -y \
    -f lavfi -i testsrc2=size=1920x1080:rate=24000/1001 \
    -f lavfi -i sine=frequency=440:sample_rate=48000 -t 600 \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a ac3 -ac 6 -b:a 448k -f matroska "$film.part"
  mv "$film.part" "$film"
fi

now() { date +%s.%N; }
seconds() { echo "$2 - $1" | bc; }

# Reads the source once so that neither run is the one that pays for a cold cache.
cat "$film" >/dev/null

start=$(now)
ffmpeg -nostdin -v error -y -i "$film" -map 0:0 -map 0:1 -c copy \
  -f mpegts -mpegts_m2ts_mode 1 "$work/plain.m2ts"
plain=$(seconds "$start" "$(now)")

printf 'MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --vbv-len=500\r\n' >"$work/movie.meta"
printf 'V_MPEG4/ISO/AVC, "%s", track=1, level=4.1, fps=23.976\r\n' "$film" >>"$work/movie.meta"
printf 'A_AC3, "%s", track=2\r\n' "$film" >>"$work/movie.meta"
start=$(now)
"$toolkit" TS/tsmuxer.exe "$work/movie.meta" "$work/slot.m2ts" 2>/dev/null
slot=$(seconds "$start" "$(now)")

# The slot's own strict reading of what it wrote, by itself (part of the slot's time).
start=$(now)
"$toolkit" --strict "$work/slot.m2ts" >/dev/null || true
strict=$(seconds "$start" "$(now)")

echo "film:        $(stat -c %s "$film") bytes"
echo "ffmpeg:      ${plain} s  ($(stat -c %s "$work/plain.m2ts") bytes)"
echo "tsmuxer.exe: ${slot} s  ($(stat -c %s "$work/slot.m2ts") bytes)"
echo "ratio:       $(echo "scale=2; $slot / $plain" | bc)"
echo "strict read: ${strict} s  ($(echo "scale=1; 100 * $strict / $slot" | bc) % of the slot)"
rm -f "$work/plain.m2ts" "$work/slot.m2ts"
