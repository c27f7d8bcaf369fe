// MP4Box/MP4Box.exe
//   [-fps R] -add FILE[:fps=R][:par=W:H][:timestamps=TC] ... MP4 [-tmp FOLDER]
//                                                              build or add to an MP4
//   -splits KB MP4                                              cut into playable parts
//   -aviraw video AVI                                           raw video out of an AVI
// Debian 12 has no MP4Box; the work is done by mkvmerge and ffmpeg (Mp4Build).

#include "toolkit/Files.h"
#include "toolkit/Mp4Build.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

int RunMp4Box(const SlotCall& call) {
  std::string error;
  auto exists = [](const std::string& p) { return FileSize(LocateInput(p)) >= 0; };
  auto parsed = ParseMp4BoxArgs(call.args, exists, &error);
  if (!parsed) {
    Log(error);
    return 2;
  }
  switch (parsed->mode) {
    case Mp4BoxCall::Mode::AviRaw:
      return ExtractAviRawVideo(parsed->file) ? 0 : 1;
    case Mp4BoxCall::Mode::Split:
      return SplitMp4(parsed->file, parsed->splitKb) ? 0 : 1;
    case Mp4BoxCall::Mode::Add:
      break;
  }
  std::vector<Mp4Track> tracks;
  for (const Mp4Input& input : parsed->inputs) {
    Mp4Track track;
    track.path = input.path;
    track.selector = input.selector;
    track.timestamps = input.timestamps;
    std::string fps = input.fps.empty() ? parsed->globalFps : input.fps;
    if (!fps.empty()) {
      track.fps = ParseFrameRate(fps);
      if (!track.fps) {
        Log("bad frame rate " + fps);
        return 2;
      }
    }
    if (!input.par.empty()) {
      track.par = ParseRatio(input.par);
      if (!track.par) {
        Log("bad pixel aspect " + input.par);
        return 2;
      }
    }
    tracks.push_back(track);
  }
  return AssembleMp4(tracks, parsed->file, !parsed->forceNew, parsed->tmpDir) ? 0 : 1;
}

}  // namespace quillet::toolkit
