#pragma once
// The values of one conversion run. The driver fills them at the start of `Convert`;
// each branch reads them as they stand when it starts and may replace a few of them
// (the re-encode and the 25 fps step change strEncFps, the audio chain sets bNeroRoad).

#include <cstdint>
#include <string>

namespace quillet {

struct ConvertRun {
  std::string folder;         // text of txtTMP, ends in the separator; holds the working files
  std::string strVideoTrack;  // text of txtS1
  std::string strEncFps;      // frame-rate text handed to the muxers
  std::string strAudioExt;    // "ac3", "dts", "ogg", "mp3", "aac", "mp2" or empty
  std::string strBaseName;    // source file name without its last four characters
  bool bNormalize = false;
  int32_t lngTargetSize = 34500000;  // "Fit to" target of the re-encoding branches
  std::string strAacEncoder;         // the Nero encoder found (or the last name tried)
  bool bAacEncoder = false;
  std::string strSubSelect;  // " -s " + subtitle track id for the splitter, or empty
  int32_t lngSplitSize = 0;  // thousands of bytes
  int32_t lngPartSize = 0;   // thousands of bytes
  bool bRecodeH264 = false;
  bool bRecodeXvid = false;
  // The encoder's scale and pad filters: empty, ",scale=W:H" and/or ",expand=W:H".
  std::string strExpand;

  // The audio chain left the AAC inside strBaseName + ".mp4" (Nero encoder), so the MP4
  // stage adds the video to that file; its size then tells whether the video went in.
  bool bNeroRoad = false;
  int64_t lngNeroAudioSize = 0;
};

}  // namespace quillet
