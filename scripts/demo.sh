#!/usr/bin/env bash
# Converts a generated sample film to a PS3 MP4 and shows what the result holds.
#
# Installs what is missing and builds the program and its toolkit (scripts/setup.sh; the
# tests are left to scripts/test.sh), makes a 10-second Matroska sample with H.264 High
# at level 5.1 and AC3 5.1 sound (the kind of film a PS3 refuses), and converts it with
# the built program, without a window, from a program folder of its own under
# build/demo/, so your own settings in build/program are left alone.
# Ends with a non-zero status when the conversion fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh quillet quillet-toolkit

demo="$root/build/demo"
program="$demo/program"
out="$demo/out"
sample="$demo/sample.mkv"
log="$demo/quillet.log"

# Writes a line of " KEY: value" pairs for each stream and the container of a film.
describe() {
  ffprobe -v error \
    -show_entries format=format_name,duration:stream=index,codec_type,codec_name,profile,level,width,height,sample_aspect_ratio,sample_rate,channels,channel_layout,duration \
    -of compact=p=0 "$1" |
    awk -F'|' '
      {
        delete v
        for (i = 1; i <= NF; i++) { eq = index($i, "="); v[substr($i, 1, eq - 1)] = substr($i, eq + 1) }
        if ("format_name" in v) {
          container = sprintf("  container: %s, %.2f s", v["format_name"], v["duration"])
          next
        }
        line = sprintf("  stream %s: %s %s", v["index"], v["codec_type"], v["codec_name"])
        if (v["profile"] != "" && v["profile"] != "unknown") line = line ", profile " v["profile"]
        if (v["codec_type"] == "video") {
          if (v["level"] > 0) line = line sprintf(", level %.1f", v["level"] / 10)
          line = line ", " v["width"] "x" v["height"]
          if (v["sample_aspect_ratio"] != "" && v["sample_aspect_ratio"] != "1:1" && v["sample_aspect_ratio"] != "N/A")
            line = line " (pixel aspect " v["sample_aspect_ratio"] ")"
        }
        if (v["codec_type"] == "audio")
          line = line ", " v["channels"] " channels (" v["channel_layout"] "), " v["sample_rate"] " Hz"
        if (v["duration"] != "" && v["duration"] != "N/A") line = line sprintf(", %.2f s", v["duration"])
        streams = streams line "\n"
      }
      END { print container; printf "%s", streams }'
}

rm -rf "$demo"
mkdir -p "$demo" "$out"

echo "Making the sample: $sample"
tones="sine=f=220:d=10[a0];sine=f=330:d=10[a1];sine=f=440:d=10[a2];sine=f=60:d=10[a3];"
tones+="sine=f=550:d=10[a4];sine=f=660:d=10[a5];"
tones+="[a0][a1][a2][a3][a4][a5]amerge=inputs=6,aformat=channel_layouts=5.1[a]"
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc=size=1280x720:rate=24000/1001" -filter_complex "$tones" \
  -map 0:v -map "[a]" -t 10 \
  -c:v libx264 -preset ultrafast -x264-params cabac=1:8x8dct=1:bframes=2 \
  -profile:v high -level 5.1 -pix_fmt yuv420p \
  -c:a ac3 -ar 48000 -b:a 448k "$demo/made-by-ffmpeg.mkv"
mkvmerge -q -o "$sample" --title "Quillet demo" --language 1:eng "$demo/made-by-ffmpeg.mkv"
rm -f "$demo/made-by-ffmpeg.mkv"
describe "$sample"

# The program with its tool slots; the links lead to the copied toolkit.
mkdir -p "$program"
cp -a build/program/quillet build/program/quillet-toolkit "$program/"
for folder in build/program/*/; do cp -a "$folder" "$program/"; done

# Settings: PS3 (5.1), no video re-encode, output into build/demo/out/. Fifteen lines
# ended by CR LF; numbers are written as " 0 ".
printf '%s\r\n' "" "" "" "$out/" " 0 " " 0 " "$demo/" "" " 1 " "" " 0 " " 0 " " 0 " " 0 " " 0 " \
  >"$program/Quillet.conf"

echo "Converting it for the PS3 (5.1), log in $log"
status=0
(unset DISPLAY WAYLAND_DISPLAY; "$program/quillet" "$sample") 2>"$log" || status=$?
# The program's progress texts and message boxes ("Title: text"), without the tools' chatter.
progress='Extracting (video/audio stream|tracks|audio with backup method\.)|Adjusting header'
progress+='|Encoding (Audio|H264)|Creating MP4|Cleaning temporary files|Splitting mp4'
progress+='|Conversion .*|[A-Za-z0-9 ]+ error: .*'
grep -E "^($progress)\$" "$log" | sed 's/^/  /' || true

result="$out/sample.mp4"
if [ "$status" -ne 0 ] || [ ! -s "$result" ]; then
  echo "The conversion failed (exit status $status). The end of $log:" >&2
  tail -n 30 "$log" >&2
  exit 1
fi

echo "Result: $result ($(du -h "$result" | cut -f1))"
describe "$result"
