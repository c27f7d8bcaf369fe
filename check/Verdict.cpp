#include "check/Verdict.h"

#include <algorithm>
#include <cstdio>

namespace quillet {
namespace {

std::string Number(int64_t value) {
  return std::to_string(value);
}

std::string LevelText(int idc) {
  return std::to_string(idc / 10) + "." + std::to_string(idc % 10);
}

std::string Kbits(int64_t bitsPerSecond) {
  return Number((bitsPerSecond + 500) / 1000) + " kbit/s";
}

std::string Fps(double fps) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f fps", fps);
  return text;
}

// "mp4,avi" -> "mp4, avi"
std::string ListText(std::string_view allowed) {
  std::string text;
  for (char c : allowed) text += c == ',' ? std::string(", ") : std::string(1, c);
  return text.empty() ? "no file as it is (AVCHD / BD folders only)" : text;
}

std::string ScopeName(const std::string& scope) {
  if (scope == "mp4") return "an MP4 file";
  if (scope == "avi") return "an AVI file";
  if (scope == "wmv") return "a WMV file";
  if (scope == "mpg") return "an MPEG-2 file";
  if (scope == "m2ts") return "a transport stream";
  if (scope == "bdmv") return "an AVCHD / BD folder";
  if (scope == "mkv") return "a Matroska file";
  return "any file";
}

// Where the conversion takes the film for a player, and where when the video has to be
// re-encoded. `scope` is the kind of file it makes, judged against the limit table.
struct Route {
  std::string scope;
  std::string output;  // empty: nothing this program makes mends it
  std::vector<std::string> options;
  bool copiesVideo = true;
  std::string reencodeOutput;
  std::vector<std::string> reencodeOptions;
  std::string reencodeTo;
  std::string unavailable;  // why the program offers nothing
};

std::string TargetOption(Player player) {
  switch (player) {
    case Player::PS3:
      return "Target: PS3 (5.1)";
    case Player::PS3Stereo:
      return "Target: PS3  (2.0)";
    case Player::Xbox360:
      return "Target: Xbox 360";
    case Player::BluRay:
      return "AVCHD (BR/PS3) ticked";
  }
  return "";
}

// The roads of a Matroska source (an MP4 source takes them after a copy into Matroska).
Route MatroskaRoute(const MediaFacts& f, Player player) {
  Route r;
  const bool bluray = player == Player::BluRay;
  const std::string& codec = f.video.codec;
  r.scope = bluray ? "bdmv" : "mp4";
  r.output = bluray ? "AVCHD folder" : "MP4";
  r.options = {TargetOption(player)};
  r.reencodeOutput = r.output;
  r.reencodeOptions = {TargetOption(player), "MPEG2 Recode ticked", "Re-encode to: H264"};
  r.reencodeTo = "H.264";
  if (codec == "mpeg2") {
    // MPEG-2 video is repacked into an MPEG-2 file whatever the options say.
    const std::string why =
        "the conversion repacks MPEG-2 Matroska sources into an MPEG-2 "
        "file (.mpg) whatever the options";
    r.reencodeOutput.clear();
    r.reencodeOptions.clear();
    r.unavailable = why;
    if (player == Player::PS3 || player == Player::PS3Stereo) {
      r.scope = "mpg";
      r.output = "MPEG-2 file (.mpg)";
      r.options = {"any options: " + why};
    } else {
      r.output.clear();
      r.options.clear();
    }
  } else if (codec == "vc1") {
    if (player == Player::Xbox360) {
      r.copiesVideo = false;
    } else {
      r.scope = "bdmv";
      r.output = "AVCHD folder (the VC-1 road)";
      r.options = {"MPEG2 Recode clear", "AVCHD (BR/PS3) clear"};
    }
  } else if (codec != "h264") {
    r.copiesVideo = false;
  }
  if (!bluray && !r.output.empty() && r.scope == "mp4" && f.sizeBytes / 1000 >= kSplitThresholdKB) {
    const int64_t parts = f.sizeBytes / 1000 / kSplitThresholdKB + 1;
    r.options.push_back("Split > 4GB ? ticked (" + Number(parts) + " parts)");
  }
  return r;
}

Route AviRoute(Player player) {
  Route r;
  if (player == Player::BluRay) {
    r.scope = "bdmv";
    r.unavailable = "this program makes no AVCHD folder from an AVI source";
    return r;
  }
  r.scope = "avi";
  r.output = "AVI (QL_ copy, the AVI check and repair)";
  r.options = {"MPEG2 Recode clear"};
  r.reencodeOutput = r.output;
  r.reencodeOptions = {"MPEG2 Recode ticked", "Re-encode to: Xvid"};
  r.reencodeTo = "Xvid";
  return r;
}

Route WmvRoute(const MediaFacts& f, Player player) {
  Route r;
  if (player == Player::Xbox360) {
    r.scope = "wmv";
    r.unavailable = "the WMV road makes AVCHD folders, which the Xbox 360 does not play";
    return r;
  }
  r.scope = "bdmv";
  r.unavailable = "the WMV road copies VC-1 video only and re-encodes nothing";
  if (f.video.codec == "vc1") {
    r.output = "AVCHD folder (the WMV road)";
    r.options = {"AVCHD (BR/PS3) ticked"};
  }
  return r;
}

// Streams and folders are what this program makes, not what it converts.
Route MadeFileRoute(const MediaFacts& f) {
  Route r;
  r.scope = ContainerId(f.container);
  r.unavailable = std::string("it converts MKV, AVI and WMV films, not ") + ScopeName(r.scope) +
                  ": convert the film it was made from";
  return r;
}

Route RouteFor(const MediaFacts& f, Player player) {
  switch (f.container) {
    case Container::TransportStream:
    case Container::MpegProgram:
    case Container::BluRayFolder:
      return MadeFileRoute(f);
    case Container::Avi:
      return AviRoute(player);
    case Container::Wmv:
      return WmvRoute(f, player);
    case Container::Mp4: {
      Route r = MatroskaRoute(f, player);
      const std::string copy =
          "first copy the tracks into Matroska (mkvmerge -o FILM.mkv "
          "FILM.mp4) and convert that: this program takes MKV, AVI and "
          "WMV sources";
      if (!r.output.empty()) r.options.insert(r.options.begin(), copy);
      if (!r.reencodeOutput.empty()) r.reencodeOptions.insert(r.reencodeOptions.begin(), copy);
      return r;
    }
    default:
      return MatroskaRoute(f, player);
  }
}

class Judge {
 public:
  Judge(const MediaFacts& facts, Player player) : f_(facts), player_(player) {}

