// MP4Box/mp4creator.exe -create=FILE [-rate=R] [-qtw=W -qth=H] [:par=W:H] MP4
// Adds the track of FILE to the MP4 (making it when there is none): raw H.264 at the
// rate given, shown at qtw x qth (a pixel aspect follows from the picture size).

#include "toolkit/Files.h"
#include "toolkit/Mp4Build.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

int RunMp4Creator(const SlotCall& call) {
  std::string error;
  auto parsed = ParseMp4CreatorArgs(call.args, &error);
  if (!parsed) {
    Log(error);
    return 2;
  }
  Mp4Track track;
  track.path = LocateInput(parsed->create);
  bool rawVideo = IsRawH264(track.path);
  if (!parsed->rate.empty() && rawVideo) {
    track.fps = ParseFrameRate(parsed->rate);
    if (!track.fps) {
      Log("bad frame rate " + parsed->rate);
      return 2;
    }
  }
  if (!parsed->par.empty()) {
    track.par = ParseRatio(parsed->par);
    if (!track.par) {
      Log("bad pixel aspect " + parsed->par);
      return 2;
    }
  } else if (parsed->qtw > 0 && parsed->qth > 0) {
    int width = 0, height = 0;
    if (rawVideo) {
      RawH264PictureSize(track.path, width, height);
    } else if (auto streams = ProbeStreams(track.path)) {
      for (const ProbedStream& s : *streams)
        if (s.type == "video") {
          width = s.width;
          height = s.height;
          break;
        }
    }
    if (width > 0) track.par = ParFromDisplaySize(width, height, parsed->qtw, parsed->qth);
  }
  return AssembleMp4({track}, parsed->file, true, "") ? 0 : 1;
}

}  // namespace quillet::toolkit
