#!/usr/bin/env bash
# Times the program's roads on 1080p films of ~10 Mbit/s (x264 with B-frames, AC3 5.1
# 448 kbit/s, ffmpeg's testsrc2). Not a test. For each road and film it prints
#  (a) the road's muxer step, run on the working files as the road hands them (the median of
#      three runs for the transport-stream roads), against the
#      floor: one ffmpeg remux of the film (for mp4 with the sound encoded to AAC), with
#      the ratio and the peak memory of each;
#  (b) the whole `quillet` run of the road: its time, the peak disk of the output folder
#      (working files and folders included, polled every 50 ms) against the source, and
#      the time of each tool slot it ran.
# Usage: scripts/bench-roads.sh [m2ts|avchd|mp4|all] [MINUTES...]   (default: all 2)
# The films are made once and kept in $BENCH_WORK (default /tmp/quillet-bench-roads) as
# film-<MINUTES>m.mkv; put a film of your own there under that name to use it instead.
# QUILLET_PROGRAM names the built program folder (default build/program).
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${QUILLET_PROGRAM:-build/program}")
work=${BENCH_WORK:-/tmp/quillet-bench-roads}
roads=${1:-all}
shift || true
minutes=("${@:-2}")
[ "$roads" = all ] && roads="m2ts avchd mp4"
for tool in bc strace /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
mkdir -p "$work"
toolkit="$program/quillet-toolkit"

now() { date +%s.%N; }
ratio() { echo "scale=2; $1 / $2" | bc; }
size() { stat -L -c %s "$1"; }

film_of() {
  local film="$work/film-$1m.mkv"
  if [ ! -s "$film" ]; then
    echo "making $film ($1 min, 1920x1080 H.264 with B-frames ~10 Mbit/s + AC3 5.1) ..." >&2
    ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=24000/1001 \
      -f lavfi -i sine=frequency=440:sample_rate=48000 -t $(($1 * 60)) \
      -c:v libx264 -preset ultrafast -bf 3 -b:v 10M -pix_fmt yuv420p \
      -c:a ac3 -ac 6 -b:a 448k -f matroska "$film.part"
    mv "$film.part" "$film"
  fi
  echo "$film"
}

# Runs a command under GNU time; prints "SECONDS PEAK_KB".
timed() {
  local start stop
  start=$(now)
  /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/last.err" ||
    { echo "failed: $*" >&2; tail -5 "$work/last.err" >&2; return 1; }
  stop=$(now)
  echo "$(echo "$stop - $start" | bc) $(cat "$work/rss")"
}

# The working files the roads hand their muxer: the video with its level set, the sound.
working_files() {
  local film=$1 dir=$2
  rm -rf "$dir" && mkdir -p "$dir/program/h264info"
  mkvextract "$film" tracks 0:"$dir/movie_raw.h264" 1:"$dir/movie.ac3" >/dev/null
  ln -s "$toolkit" "$dir/program/h264info/h264info.exe"
  printf '[Paths]\r\nInputPath=%s\r\nOutputPath=%s\r\n' "$dir/movie_raw.h264" "$dir/movie.h264" \
    >"$dir/program/h264info/h264info.ini"
  "$dir/program/h264info/h264info.exe" 2>/dev/null
  rm -f "$dir/movie_raw.h264"
}

# Runs a command three times under GNU time, OUTPUT removed (and synced) before each run;
# prints the median "SECONDS PEAK_KB" (the page cache and the disk's write-back make single
# runs swing by half). Usage: median3 OUTPUT COMMAND...
median3() {
  local out=$1 runs=()
  shift
  for _ in 1 2 3; do
    rm -rf "$out" && sync
    runs+=("$(timed "$@")") || return 1
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n 2p
}

print_step() { # NAME SECONDS PEAK_KB [FLOOR_SECONDS]
  printf '  %-34s %7.2f s  %7d MB' "$1" "$2" $(($3 / 1024))
  [ -n "${4:-}" ] && printf '   x%s of the floor' "$(ratio "$2" "$4")"
  printf '\n'
}