  // The only declared level the conversion's road rewrites to 4.1 (0: any level).
  void SetPatchableLevel(int level) { patchableLevel_ = level; }

  // Everything the film breaks when it is played as a file of `scope`.
  std::vector<Reason> Check(const std::string& scope) {
    reasons_.clear();
    CheckVideo(scope);
    CheckAudio(scope);
    return reasons_;
  }

  std::vector<Reason> Notes(const std::string& scope) {
    reasons_.clear();
    const auto count = [&](bool bitmap) {
      return std::count_if(f_.subtitles.begin(), f_.subtitles.end(),
                           [&](const SubtitleFacts& s) { return s.bitmap == bitmap; });
    };
    NoteSubtitles(scope, Limit::TextSubtitles, count(false), "text");
    NoteSubtitles(scope, Limit::BitmapSubtitles, count(true), "bitmap");
    const VideoFacts& v = f_.video;
    if (BluRayFolder(scope) && v.present && !v.interlaced &&
        BluRayRateOf(v.width, v.height, v.fps) == BluRayRate::AsInterlaced)
      Add(Limit::FrameRate, VerdictKind::PlaysAsIs, Fps(v.fps), "23.976, 24 fps",
          "1080p at " + Fps(v.fps) +
              " goes on the folder as 1080i at that rate (progressive frames): BD-ROM defines "
              "1080p at 23.976 and 24 fps only");
    const LimitRow* rate = Row(Limit::VideoBitrate, scope);
    if (rate && f_.video.bitrate > rate->maximum)
      Add(Limit::VideoBitrate, VerdictKind::PlaysAsIs, Kbits(f_.video.bitrate),
          Kbits(rate->maximum),
          std::string(f_.video.bitrateOverall ? "the file's bitrate " : "the video bitrate ") +
              Kbits(f_.video.bitrate) + " is above the " + Kbits(rate->maximum) +
              " the maker names for " + ScopeName(scope) + ": it may stutter");
    return reasons_;
  }

