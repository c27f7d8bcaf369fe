#pragma once
// Raw audio streams (AC-3 and E-AC-3, DTS with its HD extension, AAC in ADTS, MPEG audio
// layers 1-3) read frame by frame as access units, timed by the samples before them.

#include <memory>
#include <string>

#include "toolkit/MuxJob.h"
#include "toolkit/es/Units.h"

namespace quillet::toolkit::es {

struct AudioFormat {
  int sampleRate = 0, channels = 0;
  bool operator==(const AudioFormat&) const = default;
};

class AudioUnitReader : public UnitReader {
 public:
  // What the first frame says.
  virtual AudioFormat Format() const = 0;
};

// Each unit is one frame as the file holds it (with the substreams that belong to it), at
// pts = dts = the samples before it in 90 kHz ticks. Bytes that are no frame are passed
// over, and said once in the log. nullptr with a one-line reason when the file cannot be
// read, holds no frame, or the codec is no audio.
std::unique_ptr<AudioUnitReader> OpenAudioUnits(TrackCodec codec, const std::string& path,
                                                std::string* error);

}  // namespace quillet::toolkit::es
