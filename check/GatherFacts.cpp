#include "check/GatherFacts.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/App.h"
#include "base/Ffprobe.h"
#include "base/Files.h"
#include "base/Text.h"
#include "base/ToolSlots.h"
#include "check/FactParsers.h"
#include "inspect/ReadInfo.h"
#include "inspect/ReportReader.h"
#include "toolkit/bluray/StrictFolder.h"
#include "toolkit/bluray/StrictTransportStream.h"
#include "tools/Paths.h"
#include "tools/ToolRunner.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string Capture(Context& ctx, const std::string& command) {
  return ctx.runner.GetCommandOutput(command, true, false, true);
}

// A folder of our own under $TMPDIR for the report, removed with what it holds.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quillet-check-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void RunChecker(Context& ctx, const std::string& path, VideoFacts& video) {
  const std::string checker = ProgramPath(ctx.programFolder, slot::kX264Checker.program);
  ReadCheckerOutput(Capture(ctx, Quoted(checker) + " " + Quoted(path)), video);
}

void FillFromReport(const std::vector<std::string>& lines, Context& ctx, MediaFacts& f) {
  Form1 scratch(ctx.ui, ctx.media);  // the parser fills stream controls; these are ours
  TrackReport report;
  ParseReportLines(scratch, report, lines);
  f.durationSeconds = report.lngDuration;
  f.video = VideoOfReport(lines, report, scratch.txtSFPS.Text);
  for (const ReportTrack& t : ScanReportTracks(lines)) {
    if (t.type == "audio") {
      f.audio.push_back({AudioCodecOfCodecId(t.codecId), t.channels, t.sampleRate});
    } else if (t.type == "subtitles") {
      f.subtitles.push_back(SubtitleOfCodecId(t.codecId));
    }
  }
}

// The report gives no stream bitrates: the statistics mkvmerge keeps in the video track's
// tags do, else the whole file's bitrate stands for the video's.
void ReadMatroskaVideoBitrate(Context& ctx, MediaFacts& f) {
  MediaFacts probed;
  ReadProbeFlat(Capture(ctx,
                        "ffprobe -v error -select_streams v:0 -show_entries "
                        "stream=codec_type,bit_rate:stream_tags=BPS -of flat " +
                            Quoted(f.path)),
                probed);
  if (probed.video.bitrate > 0) {
    f.video.bitrate = probed.video.bitrate;
    f.video.bitrateOverall = false;
  } else if (f.durationSeconds > 0) {
    f.video.bitrate = static_cast<int64_t>(f.sizeBytes * 8 / f.durationSeconds);
    f.video.bitrateOverall = true;
  }
}

void GatherMatroska(Context& ctx, MediaFacts& f) {
  ScratchFolder scratch;
  if (scratch.path().empty()) {
    f.problem = "no temporary folder for the report";
    return;
  }
  const std::string reportPath = scratch.path() + kSepStr + "info.txt";
  const std::string tool = ProgramPath(ctx.programFolder, slot::kMkvInfo.program);
  Capture(ctx, Quoted(tool) + " " + Quoted(f.path) + " -o " + Quoted(reportPath));
  auto lines = LoadReportLines(reportPath);
  // The report tool writes no report for a file that is no Matroska file at all.
  const auto isTrack = [](const std::string& line) {
    return line.find("+ A track") != std::string::npos;
  };
  if (!lines || std::none_of(lines->begin(), lines->end(), isTrack)) {
    f.problem = "the Matroska reader found no tracks";
    return;
  }
  FillFromReport(*lines, ctx, f);
  if (f.video.codec == "h264") RunChecker(ctx, f.path, f.video);
  ReadMatroskaVideoBitrate(ctx, f);
  f.readable = true;
}

std::string ProbeCommand(const std::string& path) {
  return "ffprobe -v error -show_entries format=format_name,duration,bit_rate:stream=codec_type,"
         "codec_name,profile,level,width,height,field_order,avg_frame_rate,r_frame_rate,channels,"
         "sample_rate,bit_rate:stream_tags=BPS -of flat " +
         Quoted(path);
}

