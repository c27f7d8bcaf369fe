#pragma once
// What the Matroska report says about the current source. One instance, replaced by
// each inspection.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// Audio format codes; also the index of the window's audio-format button. An audio row
// of a format the program does not know has an empty code.
enum AudioType {
  kAudioAC3 = 0,
  kAudioDTS = 1,
  kAudioVorbis = 2,
  kAudioMP3 = 3,
  kAudioAAC = 4,
  kAudioMP2 = 5
};

inline constexpr int kMaxTrackRows = 33;

// One row of a track table: language, format code or subtitle kind, track id.
struct TrackRow {
  std::string language;
  std::string kind;  // audio: AudioType code as decimal text; subtitles: "srt", "SSA", "ASS"
  std::string trackId;
  // Audio only: whether the track is flagged default (a track without the flag is), its
  // channel count and the sample rate it decodes to (0 when the report does not give it).
  bool isDefault = true;
  int channels = 0;
  int sampleRate = 0;
  // Audio only: the report's "Codec ID" ("A_AAC/MPEG4/LC/SBR") and the track's name, both
  // shown in the audio list; empty when the report gives none.
  std::string codecId{};
  std::string name{};
};

struct TrackTable {
  std::array<TrackRow, kMaxTrackRows> rows;
  int count = 0;
  // Stores a row when there is room; a 34th track is not stored.
  void Add(TrackRow row) {
    if (count < kMaxTrackRows) rows[count++] = std::move(row);
  }
  void Reset() {
    rows = {};
    count = 0;
  }
};

struct TrackReport {
  std::string strVideoCodec;  // "avc", "mpeg2", "vc1", "mpeg4" (Xvid/DivX in VFW mode) or empty
  bool bVFW = false;
  // The video track gives no default duration: its frames come at no one rate (a film
  // cut from parts of different rates), and each keeps its own time stamp.
  bool bVariableRate = false;
  int32_t lngDuration = 0;  // whole seconds
  int16_t intPixelWidth = 0;
  int16_t intPixelHeight = 0;
  std::string strPar;     // ":par=" + display width + ":" + pixel width when anamorphic
  std::string strQTSize;  // " -qtw=" + display width + " -qth=" + pixel height
  TrackTable strAudioTracks;
  TrackTable strSubTracks;
  // The "Codec ID" of every audio track ("A_AC3", "A_AAC", ...), in report order. Kept
  // also for sources whose track tables stay empty (MPEG-2 video), whose streams are
  // copied as they are: the copy must know what it carries.
  std::vector<std::string> audioCodecIds;
  // The report's lines as read: the players' limits judge the video by what they say.
  std::vector<std::string> lines;

  // A VFW-mode stream the MP4 and transport-stream roads take out through an AVI file as it
  // is. Xvid or DivX video in VFW mode is no stream those players take from this program: it
  // is re-encoded, or remuxed into an AVI, from the source itself.
  bool VideoThroughAvi() const { return bVFW && strVideoCodec != "mpeg4"; }
};

}  // namespace quillet
