#pragma once
// Building MP4 files for the MP4Box and mp4creator slots (Debian 12 has neither): ffmpeg
// writes the MP4; raw H.264 at a given rate reaches it through a FIFO with each frame's
// times (RawVideoFeed.h), raw H.264 of a varying rate is wrapped by mkvmerge first (so that
// the B-frame order survives). Also the MP4Box command lines as data, and the
// plan of a split into parts that each play.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/MuxJob.h"

namespace quillet::toolkit {

// One track source of an MP4: a file with MP4Box's ":fps=" and ":par=" options and an
// optional "#video" / "#audio" selector.
struct Mp4Input {
  std::string path;
  std::string fps;         // text as given (":fps=" or the global -fps)
  std::string par;         // "W:H" as given
  std::string selector;    // "", "video", "audio"
  std::string timestamps;  // ":timestamps=" file of each frame's time (mkvextract's v2)
};

struct Mp4BoxCall {
  enum class Mode { Add, Split, AviRaw };
  Mode mode = Mode::Add;
  std::vector<Mp4Input> inputs;
  std::string globalFps;   // -fps
  std::string tmpDir;      // -tmp
  std::string file;        // the MP4 to write (Add), to split (Split), the AVI (AviRaw)
  long long splitKb = 0;   // -splits
  std::string aviRawKind;  // "video"
  bool forceNew = false;   // -new
};

using ExistsFn = std::function<bool(const std::string&)>;

// "movie.h264:fps=23.976:par=1920:1440" -> path and options. The path ends at the first
// colon after which an option follows, or where the text so far names an existing file.
std::optional<Mp4Input> ParseMp4BoxInput(const std::string& argument, const ExistsFn& exists,
                                         std::string* error);
std::optional<Mp4BoxCall> ParseMp4BoxArgs(const std::vector<std::string>& args,
                                          const ExistsFn& exists, std::string* error);

// mp4creator -create=FILE [-rate=R] [-qtw=W -qth=H] [:par=W:H] MP4FILE
struct Mp4CreatorCall {
  std::string create;
  std::string rate;
  int qtw = 0, qth = 0;
  std::string par;  // ":par=W:H" handed over as its own word
  std::string file;
};
std::optional<Mp4CreatorCall> ParseMp4CreatorArgs(const std::vector<std::string>& args,
                                                  std::string* error);

// One track source as the assembler takes it.
struct Mp4Track {
  std::string path;
  std::optional<Rational> fps;  // for raw H.264
  std::optional<Rational> par;  // pixel aspect of the video
  std::string selector;         // "", "video", "audio"
  std::string timestamps;       // for raw H.264 of a varying rate: each frame's time
};

// Writes destination from the tracks, after the tracks of the destination itself when
// addToExisting and it exists and holds no track of a kind being added (one that does is
// the result of an earlier run, replaced rather than given a second video or audio track).
// Intermediate files go to a hidden folder in tmpDir (or beside the destination). The
// destination is replaced only when all went well.
bool AssembleMp4(const std::vector<Mp4Track>& tracks, const std::string& destination,
                 bool addToExisting, const std::string& tmpDir);

// Whether tracks of addedKinds ("video", "audio") may join an MP4 holding existingKinds.
bool ExtendsExisting(const std::vector<std::string>& existingKinds,
                     const std::vector<std::string>& addedKinds);

// A raw H.264 elementary stream (Annex B with a sequence parameter set near its start).
bool IsRawH264(const std::string& path);
// The picture size of a raw H.264 stream from its first sequence parameter set.
bool RawH264PictureSize(const std::string& path, int& width, int& height);

// The pixel aspect that shows a width x height picture at qtw x qth.
std::optional<Rational> ParFromDisplaySize(int width, int height, int qtw, int qth);

// --- Splitting ---

struct PacketInfo {
  int stream = 0;
  double dts = 0;
  long long size = 0;
  bool key = false;
};

// Where to cut so that each part stays within limitBytes (MP4 index included): the
// numbers of the video packets (in decoding order, counted from 0) that start a new
// part. Parts start at key frames only; a single group of pictures larger than the limit
// makes a part of its own.
// packetOverhead: what the container adds per packet (headers, index entries).
std::vector<long long> PlanSplit(const std::vector<PacketInfo>& packets, int videoStream,
                                 long long limitBytes, long long packetOverhead = 24);

// The packets of a file as ffprobe lists them; nullopt (with a log line) when it cannot.
std::optional<std::vector<PacketInfo>> ProbePackets(const std::string& path);

// Splits an MP4 into parts of at most splitKb * 1024 bytes, named as MP4Box names them:
// base_001.mp4, base_002.mp4 ... beside the source.
bool SplitMp4(const std::string& path, long long splitKb);

// The raw video of an AVI beside it: base_video.h264 (MPEG-4 part 2: base_video.cmp).
bool ExtractAviRawVideo(const std::string& aviPath);

}  // namespace quillet::toolkit
