// Checker/mmcl.exe --info FILE
// An AVI information report built from mediainfo, in the layout the program reads: the
// field name and its colon padded to 19 columns, then the value ("QPel:" + 14 blanks +
// "Yes"/"No"). A field mediainfo does not give is "Unknown", never "No": only what was
// read can make a file pass. A file it cannot read gives one "Error: ..." line.

#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

using nlohmann::json;

std::string Field(const json& track, const char* key) {
  auto it = track.find(key);
  return it != track.end() && it->is_string() ? it->get<std::string>() : "";
}

std::string Line(const std::string& name, const std::string& value) {
  std::string line = name + ":";
  if (line.size() < 19) line.append(19 - line.size(), ' ');
  return line + (value.empty() ? "Unknown" : value) + "\n";
}

// mediainfo gives the number of warp points; GMC is used when there is at least one.
std::string GmcAnswer(const std::string& warpPoints) {
  if (warpPoints.empty()) return "";
  auto points = ParseInt(warpPoints);
  if (points) return *points > 0 ? "Yes" : "No";
  return StartsWith(warpPoints, "No") ? "No" : "Yes";
}

}  // namespace

std::string AviInfoReport(const std::string& mediainfoJson, const std::string& file) {
  json doc = json::parse(mediainfoJson, nullptr, false);
  const json* tracks = nullptr;
  if (!doc.is_discarded() && doc.is_object() && doc["media"].is_object() &&
      doc["media"]["track"].is_array())
    tracks = &doc["media"]["track"];
  if (!tracks) return "Error: cannot read " + file + "\n";
  std::string container;
  for (const json& track : *tracks)
    if (Field(track, "@type") == "General") container = Field(track, "Format");
  for (const json& track : *tracks) {
    if (Field(track, "@type") != "Video") continue;
    std::string report = Line("File", file) + Line("Container", container) + "Video\n";
    report += Line("Codec ID", Field(track, "CodecID"));
    report += Line("Format", Field(track, "Format"));
    report += Line("QPel", Field(track, "Format_Settings_QPel"));
    report += Line("GMC", GmcAnswer(Field(track, "Format_Settings_GMC")));
    return report;
  }
  return "Error: " + file + " holds no video that can be read\n";
}

int RunMmcl(const SlotCall& call) {
  if (call.args.size() != 2 || call.args[0] != "--info") {
    std::printf("Error: usage: mmcl.exe --info FILE\n");
    return 2;
  }
  const std::string file = LocateInput(call.args[1]);
  std::string report;
  if (!FileHasData(file)) {
    report = "Error: cannot read " + call.args[1] + "\n";
  } else {
    RunOptions options;
    options.captureOut = true;
    options.captureErr = true;
    ToolResult r = RunProgram({"mediainfo", "--Output=JSON", file}, options);
    report = r.Ok() ? AviInfoReport(r.out, call.args[1])
                    : "Error: mediainfo cannot read " + call.args[1] + "\n";
  }
  std::fwrite(report.data(), 1, report.size(), stdout);
  return StartsWith(report, "Error:") ? 1 : 0;
}

}  // namespace quillet::toolkit
