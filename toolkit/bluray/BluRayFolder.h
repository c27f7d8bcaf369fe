#pragma once
// Authoring of a BD-ROM folder tree around transport-stream clips that are already muxed
// (192-byte packets). No Debian package writes the navigation files, so they are written
// here: index.bdmv, MovieObject.bdmv, the playlist, and one clip-information file per
// clip with its program info and EP map.

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::toolkit::bluray {

// Stream coding types as the clip information and the PMT spell them.
enum class StreamCoding : uint8_t {
  kMpeg1Video = 0x01,
  kMpeg2Video = 0x02,
  kMpeg1Audio = 0x03,  // MP3 and MP2 are carried as MPEG-1/2 audio
  kMpeg2Audio = 0x04,
  kH264 = 0x1b,
  kLpcm = 0x80,
  kAc3 = 0x81,
  kDts = 0x82,
  kPgs = 0x90,
  kVc1 = 0xea,
};

// One elementary stream of a clip, as the muxer put it there.
struct ClipStream {
  uint16_t pid = 0;
  StreamCoding coding = StreamCoding::kH264;
  // Video: the picture and its rate.
  int width = 0;
  int height = 0;
  bool interlaced = false;
  double framesPerSecond = 0;  // 23.976, 24, 25, 29.97, 50, 59.94
  // Audio: channels (including LFE) and sample rate.
  int channels = 0;
  int sampleRate = 0;
  // ISO 639-2 language code for audio and subtitles; "und" when unknown.
  std::string language = "und";
};

// One clip: a finished .m2ts file and what it carries. Every clip of a title carries the
// same streams in the same order.
struct Clip {
  std::string m2tsPath;
  std::vector<ClipStream> streams;
};

struct TitleOptions {
  int chapterMinutes = 0;            // a chapter mark every N minutes; 0: one at the start only
  bool insertBlankPlaylist = false;  // --insertBlankPL
};

// Fills `folder` (created when missing) with BDMV/ and CERTIFICATE/ for one title that
// plays every clip in order. The clips are moved into BDMV/STREAM/00000.m2ts, 00001.m2ts,
// ... Returns false with a one-line reason in *error when a clip cannot be read (no video
// PID, no time stamps) or a file cannot be written.
bool WriteBluRayFolder(const std::string& folder, const std::vector<Clip>& clips,
                       const TitleOptions& options, std::string* error);

}  // namespace quillet::toolkit::bluray
