#pragma once
// The frames of a raw H.264 stream (Annex B) as access units with their times, as the
// transport-stream muxer writes them. Opening indexes the file (a few dozen bytes a frame);
// each frame's bytes are read when it is asked for.

#include <memory>
#include <string>
#include <vector>

#include "toolkit/es/Units.h"

namespace quillet::toolkit::es {

struct H264Options {
  int64_t fpsNum = 0, fpsDen = 1;  // 0: from the stream's timing information
  int level = 0;                   // 41: level_idc 41 in every SPS
  // Frame n at n frame durations rounded to the tick, for a container that keeps the exact
  // rate (MP4), instead of on mkvmerge's millisecond clock (FrameClock.h).
  bool exactClock = false;
  uint16_t sarWidth = 0, sarHeight = 0;  // set as the sample aspect ratio of every SPS
  // The parameter sets put in front of every key frame that lacks them, for players that
  // start there; an MP4 keeps them once, in its sample description.
  bool setsOnKeyFrames = true;
};

struct H264Summary {
  size_t frames = 0;
  int reorderDelay = 0;  // frames decoded before the first one shown
  int64_t durationTicks = 0;
  // What the first sequence parameter set says, and whether any picture is coded as fields
  // (field pictures, or frames of field and frame macroblock pairs), as ffprobe reads it.
  int width = 0, height = 0, profileIdc = 0, levelIdc = 0;
  bool interlaced = false;
};

class H264Units : public UnitReader {
 public:
  // A frame as the index keeps it; its bytes run to the next frame's offset.
  struct Frame {
    uint64_t offset = 0;
    int64_t poc = 0;
    uint32_t sps = 0, pps = 0;  // the parameter sets its slices name (indexes into sets_)
    bool key = false;
    bool reset = false;  // the picture order counts start over here
  };

  ~H264Units() override;
  bool Next(Unit& unit) override;
  const std::string& Error() const override { return error_; }
  const H264Summary& Summary() const { return summary_; }

 private:
  friend std::unique_ptr<H264Units> OpenH264Units(const std::string&, const H264Options&,
                                                  std::string*);
  H264Units() = default;
  void PlaceInTime(int spsReorder);
  // The frame's bytes as players need them (its own SPS set to the level as it goes).
  std::vector<uint8_t> Packed(std::vector<uint8_t>& raw, const Frame& frame) const;

  std::string path_, error_;
  int fd_ = -1;
  uint64_t fileSize_ = 0;
  H264Options options_;
  std::vector<Frame> frames_;               // in decoding order
  std::vector<uint32_t> display_;           // each frame's place in display order
  std::vector<std::vector<uint8_t>> sets_;  // SPS and PPS NAL units met, each version once
  H264Summary summary_;
  size_t next_ = 0;
};

// nullptr, with a one-line reason in *error, when the file is no H.264 stream we can time.
std::unique_ptr<H264Units> OpenH264Units(const std::string& path, const H264Options& options,
                                         std::string* error);

}  // namespace quillet::toolkit::es
