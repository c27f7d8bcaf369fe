#pragma once
// What mkvmerge's identification (mkvmerge -J) says about a file, in the terms the slot
// adapters need.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet::toolkit {

struct MkvTrack {
  long long id = -1;     // today's 0-based track id
  std::string type;      // "video", "audio", "subtitles", "buttons"
  std::string codec;     // mkvmerge's codec name, e.g. "AVC/H.264/MPEG-4p10"
  long long number = 0;  // the track number element of the file
  std::string uid;       // as written (may exceed 63 bits)
  std::string codecId;   // "V_MPEG4/ISO/AVC", "A_AC3", ...
  std::vector<uint8_t> codecPrivate;
  long long codecPrivateLength = 0;
  std::string language;             // ISO 639-2, empty when not given
  std::string name;                 // the track's name, empty when not given
  long long defaultDurationNs = 0;  // 0 when not given
  bool enabled = true;
  bool defaultTrack = true;
  bool forced = false;
  int pixelWidth = 0, pixelHeight = 0;
  int displayWidth = 0, displayHeight = 0;  // as stored, in displayUnit
  int displayUnit = 0;                      // 0 pixels, 1 cm, 2 inches, 3 aspect ratio
  long long samplingFrequency = 0, channels = 0, bitsPerSample = 0;
};

struct MkvIdentification {
  std::string containerType;  // "Matroska", "MP4/QuickTime", ...
  bool recognized = false;
  long long durationNs = -1;  // -1 when unknown
  long long timestampScale = 0;
  std::string muxingApplication;
  std::string writingApplication;
  std::string segmentUid;  // hex
  int chapterEditions = 0;
  int attachments = 0;
  int globalTags = 0;
  std::vector<MkvTrack> tracks;
  std::vector<std::string> errors;

  bool IsMatroska() const { return recognized && containerType == "Matroska"; }
  const MkvTrack* FindTrack(long long id) const;
};

// Reads the identification JSON; nullopt with a message when it is not one.
std::optional<MkvIdentification> ParseIdentification(const std::string& json,
                                                     std::string* error = nullptr);

// Runs `mkvmerge -J file` and reads its answer; nullopt (with a log line) on failure.
std::optional<MkvIdentification> IdentifyFile(const std::string& path);

}  // namespace quillet::toolkit
