#!/usr/bin/env bash
# Times the muxer slot drawing SubRip subtitles at 1920x1080 into an M2TS film (the job
# the program writes for a text subtitle), for 1,500 cues and for a 49 MB file of 400,000
# cues, whose cues after the film's end are read and left out. Not a test: it prints cues
# per second and peak memory of each, beside one plain ffmpeg mux of the same film with
# the finished subtitle stream. Usage: scripts/bench-subtitles.sh [WORK_FOLDER] (the film
# and the scripts are made once there).
set -euo pipefail
cd "$(dirname "$0")/.."
toolkit=${QUILLET_TOOLKIT:-build/program/quillet-toolkit}
work=${1:-/tmp/quillet-bench-subtitles}
mkdir -p "$work"
film="$work/film.mkv"
seconds=3000 # 1,500 cues, one every 2 s

# GNU time tells the peak memory.
if [ ! -x /usr/bin/time ]; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends time >/dev/null
  else
    echo "GNU time is missing: apt-get install time" >&2
    exit 1
  fi
fi

if [ ! -s "$film" ]; then
  # Sound keeps packets coming between the sparse pictures, as the tables must.
  echo "making $film ($seconds s, 1920x1080 at 1 frame a second, AC3) ..." >&2
  ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x202020:s=1920x1080:r=1 \
    -f lavfi -i anullsrc=r=48000:cl=stereo -t $seconds -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a ac3 -b:a 96k -f matroska "$film.part"
  mv "$film.part" "$film"
fi

# Cues of one or two lines, some in italics, one every 2 s for 1.5 s; a few lines come
# back, as in films.
make_srt() { # CUES FILE
  [ -s "$2" ] && return
  awk -v n="$1" 'BEGIN {
    for (i = 0; i < n; i++) {
      s = i * 2; e = s + 1
      printf "%d\r\n%02d:%02d:%02d,000 --> %02d:%02d:%02d,500\r\n", i + 1,
        s / 3600, s / 60 % 60, s % 60, e / 3600, e / 60 % 60, e % 60
      if (i % 10 == 0) printf "<i>Music playing softly in the distance</i>\r\n\r\n"
      else if (i % 3 == 0) printf "- Where were you on the night of the %d?\r\n- At home, I told you that already.\r\n\r\n", i
      else printf "Line number %d of the film, said rather quickly by the old man at the front door.\r\n\r\n", i
    }
  }' >"$2.part"
  mv "$2.part" "$2"
}
make_srt 1500 "$work/short.srt"
make_srt 400000 "$work/long.srt"

# Prints "<seconds> <cues/s> <peak MB> <processor seconds> <drawing seconds>" of the slot on
# a script (the drawing's own time from the slot's log); keeps its film as slot.m2ts.
run_slot() { # SRT
  printf 'MUXOPT--no-pcr-on-video-pid --new-audio-pes --vbr --auto-chapters=5  --vbv-len=500\r\n' >"$work/movie.meta"
  printf 'V_MPEG4/ISO/AVC, "%s", track=1, level=4.1, fps=25\r\n' "$film" >>"$work/movie.meta"
  printf 'A_AC3, "%s", track=2\r\n' "$film" >>"$work/movie.meta"
  printf 'S_TEXT/UTF8, "%s" ,font-name="Arial",font-size=42,font-color=0x00FFFFFF,font-charset=1,bottom-offset=50,font-border=1,text-align=center,video-width=1920,video-height=1080, fps=25\r\n' "$1" >>"$work/movie.meta"
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -f "%M %U %S" -o "$work/peak" "$toolkit" TS/tsmuxer.exe "$work/movie.meta" "$work/slot.m2ts" 2>"$work/slot.log"
  end=$(date +%s.%N)
  local cues
  cues=$(grep -c -- '-->' "$1")
  local kb user sys
  read -r kb user sys <"$work/peak"
  local drawing
  drawing=$(sed -n 's/.* read and drawn as [0-9]* pictures in \([0-9.]*\) s$/\1/p' "$work/slot.log")
  echo "$(echo "$end - $start" | bc) $(echo "$cues / ($end - $start)" | bc) $((kb / 1024)) $(echo "$user + $sys" | bc) $drawing"
}

cat "$film" "$work/short.srt" "$work/long.srt" >/dev/null
read -r short_s short_rate short_mb short_cpu short_draw < <(run_slot "$work/short.srt")
ffmpeg -nostdin -v error -y -i "$work/slot.m2ts" -map 0:s -c copy -f sup "$work/drawn.sup"
read -r long_s long_rate long_mb long_cpu long_draw < <(run_slot "$work/long.srt")

# The plain tool: ffmpeg muxing the film with the finished subtitle stream.
start=$(date +%s.%N)
/usr/bin/time -f %M -o "$work/peak" ffmpeg -nostdin -v error -y -i "$film" -f sup -i "$work/drawn.sup" \
  -map 0:0 -map 0:1 -map 1:0 -c copy -f mpegts -mpegts_m2ts_mode 1 "$work/plain.m2ts"
plain=$(echo "$(date +%s.%N) - $start" | bc)

echo "1,500 cues:        ${short_s} s (${short_cpu} s of processor), ${short_rate} cues/s, peak ${short_mb} MB; reading and drawing ${short_draw} s, $(echo "1500 / $short_draw" | bc) cues/s"
echo "400,000 cues:      ${long_s} s (${long_cpu} s of processor), ${long_rate} cues/s read, peak ${long_mb} MB, reading and drawing ${long_draw} s ($(stat -c %s "$work/long.srt") bytes)"
echo "ffmpeg, .sup made: ${plain} s, peak $(($(cat "$work/peak") / 1024)) MB"
rm -f "$work/plain.m2ts" "$work/slot.m2ts" "$work/drawn.sup"