# (a) the muxer step against the floor.
mux_step() {
  local road=$1 film=$2 dir="$work/steps"
  working_files "$film" "$dir"
  cat "$film" "$dir"/movie.* >/dev/null # neither run pays for a cold cache
  local floor slot
  if [ "$road" = mp4 ]; then
    floor=$(timed ffmpeg -nostdin -v error -y -i "$film" -map 0 -c:v copy -c:a aac -ac 2 -b:a 224k -f mp4 "$dir/floor.mp4")
    print_step "floor: remux, AAC 2.0 224k encode" $floor
    ffmpeg -nostdin -v error -y -i "$dir/movie.ac3" -c:a pcm_s16le "$dir/movie.wav"
    local encode mux
    encode=$(timed "$program/FFMpeg/FFmpeg.exe" -f wav -i "$dir/movie.wav" -acodec libfaac -ac 2 -ab 224kb "$dir/movie.aac")
    mux=$(timed "$program/MP4Box/MP4Box.exe" -add "$dir/movie.aac" -add "$dir/movie.h264:fps=23.976" \
      "$dir/film.mp4" -tmp "$dir")
    print_step "FFmpeg.exe (AAC encode)" $encode
    print_step "MP4Box.exe" $mux
    slot="$(echo "${encode% *} + ${mux% *}" | bc) $(( ${encode#* } > ${mux#* } ? ${encode#* } : ${mux#* } ))"
    print_step "both slots" $slot "${floor% *}"
  else
    floor=$(median3 "$dir/floor.m2ts" ffmpeg -nostdin -v error -y -i "$film" -map 0 -c copy -f mpegts -mpegts_m2ts_mode 1 "$dir/floor.m2ts")
    print_step "floor: ffmpeg remux into m2ts" $floor
    local options='MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --vbv-len=500'
    local out="$dir/film.m2ts"
    if [ "$road" = avchd ]; then
      options='MUXOPT --no-pcr-on-video-pid --insertBlankPL --new-audio-pes --blu-ray --vbr  --auto-chapters=5 --vbv-len=500'
      out="$dir/film.avchd"
    fi
    printf '%s\r\nV_MPEG4/ISO/AVC, "%s", fps=23.976\r\nA_AC3, "%s"\r\n' "$options" \
      "$dir/movie.h264" "$dir/movie.ac3" >"$dir/movie.meta"
    slot=$(median3 "$out" "$toolkit" TS/tsmuxer.exe "$dir/movie.meta" "$out")
    print_step "TS/tsmuxer.exe" $slot "${floor% *}"
    # The slot's own strict reading of what it wrote, by itself (part of the slot's time).
    [ "$road" = m2ts ] && print_step "of which the strict read" \
      $(timed sh -c '"$0" --strict "$1" || true' "$toolkit" "$out")
  fi
  rm -rf "$dir"
}

# (b) the whole run, with the peak disk of its output folder and each slot's time.
whole_run() {
  local road=$1 film=$2 run="$work/run"
  rm -rf "$run" && mkdir -p "$run/out" "$run/program"
  cp -a "$program/." "$run/program/"
  rm -f "$run/program/Quillet.conf" "$run/program/"*.log
  cat "$film" >/dev/null
  local peak=0 used start stop
  (
    while :; do
      du -sb "$run/out" 2>/dev/null | cut -f1
      sleep 0.05
    done
  ) >"$run/du" &
  local poller=$!
  start=$(now)
  (unset DISPLAY WAYLAND_DISPLAY
   strace -f -tt -e trace=execve,exit_group -o "$run/trace" \
     "$run/program/quillet" "--$road" --output "$run/out" "$film" >/dev/null 2>"$run/quillet.err") ||
    echo "  the run failed: $(tail -1 "$run/quillet.err")"
  stop=$(now)
  kill "$poller" 2>/dev/null; wait "$poller" 2>/dev/null || true
  for used in $(cat "$run/du"); do [ "$used" -gt "$peak" ] && peak=$used; done
  printf '  whole run: %.2f s, peak disk %d MB = %s x the source, left %d MB\n' \
    "$(echo "$stop - $start" | bc)" $((peak >> 20)) "$(ratio "$peak" "$(size "$film")")" \
    $(($(du -sb "$run/out" | cut -f1) >> 20))
  # Each slot of the program folder, from its start to its exit.
  awk -v prefix="$run/program/" '
    function secs(t, p) { split(t, p, ":"); return p[1] * 3600 + p[2] * 60 + p[3] }
    $3 ~ /^execve\(/ && index($3, "execve(\"" prefix) == 1 {
      name = substr($3, length(prefix) + 9); sub(/".*/, "", name)
      if (name == "quillet") next
      began[$1] = secs($2); called[$1] = name; order[++n] = $1
    }
    $3 ~ /^exit_group/ && ($1 in began) { took[$1] = secs($2) - began[$1] }
    END { for (i = 1; i <= n; i++) printf "    %-32s %7.2f s\n", called[order[i]], took[order[i]] }
  ' "$run/trace"
  rm -rf "$run"
}

for m in "${minutes[@]}"; do
  film=$(film_of "$m")
  echo "film: $film, $(($(size "$film") >> 20)) MB"
  for road in $roads; do
    echo "$road:"
    mux_step "$road" "$film"
    whole_run "$road" "$film"
  done
done