  // The container and the file size, for the film played as it is.
  std::vector<Reason> CheckFile() {
    reasons_.clear();
    const std::string scope = ContainerId(f_.container);
    const LimitRow* container = Row(Limit::Container, scope);
    if (container && !Allows(*container, scope))
      Add(Limit::Container, VerdictKind::Remux, ContainerName(f_.container),
          ListText(container->allowed),
          std::string(ContainerName(f_.container)) + " files are not played: the player takes " +
              ListText(container->allowed));
    const LimitRow* size = Row(Limit::FileSize, scope);
    if (size && size->maximum > 0 && f_.sizeBytes > size->maximum)
      Add(Limit::FileSize, VerdictKind::Remux, Number(f_.sizeBytes) + " bytes",
          Number(size->maximum) + " bytes",
          "the file is " + Number(f_.sizeBytes) + " bytes, over the " + Number(size->maximum) +
              " bytes a FAT32 stick holds in one file");
    // The format's rules matter only to a player that opens such files at all.
    if (!container || Allows(*container, scope))
      for (const StructureFinding& broken : f_.structure)
        Add(Limit::Structure, VerdictKind::Remux, broken.rule, "the format's rule",
            broken.file + ": " + broken.text);
    return reasons_;
  }

 private:
  // A folder for a Blu-ray player, judged by BD-ROM's frame rates and 48 kHz sound.
  bool BluRayFolder(const std::string& scope) const {
    return player_ == Player::BluRay && scope == "bdmv";
  }

  const LimitRow* Row(Limit limit, const std::string& scope) const {
    return FindLimit(player_, limit, scope);
  }

  void Add(Limit limit, VerdictKind needs, std::string value, std::string allowed,
           std::string text) {
    reasons_.push_back({limit, needs, std::move(value), std::move(allowed), std::move(text)});
  }

  void CheckVideo(const std::string& scope) {
    const VideoFacts& v = f_.video;
    if (!v.present) return;
    const LimitRow* codec = Row(Limit::VideoCodec, scope);
    if (codec && !Allows(*codec, v.codec))
      Add(Limit::VideoCodec, VerdictKind::ReEncode, v.codec, ListText(codec->allowed),
          "video codec " + v.codec + ": " + ScopeName(scope) + " for this player holds " +
              ListText(codec->allowed));
    if (v.codec == "h264") CheckH264(scope);
    CheckPicture(scope);
    const LimitRow* features = Row(Limit::Mpeg4Features, scope);
    if (features && features->maximum == 0 && (v.qpel || v.gmc)) {
      const std::string value = v.qpel && v.gmc ? "QPel and GMC" : v.qpel ? "QPel" : "GMC";
      Add(Limit::Mpeg4Features, VerdictKind::ReEncode, value, "neither",
          "the MPEG-4 video uses " + value + ", which the player's decoder does not handle");
    }
  }

  void CheckH264(const std::string& scope) {
    const VideoFacts& v = f_.video;
    const LimitRow* profile = Row(Limit::H264Profile, scope);
    if (profile && !v.profile.empty() && !Allows(*profile, v.profile))
      Add(Limit::H264Profile, VerdictKind::ReEncode, v.profile, ListText(profile->allowed),
          "H.264 profile " + v.profile + ": the player decodes " + ListText(profile->allowed));
    const bool overBuffer =
        v.dpbChecked ? !v.dpbFits : v.refFrames > Level41DpbFrames(v.width, v.height, v.interlaced);
    if (overBuffer) {
      const int frames =
          v.dpbFrames >= 0 ? v.dpbFrames : Level41DpbFrames(v.width, v.height, v.interlaced);
      Add(Limit::H264Level, VerdictKind::ReEncode, Number(v.refFrames) + " reference frames",
          Number(frames) + " frames",
          Number(v.refFrames) + " reference frames at " + Number(v.width) + "x" + Number(v.height) +
              ": the level 4.1 picture buffer (32768 macroblocks) holds " + Number(frames) +
              " such frames (black screen or artefacts)");
    }
    const int64_t maxRate = MaxBitrateFor(41, v.profile);
    if (v.bitrate > 0 && maxRate > 0 && v.bitrate > maxRate)
      Add(Limit::VideoBitrate, VerdictKind::ReEncode, Kbits(v.bitrate), Kbits(maxRate),
          std::string(v.bitrateOverall ? "the file's bitrate " : "the video bitrate ") +
              Kbits(v.bitrate) + " is above level 4.1's maximum of " + Kbits(maxRate));
    const LimitRow* level = Row(Limit::H264Level, scope);
    if (level && v.level > level->maximum) {
      const bool within = std::none_of(reasons_.begin(), reasons_.end(), [](const Reason& r) {
        return r.needs == VerdictKind::ReEncode;
      });
      const std::string declared = "the stream declares level " + LevelText(v.level) +
                                   ", the player takes " + LevelText(level->maximum);
      if (!within)
        Add(Limit::H264Level, VerdictKind::LevelPatch, LevelText(v.level),
            LevelText(level->maximum), declared);
      else if (patchableLevel_ == 0 || v.level == patchableLevel_)
        Add(Limit::H264Level, VerdictKind::LevelPatch, LevelText(v.level),
            LevelText(level->maximum),
            declared +
                "; it keeps within level 4.1's buffer and bitrate, so setting the level "
                "byte to 4.1 is enough");
      else
        Add(Limit::H264Level, VerdictKind::ReEncode, LevelText(v.level), LevelText(level->maximum),
            declared + "; the MP4 road sets the level byte of level " + LevelText(patchableLevel_) +
                " streams only, so this one is re-encoded");
    }
  }

