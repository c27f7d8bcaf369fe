#include "toolkit/BluRayMux.h"

#include <filesystem>
#include <map>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/M2tsMux.h"
#include "toolkit/MuxJob.h"
#include "toolkit/StrictGate.h"
#include "toolkit/bluray/StrictFolder.h"

namespace quillet::toolkit {
namespace {

namespace fs = std::filesystem;
using bluray::StreamCoding;

// The Blu-ray stream coding of a job line's codec; AAC has none.
std::optional<StreamCoding> CodingOf(TrackCodec codec) {
  static const std::map<TrackCodec, StreamCoding> kCodings = {
      {TrackCodec::H264, StreamCoding::kH264},
      {TrackCodec::Vc1, StreamCoding::kVc1},
      {TrackCodec::Mpeg2Video, StreamCoding::kMpeg2Video},
      {TrackCodec::Ac3, StreamCoding::kAc3},
      {TrackCodec::Dts, StreamCoding::kDts},
      {TrackCodec::Mp3, StreamCoding::kMpeg1Audio},
      {TrackCodec::Mp2, StreamCoding::kMpeg1Audio},
      {TrackCodec::TextSubtitle, StreamCoding::kPgs}};
  const auto found = kCodings.find(codec);
  if (found == kCodings.end()) return std::nullopt;
  return found->second;
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// An earlier result may be replaced; any other folder of that name is the user's.
bool MayReplace(const fs::path& out) {
  std::error_code ec;
  if (!fs::exists(out, ec)) return true;
  if (!fs::is_directory(out, ec)) return false;
  for (const auto& entry : fs::directory_iterator(out, ec)) {
    std::string name = entry.path().filename().string();
    if (name != "BDMV" && name != "CERTIFICATE") return false;
  }
  return true;
}

}  // namespace

std::optional<std::vector<bluray::ClipStream>> ClipStreamsOf(const MuxPlan& plan,
                                                             std::string* error) {
  std::vector<bluray::ClipStream> streams;
  for (const MuxStream& s : plan.streams) {
    auto coding = CodingOf(s.track.codec);
    if (!coding) {
      Fail(error, Format("line %d: %s cannot go on a Blu-ray disc", s.track.line,
                         s.track.codecId.c_str()));
      return std::nullopt;
    }
    bluray::ClipStream clip;
    clip.pid = s.pid;
    clip.coding = *coding;
    clip.width = s.info.width;
    clip.height = s.info.height;
    clip.interlaced = s.info.interlaced;
    clip.framesPerSecond = s.info.fps;
    if (auto fps = ParseFrameRate(s.track.fps); fps && s.info.fps <= 0)
      clip.framesPerSecond = static_cast<double>(fps->num) / static_cast<double>(fps->den);
    clip.channels = s.info.channels;
    clip.sampleRate = s.info.sampleRate;
    if (!IsVideoCodec(s.track.codec))
      clip.language = NormalizeLanguage(s.info.language).value_or("und");
    streams.push_back(clip);
  }
  return streams;
}

bool MuxBluRayFolder(const MuxJob& job, const MuxPlan& plan, const std::string& out,
                     Staging& staging, std::string* error) {
  if (!MayReplace(out)) return Fail(error, out + " exists and is no Blu-ray folder");
  auto streams = ClipStreamsOf(plan, error);
  if (!streams) return false;
  std::string work = staging.Scratch(FolderOf(out));
  if (work.empty()) return Fail(error, "cannot write beside " + out);
  auto pathOf = [&](int n) { return (fs::path(work) / Format("clip%d.m2ts", n)).string(); };
  std::vector<std::string> parts;
  if (!MuxToM2ts(plan, job.options.splitBytes, pathOf, &parts, error) ||
      !CheckM2tsParts(parts, plan, job.options.splitBytes, error))
    return false;
  std::vector<bluray::Clip> clips;
  for (const std::string& part : parts) clips.push_back({part, *streams});
  bluray::TitleOptions title;
  title.chapterMinutes = job.options.chapterMinutes;
  title.insertBlankPlaylist = job.options.insertBlankPlaylist;
  fs::path disc = fs::path(work) / "disc";
  if (!bluray::WriteBluRayFolder(disc.string(), clips, title, error)) return false;
  if (!FileHasData((disc / "BDMV" / "index.bdmv").string()) ||
      FileSize((disc / "BDMV" / "STREAM" / "00000.m2ts").string()) <= 0)
    return Fail(error, "the Blu-ray folder was not written whole");
  if (!PassesStrictCheck(bluray::CheckBluRayFolder(disc.string(), StrictOptionsFor(plan)), error))
    return false;
  std::error_code ec;
  fs::remove_all(out, ec);
  fs::rename(disc, out, ec);
  if (ec) return Fail(error, "cannot move the Blu-ray folder to " + out + ": " + ec.message());
  return true;
}

}  // namespace quillet::toolkit
