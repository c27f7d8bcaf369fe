#include "toolkit/es/NativeMux.h"

#include <cmath>

#include "base/Text.h"
#include "toolkit/H264.h"
#include "toolkit/es/AudioUnits.h"
#include "toolkit/es/H264Units.h"
#include "toolkit/es/SupUnits.h"

namespace quillet::toolkit {
namespace {

std::shared_ptr<es::UnitReader> OpenUnits(const MuxStream& s, const std::string& path,
                                          std::string* error) {
  if (s.units) return s.units;
  if (s.track.codec == TrackCodec::TextSubtitle) return es::OpenSupUnits(path, error);
  if (IsAudioCodec(s.track.codec)) return es::OpenAudioUnits(s.track.codec, path, error);
  auto video = OpenRawVideo(s.track, path, error);
  return video ? video->units : nullptr;
}

// A stream whose frames all come a fixed time later (sound that starts after the video).
class Delayed : public es::UnitReader {
 public:
  Delayed(std::shared_ptr<es::UnitReader> units, int64_t ticks)
      : units_(std::move(units)), ticks_(ticks) {}
  bool Next(es::Unit& unit) override {
    if (!units_->Next(unit)) return false;
    unit.pts += ticks_, unit.dts += ticks_;
    return true;
  }
  const std::string& Error() const override { return units_->Error(); }

 private:
  std::shared_ptr<es::UnitReader> units_;
  int64_t ticks_;
};

}  // namespace

std::optional<MuxInput> OpenRawVideo(const MuxTrack& track, const std::string& path,
                                     std::string* error) {
  es::H264Options options;
  if (auto fps = ParseFrameRate(track.fps)) options.fpsNum = fps->num, options.fpsDen = fps->den;
  options.level = track.level;
  std::string why;
  std::shared_ptr<es::H264Units> units = es::OpenH264Units(path, options, &why);
  if (!units) {
    if (error) *error = Format("line %d: %s", track.line, why.c_str());
    return std::nullopt;
  }
  const es::H264Summary& summary = units->Summary();
  ProbedStream video;
  video.type = "video";
  video.codec = "h264";
  video.profile = ProfileName(summary.profileIdc);
  video.level = summary.levelIdc;
  video.width = summary.width;
  video.height = summary.height;
  video.interlaced = summary.interlaced;
  video.duration = static_cast<double>(summary.durationTicks) / 90000;
  if (video.duration > 0) video.fps = static_cast<double>(summary.frames) / video.duration;
  if (auto fps = ParseFrameRate(track.fps))
    video.fps = static_cast<double>(fps->num) / static_cast<double>(fps->den);
  MuxInput input;
  input.path = path;
  input.probe.format = "h264";
  input.probe.duration = video.duration;
  input.probe.streams = {video};
  input.units = std::move(units);
  return input;
}

bool WriteOwnTransportStream(const MuxPlan& plan, const es::TsSink& sink, std::string* error) {
  std::vector<es::TsTrack> tracks;
  for (const MuxStream& s : plan.streams) {
    es::TsTrack track;
    std::string why;
    track.reader = OpenUnits(s, plan.inputs[s.input].path, &why);
    if (!track.reader) {
      if (error)
        *error =
            why.rfind("line ", 0) == 0 ? why : Format("line %d: %s", s.track.line, why.c_str());
      return false;
    }
    if (const auto ticks = static_cast<int64_t>(std::llround(s.start * 90000)); ticks != 0)
      track.reader = std::make_shared<Delayed>(track.reader, ticks);
    track.codec = s.track.codec;
    track.pid = s.pid;
    track.language = s.info.language;
    track.sampleRate = s.info.sampleRate;
    // the line's rate, else the stream's own (23.976 read as 24000/1001)
    auto fps = ParseFrameRate(s.track.fps);
    if (!fps && s.info.fps > 0) fps = ParseFrameRate(Format("%.3f", s.info.fps));
    if (fps) track.frameRate = *fps;
    tracks.push_back(std::move(track));
  }
  return es::WriteTransportStream(tracks, sink, error);
}

}  // namespace quillet::toolkit
