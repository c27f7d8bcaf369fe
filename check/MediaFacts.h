#pragma once
// What the pre-flight report knows about one film: the same facts the conversion reads
// (the Matroska report and its parser, the buffer checker, the AVI feature report),
// plus what the players' limits need besides (channels, sample rates, bitrates).

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// A transport stream (.m2ts, .mts, .ts, .mpg) becomes MpegProgram when ffprobe finds an
// MPEG program stream in it instead; a Blu-ray folder is a folder that holds BDMV/index.bdmv.
enum class Container {
  Matroska,
  Avi,
  Wmv,
  Mp4,
  TransportStream,
  MpegProgram,
  BluRayFolder,
  Unknown
};

// "mkv", "avi", "wmv", "mp4", "m2ts", "mpg", "bdmv", "" — the names the limit table and the
// JSON use.
const char* ContainerId(Container container);
// "Matroska", "AVI", ... for people.
const char* ContainerName(Container container);
// By the file name's extension, any case; a Blu-ray folder by its BDMV/index.bdmv.
Container ContainerOfPath(const std::string& path);
// The disc folder of a Blu-ray folder given as itself or as its BDMV folder; "" when the path
// is neither.
std::string BluRayFolderOf(const std::string& path);

struct VideoFacts {
  bool present = false;
  // "h264", "mpeg2", "vc1", "wmv3", "wmv2", "wmv1", "mpeg4", "msmpeg4v3", "hevc", ...
  std::string codec;
  std::string profile;  // "High", "Main", ... as the checker or ffprobe names it
  int level = 0;        // level_idc: 41 for 4.1; 0 when not known
  int width = 0;
  int height = 0;
  double fps = 0;  // 0 when not known
  bool interlaced = false;
  // From the buffer checker (H.264 only): the stream's reference frames and how many
  // frames the level 4.1 buffer holds at this frame size.
  bool dpbChecked = false;
  bool dpbFits = true;
  int refFrames = -1;
  int dpbFrames = -1;
  int64_t bitrate = 0;          // bits per second, 0 when not known
  bool bitrateOverall = false;  // the figure is the whole file's (video and audio)
  bool qpel = false;            // MPEG-4 Part 2 quarter-pixel motion
  bool gmc = false;             // MPEG-4 Part 2 global motion compensation
  bool vfw = false;             // Matroska track in VFW compatibility mode
  bool variableRate = false;    // no one frame rate: each frame keeps its own time
};

struct AudioFacts {
  std::string codec;  // "ac3", "dts", "aac", "mp3", "mp2", "vorbis", "wmav2", "pcm", ...
  int channels = 0;
  int sampleRate = 0;
};

struct SubtitleFacts {
  std::string codec;  // "srt", "ssa", "ass", "vobsub", "pgs", "mov_text", ...
  bool bitmap = false;
};

// A rule of the transport stream or Blu-ray formats the file breaks, as the strict reader
// found it: players that start at a jump point, read whole aligned units or take 48 kHz
// only stumble where permissive readers do not.
struct StructureFinding {
  std::string rule;  // "parameter-sets", "aligned-units", ...
  std::string file;  // the file it was found in ("BDMV/STREAM/00000.m2ts")
  std::string text;  // one sentence with the first place and the count
};

struct MediaFacts {
  std::string path;
  Container container = Container::Unknown;
  bool readable = false;
  std::string problem;  // why the file could not be read
  int64_t sizeBytes = 0;
  double durationSeconds = 0;
  VideoFacts video;
  std::vector<AudioFacts> audio;  // in file order; the conversion takes the first
  std::vector<SubtitleFacts> subtitles;
  std::vector<StructureFinding> structure;  // transport streams and Blu-ray folders only
};

}  // namespace quillet
