// MKVToolnix/mkvinfo.exe SOURCE -o REPORT
// Today's mkvinfo prints another layout and cannot print the old one, so the report is
// written from mkvmerge's identification in the classic layout the program parses.

#include <algorithm>
#include <cmath>
#include <fstream>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Identification.h"
#include "toolkit/LegacyReport.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

// Frames a second as the first video track's packets are stamped: frames less one over the
// span of their times; 0 when ffprobe cannot say.
double StampedFrameRate(const std::string& source) {
  RunOptions options;
  options.captureOut = true;
  options.captureErr = true;
  const ToolResult r = RunProgram({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                   "-show_entries", "packet=pts_time", "-of", "csv=p=0", source},
                                  options);
  if (!r.Ok()) return 0;
  double first = 0, last = 0;
  long frames = 0;
  for (const std::string& line : Split(r.out, '\n')) {
    const std::optional<double> t = ParseDecimal(Trim(line));
    if (!t) continue;
    first = frames == 0 ? *t : std::min(first, *t);
    last = frames == 0 ? *t : std::max(last, *t);
    ++frames;
  }
  return frames > 2 && last > first ? (frames - 1) / (last - first) : 0;
}

// A header's default duration that the frames do not keep (a film whose rate changes,
// muxed with the rate of its first frames) is left out of the report, as mkvmerge leaves
// it out of a film it knows to vary: the program then takes each frame's own time. A few
// hundredths off are the delayed first frames of a short film, not a varying rate.
void DropDefaultDurationFramesDoNotKeep(MkvIdentification& id, const std::string& source) {
  for (MkvTrack& t : id.tracks) {
    if (t.type != "video" || t.defaultDurationNs <= 0) continue;
    const double stated = 1e9 / t.defaultDurationNs, stamped = StampedFrameRate(source);
    if (stamped > 0 && std::abs(stamped - stated) > 0.03 * stated) {
      Log(Format("video frames come at %.3f fps, not the %.3f of the header: the rate varies",
                 stamped, stated));
      t.defaultDurationNs = 0;
    }
    return;  // the first video track is the one the program reads
  }
}

}  // namespace

int RunMkvinfo(const SlotCall& call) {
  std::string source, report;
  for (size_t i = 0; i < call.args.size(); ++i) {
    const std::string& a = call.args[i];
    if (a == "-o" || a == "--output") {
      if (i + 1 >= call.args.size()) {
        Log("-o needs a file name");
        return 2;
      }
      report = call.args[++i];
    } else if (a == "-v" || a == "--verbose") {
      // The classic report without -v is what the program reads; more detail is not kept.
    } else if (StartsWith(a, "-")) {
      Log("unknown option " + a);
      return 2;
    } else if (source.empty()) {
      source = a;
    } else {
      Log("more than one source file: " + a);
      return 2;
    }
  }
  if (source.empty()) {
    Log("usage: mkvinfo.exe SOURCE -o REPORT");
    return 2;
  }
  source = LocateInput(source);
  auto id = IdentifyFile(source);
  if (!id) return 1;
  if (!id->IsMatroska()) {
    Log(source + " is no Matroska file (" + id->containerType + ")");
    return 1;
  }
  DropDefaultDurationFramesDoNotKeep(*id, source);
  auto firstBytes = ReadBytes(source, 65536);
  EbmlHead head = firstBytes ? ReadEbmlHead(*firstBytes) : EbmlHead{};
  std::string text = WriteLegacyReport(*id, head);

  if (report.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  Staging staging;
  std::string target = LocateOutput(report);
  std::string temp = staging.Add(target);
  if (temp.empty()) return 1;
  {
    std::ofstream out(temp, std::ios::binary);
    out << text;
    out.flush();
    if (!out) {
      Log("cannot write " + temp);
      return 1;
    }
  }
  if (!staging.Commit()) return 1;
  Log("report written to " + target);
  return 0;
}

}  // namespace quillet::toolkit
