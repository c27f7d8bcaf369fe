#include "toolkit/AviMp3Chunks.h"

#include <cstdlib>
#include <filesystem>

#include "base/Files.h"
#include "toolkit/Files.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"

namespace quillet::toolkit {
namespace {

namespace fs = std::filesystem;

bool HoldsMp3Sound(const std::string& avi) {
  auto streams = ProbeStreams(avi);
  if (streams)
    for (const ProbedStream& s : *streams)
      if (s.type == "audio") return s.codec == "mp3";
  return false;
}

// The video's chunks as ffmpeg reads them; -1 when it cannot count them.
int VideoFrames(const std::string& path) {
  RunOptions options;
  options.captureOut = true;
  ToolResult r =
      RunProgram({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                  "-show_entries", "stream=nb_read_packets", "-of", "default=nw=1:nk=1", path},
                 options);
  return r.Ok() ? std::atoi(r.out.c_str()) : -1;
}

// The AVI's first sound track as a plain MP3 file. The demuxer's times come from the false
// header: each frame is numbered in turn instead.
std::vector<std::string> Mp3OutOfAviArgv(const std::string& avi, const std::string& mp3) {
  return {"ffmpeg",     "-nostdin", "-y",    "-v",          "error", "-i",
          avi,          "-map",     "0:a:0", "-c",          "copy",  "-bsf:a",
          "setts=ts=N", "-f",       "mp3",   "-write_xing", "0",     "-id3v2_version",
          "0",          mp3};
}

// The AVI's video as it is, with the MP3 file's sound.
std::vector<std::string> AviWithMp3Argv(const std::string& avi, const std::string& mp3,
                                        const std::string& output) {
  return {"ffmpeg", "-nostdin", "-y",   "-v",  "error", "-i",   avi,  "-i",  mp3,
          "-map",   "0:v:0",    "-map", "1:a", "-c",    "copy", "-f", "avi", output};
}

}  // namespace

bool RechunkAviMp3(const std::string& avi, const std::string& scratch) {
  if (!HoldsMp3Sound(avi)) return true;
  const std::string mp3 = scratch + "/sound.mp3", rewritten = scratch + "/" + NameOf(avi);
  if (!RunProgram(Mp3OutOfAviArgv(avi, mp3)).Ok() || !FileHasData(mp3) ||
      !RunProgram(AviWithMp3Argv(avi, mp3, rewritten)).Ok() || !FileHasData(rewritten)) {
    Log("ffmpeg could not put the MP3 sound of " + NameOf(avi) + " one frame to a chunk");
    ReportFullDisk(FolderOf(avi));
    return false;
  }
  // A copy that lost a picture would put the sound out of step.
  if (VideoFrames(rewritten) != VideoFrames(avi)) {
    Log("the rewritten " + NameOf(avi) + " lost pictures");
    return false;
  }
  std::error_code ec;
  fs::remove(mp3, ec);
  fs::rename(rewritten, avi, ec);
  return !ec;
}

}  // namespace quillet::toolkit
