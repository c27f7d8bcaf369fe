// A text subtitle line of a mux job becomes a presentation-graphics stream drawn here
// and written as a .sup file in the scratch folder, which ffmpeg then muxes like any
// other source.

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/Text.h"
#include "toolkit/MuxInputs.h"
#include "toolkit/MuxJob.h"
#include "toolkit/Process.h"
#include "toolkit/pgs/PgsEncoder.h"
#include "toolkit/pgs/SubtitleSource.h"

namespace quillet::toolkit {
namespace {

// The length of the film in milliseconds (its video's), 0 when the plan has no video yet.
int64_t FilmEndMs(const MuxPlan& plan) {
  for (const MuxInput& input : plan.inputs)
    for (const ProbedStream& s : input.probe.streams)
      if (s.type == "video")
        return std::llround(1000 * (s.duration > 0 ? s.duration : input.probe.duration));
  return 0;
}

// One line for the cues that start before the film, one for those after its end.
void TellFit(const pgs::FilmFit& fit, const MuxTrack& track, int64_t filmEndMs) {
  if (fit.shifted + fit.endedBefore > 0)
    Log(
        Format("%zu subtitles of %s start before the film: %zu shown from its start, %zu that "
               "end before it left out",
               fit.shifted + fit.endedBefore, track.path.c_str(), fit.shifted, fit.endedBefore));
  if (fit.startedAfter > 0)
    Log(Format("%zu subtitles of %s start after the film's end at %.3f s and are left out",
               fit.startedAfter, track.path.c_str(), static_cast<double>(filmEndMs) / 1000));
}

}  // namespace

std::optional<MuxStream> DrawTextSubtitles(const MuxTrack& track, const std::string& scratch,
                                           MuxPlan& plan, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<MuxStream> {
    if (error) *error = Format("line %d: %s", track.line, why.c_str());
    return std::nullopt;
  };
  std::string why;
  auto style = pgs::StyleFromFields(track.style, &why);
  if (!style) return fail(why);
  const auto started = std::chrono::steady_clock::now();
  auto cues = pgs::LoadCues(track, scratch, error);
  if (!cues) return std::nullopt;
  double fps = 0;
  if (auto rate = ParseFrameRate(track.fps))
    fps = static_cast<double>(rate->num) / static_cast<double>(rate->den);
  std::string sup = (std::filesystem::path(scratch) / Format("line%d.sup", track.line)).string();
  std::ofstream out(sup, std::ios::binary | std::ios::trunc);
  const int64_t filmEndMs = FilmEndMs(plan);
  pgs::PgsResult drawn = pgs::EncodePgs(*cues, *style, fps, filmEndMs, out);
  TellFit(drawn.fit, track, filmEndMs);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  Log(Format("%zu subtitles of %s read and drawn as %zu pictures in %.2f s", cues->cues().size(),
             track.path.c_str(), drawn.pictures, took.count()));
  if (drawn.stopped) return fail("stopped while drawing the subtitles of " + track.path);
  if (drawn.pictures == 0) return fail("no subtitle in " + track.path + " has any text to show");
  if (!out.flush()) return fail("cannot write " + sup);
  out.close();
  auto probe = ProbeMediaFile(sup);
  if (!probe || probe->streams.size() != 1 || probe->streams[0].codec != "hdmv_pgs_subtitle")
    return fail("ffmpeg cannot read the subtitle pictures drawn from " + track.path);
  plan.inputs.push_back({sup, {"-f", "sup"}, *probe, nullptr});
  MuxStream s;
  s.input = static_cast<int>(plan.inputs.size() - 1);
  s.stream = 0;
  s.track = track;
  s.info = probe->streams[0];
  s.info.duration = 0;  // the film's length is the video's and the audio's
  s.info.language = track.language;
  return s;
}

}  // namespace quillet::toolkit