// The film's streams as ffprobe gives them; *format gets ffprobe's name of the container.
void GatherProbed(Context& ctx, MediaFacts& f, std::string* format = nullptr) {
  const std::string said = Capture(ctx, ProbeCommand(f.path));
  ReadProbeFlat(said, f);
  if (format) *format = ParseProbeFlat(said).format;
  if (!f.video.present && f.audio.empty()) {
    f.problem = "ffprobe finds no streams";
    return;
  }
  if (f.video.codec == "h264") RunChecker(ctx, f.path, f.video);
  if (f.container == Container::Avi && f.video.codec == "mpeg4")
    ReadMpeg4Features(
        Capture(ctx, "mediainfo \"--Inform=Video;%Format_Settings_QPel%|%Format_Settings_GMC%\" " +
                         Quoted(f.path)),
        f.video);
  f.readable = true;
}

void AddFindings(const toolkit::bluray::StrictResult& result, MediaFacts& f) {
  for (const toolkit::bluray::BrokenRule& broken : result.broken)
    f.structure.push_back({broken.rule, broken.file, broken.text});
}

// An MPEG file: a transport stream is read by the strict reader too; an MPEG program
// stream (ffprobe's "mpeg") is judged as one.
void GatherMpeg(Context& ctx, MediaFacts& f) {
  std::string format;
  GatherProbed(ctx, f, &format);
  if (!f.readable) return;
  if (format != "mpegts") {
    f.container = Container::MpegProgram;
    return;
  }
  const auto result =
      toolkit::bluray::CheckTransportStreamFile(f.path, toolkit::bluray::StreamUse::kPlainStream);
  if (!result.readable) {
    f.readable = false;
    f.problem = result.problem;
  }
  AddFindings(result, f);
}

// The clips of the folder, in name order (the playlist plays them so).
std::vector<std::string> ClipsOf(const std::string& disc) {
  std::vector<std::string> clips;
  std::error_code ec;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(disc) / "BDMV" / "STREAM", ec))
    if (entry.is_regular_file(ec) && Lower(entry.path().extension().string()) == ".m2ts")
      clips.push_back(entry.path().string());
  std::sort(clips.begin(), clips.end());
  return clips;
}

// A Blu-ray folder: the streams of its first clip, the length and size of all of them, and
// what the strict reader finds in the navigation files and every clip.
void GatherBluRayFolder(Context& ctx, MediaFacts& f) {
  const std::string disc = BluRayFolderOf(f.path);
  const std::vector<std::string> clips = ClipsOf(disc);
  if (clips.empty()) {
    f.problem = "the folder holds no clip (BDMV/STREAM/*.m2ts)";
    return;
  }
  MediaFacts first;
  first.path = clips.front();
  GatherProbed(ctx, first);
  if (!first.readable) {
    f.problem = fs::path(clips.front()).filename().string() + ": " + first.problem;
    return;
  }
  f.video = first.video;
  f.audio = first.audio;
  f.subtitles = first.subtitles;
  f.durationSeconds = 0;
  for (const std::string& clip : clips) {
    f.sizeBytes += FileSize64(clip);
    f.durationSeconds +=
        ParseProbeFlat(
            Capture(ctx, "ffprobe -v error -show_entries format=duration -of flat " + Quoted(clip)))
            .duration;
  }
  const auto result = toolkit::bluray::CheckBluRayFolder(disc);
  if (!result.readable) {
    f.problem = result.problem;
    return;
  }
  AddFindings(result, f);
  f.readable = true;
}

}  // namespace

MediaFacts GatherMediaFacts(Context& ctx, const std::string& path) {
  MediaFacts f;
  f.path = path;
  f.container = ContainerOfPath(path);
  if (f.container == Container::BluRayFolder) {
    GatherBluRayFolder(ctx, f);
    return f;
  }
  std::error_code ec;
  // A FIFO would keep the probe waiting for a writer for ever.
  if (const std::string kind = NotARegularFile(path); !kind.empty()) {
    f.problem = "cannot be read: not a regular file (" + kind + ")";
    return f;
  }
  if (!fs::is_regular_file(path, ec)) {
    f.problem = "no such file";
    return f;
  }
  if (!std::ifstream(path, std::ios::binary)) {
    f.problem = "the file cannot be opened";
    return f;
  }
  f.sizeBytes = FileSize64(path);
  if (f.container == Container::Unknown)
    f.problem = "not a Matroska, AVI, WMV, MP4 or MPEG file";
  else if (f.container == Container::Matroska)
    GatherMatroska(ctx, f);
  else if (f.container == Container::TransportStream)
    GatherMpeg(ctx, f);
  else
    GatherProbed(ctx, f);
  return f;
}

}  // namespace quillet
