// Judging a result by what it holds: ffprobe's streams of each part against the source's
// length and kinds of stream.

#include "convert/WholeResult.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/PathNames.h"
#include "convert/StepHelpers.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

std::optional<ProbedFile> Probe(App& app, const std::string& path) {
  return ParseProbeJson(GetCommandOutput(
      app, "ffprobe -v error -show_format -show_streams -of json " + Q(path), true, false, false));
}

// What the packets of one stream cover: the sum of their lengths (an AVI's sound may carry
// times on a scale of its own), or the span of their times when some give no length. The
// pictures of a film whose rate varies all carry the length of the first rate's frames, so
// for pictures the span counts when it is the longer.
struct PacketSpan {
  double first = 0, end = 0, summed = 0;
  bool allTimed = true;
  double Length(bool pictures) const {
    const double span = std::max(end - first, 0.0);
    if (!allTimed) return span;
    return pictures ? std::max(summed, span) : summed;
  }
};

// A cut file's header still gives the length the tool meant to write (an AVI writer fills
// it in before the data), so each stream's length is taken from the packets it holds.
void LengthsFromPackets(App& app, const std::string& path, ProbedFile& file) {
  const std::string packets = GetCommandOutput(
      app,
      "ffprobe -v error -show_entries packet=stream_index,pts_time,duration_time -of csv=p=0 " +
          Q(path),
      true, false, false);
  std::map<int, PacketSpan> spans;  // by stream index
  std::istringstream lines(packets);
  for (std::string line; std::getline(lines, line);) {
    // "index,start,length"; a packet of a reordered picture may give no start ("N/A").
    int index = 0;
    char start[32] = "", length[32] = "";
    if (std::sscanf(line.c_str(), "%d,%31[^,],%31s", &index, start, length) < 1) continue;
    char* end = nullptr;
    const double at = std::strtod(start, &end);
    const bool timed = end != start;
    const double lasts = std::strtod(length, &end);
    const bool hasLength = end != length && lasts > 0;
    auto [it, added] = spans.try_emplace(index, PacketSpan{1e300, 0, 0, true});
    PacketSpan& span = it->second;
    if (timed) {
      span.first = std::min(span.first, at);
      span.end = std::max(span.end, at + (hasLength ? lasts : 0));
    }
    span.summed += hasLength ? lasts : 0;
    span.allTimed = span.allTimed && hasLength;
  }
  if (spans.empty()) return;
  file.duration = 0;
  for (ProbedStream& stream : file.streams) {
    const auto span = spans.find(stream.index);
    stream.duration = span == spans.end() ? 0 : span->second.Length(stream.type == "video");
    // A stream without packets holds nothing; its kind is not there.
    if (span == spans.end()) stream.type = "empty " + stream.type;
    file.duration = std::max(file.duration, stream.duration);
  }
}

// The clips of an AVCHD/Blu-ray folder in name order, or the file itself.
std::vector<std::string> FilesOf(const std::string& result) {
  std::error_code ec;
  if (!fs::is_directory(result, ec)) return {result};
  std::vector<std::string> clips;
  for (fs::directory_iterator it(fs::path(result) / "BDMV" / "STREAM", ec), end; !ec && it != end;
       it.increment(ec))
    if (it->is_regular_file(ec)) clips.push_back(it->path().string());
  std::sort(clips.begin(), clips.end());
  return clips;
}

// The longest stream of the kind in the part, -1 when it holds none.
double LongestOfKind(const ProbedFile& part, const std::string& kind) {
  double longest = -1;
  for (const ProbedStream& s : part.streams)
    if (s.type == kind) longest = std::max(longest, s.duration > 0 ? s.duration : part.duration);
  return longest;
}

void AddLength(double* total, double length) {
  if (length >= 0) *total = std::max(*total, 0.0) + length;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

// The fault of one kind of stream, "" when it is there and long enough.
std::string KindFault(const std::string& what, bool wanted, double held, const WantedStreams& w) {
  if (!wanted) return "";
  if (held < 0) return "holds no " + what;
  // Subtitles end with the last line spoken; only their presence counts.
  if (what == "subtitles" || w.seconds <= 0 || std::fabs(held - w.seconds) <= w.slack) return "";
  return "holds " + Seconds(held) + " of " + what;
}

void DeleteResult(const std::string& result) {
  std::error_code ec;
  fs::remove_all(result, ec);
}

}  // namespace

HeldLengths LengthsHeld(const std::vector<ProbedFile>& parts) {
  HeldLengths held;
  for (const ProbedFile& part : parts) {
    AddLength(&held.video, LongestOfKind(part, "video"));
    AddLength(&held.audio, LongestOfKind(part, "audio"));
    AddLength(&held.subtitles, LongestOfKind(part, "subtitle"));
  }
  return held;
}

std::string WholeResultFault(const std::string& resultName, const std::string& filmName,
                             const WantedStreams& wanted, const HeldLengths& held) {
  for (const std::string& fault :
       {KindFault("video", wanted.video, held.video, wanted),
        KindFault("sound", wanted.audio, held.audio, wanted),
        KindFault("subtitles", wanted.subtitles, held.subtitles, wanted)})
    if (!fault.empty()) {
      const std::string film =
          wanted.seconds > 0 ? "the " + Seconds(wanted.seconds) + " film " : "the film ";
      return resultName + " " + fault + " of " + film + filmName + ".";
    }
  return "";
}

WantedStreams WantedFromSource(App& app, const std::string& source) {
  WantedStreams wanted;
  std::optional<ProbedFile> probed;
  IgnoringErrors([&] { probed = Probe(app, source); });
  if (probed && !probed->streams.empty()) {
    const HeldLengths held = LengthsHeld({*probed});
    wanted.seconds = probed->duration > 0 ? probed->duration : std::max(held.video, 0.0);
    wanted.audio = held.audio >= 0;
    return wanted;
  }
  // The inspection gives whole seconds only.
  wanted.seconds = app.report.lngDuration;
  wanted.slack = 1.5;
  wanted.audio = app.report.strAudioTracks.count > 0 || !app.report.audioCodecIds.empty();
  return wanted;
}

bool JudgeWholeResult(App& app, const std::vector<std::string>& results,
                      const WantedStreams& wanted) {
  std::vector<ProbedFile> parts;
  for (const std::string& result : results)
    for (const std::string& file : FilesOf(result)) {
      std::optional<ProbedFile> probed;
      IgnoringErrors([&] { probed = Probe(app, file); });
      if (!probed) continue;
      IgnoringErrors([&] { LengthsFromPackets(app, file, *probed); });
      parts.push_back(*probed);
    }
  const std::string name = results.empty() ? "" : FileNameFromPath(results.front());
  const std::string fault =
      WholeResultFault(name, FileNameFromPath(app.form.strFullname), wanted, LengthsHeld(parts));
  if (fault.empty()) return true;
  IgnoringErrors([&] { AppendDebugLog(app, "Incomplete result: " + fault); });
  if (!app.bFolderMode)
    IgnoringErrors([&] { app.ctx.ui.MsgBox(fault, MsgStyle::kCritical, "Incomplete result"); });
  for (const std::string& result : results) DeleteResult(result);
  SetProgress(app, kConversionError);
  return false;
}

bool JudgeWholeResult(App& app, const std::vector<std::string>& results) {
  return JudgeWholeResult(app, results, WantedFromSource(app, app.form.strFullname));
}

}  // namespace quillet