  void CheckPicture(const std::string& scope) {
    const VideoFacts& v = f_.video;
    const LimitRow* width = Row(Limit::FrameWidth, scope);
    const LimitRow* height = Row(Limit::FrameHeight, scope);
    if ((width && v.width > width->maximum) || (height && v.height > height->maximum)) {
      const std::string most =
          Number(width ? width->maximum : 0) + "x" + Number(height ? height->maximum : 0);
      Add(Limit::FrameWidth, VerdictKind::ReEncode, Number(v.width) + "x" + Number(v.height), most,
          "frame size " + Number(v.width) + "x" + Number(v.height) + " is over " + most);
    }
    const LimitRow* rate = Row(Limit::FrameRate, scope);
    if (rate && v.fps > 0) {
      const double most = static_cast<double>(v.height > 720 ? rate->maximum : 2 * rate->maximum);
      if (v.fps > most + 0.01)
        Add(Limit::FrameRate, VerdictKind::ReEncode, Fps(v.fps), Fps(most),
            "frame rate " + Fps(v.fps) + " at " + Number(v.height) + " lines is over " + Fps(most));
    }
    if (BluRayFolder(scope) && v.variableRate)
      Add(Limit::FrameRate, VerdictKind::ReEncode, "variable", "one rate", kVariableRateOnBluRay);
    if (BluRayFolder(scope) && !v.interlaced &&
        BluRayRateOf(v.width, v.height, v.fps) == BluRayRate::Doubled)
      Add(Limit::FrameRate, VerdictKind::ReEncode, Fps(v.fps), "23.976, 24, 50, 59.940 fps",
          "720 lines at " + Fps(v.fps) +
              ": BD-ROM defines 720p at 23.976, 24, 50 and 59.94 fps only; the AVCHD road "
              "re-encodes it to H.264 at " +
              Fps(2 * v.fps) + ", each frame shown twice");
    const LimitRow* interlace = Row(Limit::Interlaced, scope);
    if (interlace && interlace->maximum == 0 && v.interlaced)
      Add(Limit::Interlaced, VerdictKind::ReEncode, "interlaced", "progressive",
          "the video is interlaced; " + ScopeName(scope) + " for this player must be progressive");
  }

  void CheckAudio(const std::string& scope) {
    if (f_.audio.empty()) return;
    const AudioFacts& a = f_.audio.front();
    const LimitRow* codec = Row(Limit::AudioCodec, scope);
    if (codec && !Allows(*codec, a.codec))
      Add(Limit::AudioCodec, VerdictKind::Remux, a.codec, ListText(codec->allowed),
          "audio codec " + a.codec + ": " + ScopeName(scope) + " for this player holds " +
              ListText(codec->allowed));
    const LimitRow* channels = Row(Limit::AudioChannels, scope);
    if (channels && a.channels > channels->maximum)
      Add(Limit::AudioChannels, VerdictKind::Remux, Number(a.channels) + " channels",
          Number(channels->maximum) + " channels",
          Number(a.channels) + " audio channels, the player takes " + Number(channels->maximum) +
              " in " + ScopeName(scope));
    const LimitRow* rate = Row(Limit::SampleRate, scope);
    if (rate && a.sampleRate > 0 && !Allows(*rate, Number(a.sampleRate)))
      Add(Limit::SampleRate, VerdictKind::Remux, Number(a.sampleRate) + " Hz",
          ListText(rate->allowed) + " Hz",
          "audio at " + Number(a.sampleRate) + " Hz, the player takes " + ListText(rate->allowed) +
              " Hz" +
              (BluRayFolder(scope)
                   ? ": the conversion resamples it to 48 kHz and encodes AC3 at 640 kbit/s"
                   : ""));
  }

  void NoteSubtitles(const std::string& scope, Limit limit, long count, const char* kind) {
    const LimitRow* row = Row(limit, scope);
    if (count == 0 || !row || row->maximum > 0) return;
    Add(limit, VerdictKind::PlaysAsIs, Number(count) + " " + kind + " subtitle tracks", "none",
        Number(count) + " " + kind + " subtitle track(s): not shown by the player from " +
            ScopeName(scope) +
            (std::string(kind) == "text" ? " (tick Embed subs with a re-encode to burn one in)"
                                         : ""));
  }

