// A text subtitle line of a mux job becomes a presentation-graphics stream drawn here
// and written as a .sup file in the scratch folder, which ffmpeg then muxes like any
// other source.

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

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
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
  auto cues = pgs::LoadCues(track, scratch, error);
  if (!cues) return std::nullopt;
  double fps = 0;
  if (auto rate = ParseFrameRate(track.fps))
    fps = static_cast<double>(rate->num) / static_cast<double>(rate->den);
  auto stream = pgs::EncodePgs(*cues, *style, fps);
  if (!stream && Interrupted()) return fail("stopped while drawing the subtitles of " + track.path);
  if (!stream) return fail("no subtitle in " + track.path + " has any text to show");
  std::string sup = (std::filesystem::path(scratch) / Format("line%d.sup", track.line)).string();
  if (!WriteFile(sup, *stream)) return fail("cannot write " + sup);
  auto probe = ProbeMediaFile(sup);
  if (!probe || probe->streams.size() != 1 || probe->streams[0].codec != "hdmv_pgs_subtitle")
    return fail("ffmpeg cannot read the subtitle pictures drawn from " + track.path);
  plan.inputs.push_back({sup, {"-f", "sup"}, *probe});
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