  const MediaFacts& f_;
  Player player_;
  int patchableLevel_ = 0;
  std::vector<Reason> reasons_;
};

VerdictKind Hardest(const std::vector<Reason>& reasons) {
  VerdictKind kind = VerdictKind::PlaysAsIs;
  for (const Reason& r : reasons) kind = std::max(kind, r.needs);
  return kind;
}

void Append(std::vector<Reason>& to, const std::vector<Reason>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// A file of sound only: the players play films, and this program converts films.
Verdict NoVideoVerdict(Player player) {
  Verdict verdict;
  verdict.player = player;
  verdict.kind = VerdictKind::Remux;
  verdict.reasons.push_back({Limit::VideoCodec, VerdictKind::Remux, "none", "a video track",
                             "the file has no video track: the player's video player takes "
                             "films with a picture"});
  verdict.notes.push_back({Limit::Container, VerdictKind::PlaysAsIs, "", "",
                           "this program makes nothing for it: it converts films with a "
                           "video track"});
  return verdict;
}

}  // namespace

const char* VerdictKindId(VerdictKind kind) {
  switch (kind) {
    case VerdictKind::PlaysAsIs:
      return "plays";
    case VerdictKind::Remux:
      return "remux";
    case VerdictKind::LevelPatch:
      return "level-patch";
    case VerdictKind::ReEncode:
      return "re-encode";
  }
  return "";
}

std::vector<Reason> ReasonsToReEncode(const VideoFacts& video, Player player,
                                      const std::string& scope) {
  MediaFacts facts;
  facts.video = video;
  Judge judge(facts, player);
  judge.SetPatchableLevel(scope == "mp4" ? 51 : 0);
  std::vector<Reason> reasons;
  for (const Reason& r : judge.Check(scope))
    if (r.needs == VerdictKind::ReEncode &&
        (r.limit == Limit::VideoCodec || r.limit == Limit::H264Profile ||
         r.limit == Limit::FrameWidth))
      reasons.push_back(r);
  return reasons;
}

Verdict JudgeForPlayer(const MediaFacts& facts, Player player) {
  if (!facts.video.present) return NoVideoVerdict(player);
  Verdict verdict;
  verdict.player = player;
  Judge judge(facts, player);
  const std::string asIs = ContainerId(facts.container);
  std::vector<Reason> reasons = judge.CheckFile();
  Append(reasons, judge.Check(asIs));
  if (reasons.empty()) {
    verdict.notes = judge.Notes(asIs);
    return verdict;
  }

  // The film needs work: judge it again as the file the conversion would make.
  const Route route = RouteFor(facts, player);
  reasons = judge.CheckFile();
  // With nothing to convert into, the film is judged as the file it is, when the player
  // opens such files at all.
  const bool opensAsIs = std::none_of(reasons.begin(), reasons.end(),
                                      [](const Reason& r) { return r.limit == Limit::Container; });
  const std::string scope = route.output.empty() && opensAsIs ? asIs : route.scope;
  // The MP4 road patches the level byte of level 5.1 streams in place; the AVCHD road has
  // the header tool rewrite any level.
  judge.SetPatchableLevel(scope == "mp4" ? 51 : 0);
  Append(reasons, judge.Check(scope));
  if (!route.copiesVideo && facts.video.present)
    reasons.push_back({Limit::VideoCodec, VerdictKind::ReEncode, facts.video.codec,
                       "H.264, MPEG-2, VC-1",
                       "the conversion copies H.264, MPEG-2 and VC-1 video only; " +
                           facts.video.codec + " video for this player is re-encoded"});
  verdict.kind = std::max(Hardest(reasons), VerdictKind::Remux);
  verdict.reasons = std::move(reasons);
  verdict.notes = judge.Notes(scope);
  if (verdict.kind == VerdictKind::ReEncode) {
    verdict.output = route.reencodeOutput;
    verdict.options = route.reencodeOptions;
    verdict.reencodeTo = route.reencodeTo.empty() ? "H.264" : route.reencodeTo;
  } else {
    verdict.output = route.output;
    verdict.options = route.options;
  }
  if (verdict.output.empty())
    verdict.notes.push_back(
        {Limit::Container, VerdictKind::PlaysAsIs, "", "",
         "this program makes nothing for it: " +
             (route.unavailable.empty() ? std::string("no conversion road") : route.unavailable)});
  return verdict;
}

}  // namespace quillet
