// MKVToolnix/mkvextract.exe tracks|timestamps_v2 SOURCE N:FILE [N:FILE ...]
// The old 1-based track numbers become today's 0-based ids; each file appears only when
// the extraction succeeded. H.264 comes out as an Annex B stream and AAC with ADTS
// headers, which is what the muxers after it read.

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Identification.h"
#include "toolkit/Process.h"
#include "toolkit/TrackIds.h"
#include "toolkit/progress/ProgressParsers.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

// The start of an extracted file fits its codec (where we know what it must look like).
bool LooksRight(const std::string& codecId, const std::string& path) {
  auto head = ReadBytes(path, 4);
  if (!head || head->size() < 4) return false;
  const auto* b = reinterpret_cast<const unsigned char*>(head->data());
  if (codecId == "V_MPEG4/ISO/AVC")
    return (b[0] == 0 && b[1] == 0 && b[2] == 1) ||
           (b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 1);
  if (StartsWith(codecId, "A_AAC")) return b[0] == 0xFF && (b[1] & 0xF6) == 0xF0;
  if (codecId == "A_AC3") return b[0] == 0x0B && b[1] == 0x77;
  return true;
}

}  // namespace

int RunMkvextract(const SlotCall& call) {
  std::string error;
  auto parsed = ParseMkvextractArgs(call.args, &error);
  if (!parsed) {
    Log(error);
    return 2;
  }
  MkvextractCall extract = *parsed;
  extract.source = LocateInput(extract.source);
  auto id = IdentifyFile(extract.source);
  if (!id) return 1;

  Staging staging;
  std::vector<std::string> finals;
  std::vector<std::string> codecs;
  for (auto& [track, path] : extract.tracks) {
    const MkvTrack* t = id->FindTrack(track);
    if (!t) {
      Log("the source has no track " + std::to_string(track + 1) + " (it has " +
          std::to_string(id->tracks.size()) + ")");
      return 1;
    }
    std::string target = LocateOutput(path);
    std::string temp = staging.Add(target);
    if (temp.empty()) return 1;
    Log(Format("track %lld (%s, %s) -> %s", track + 1, t->type.c_str(), t->codecId.c_str(),
               target.c_str()));
    finals.push_back(target);
    codecs.push_back(t->codecId);
    path = temp;
  }

  MkvToolNixProgress progress;
  RunOptions options;
  options.progress = &progress;
  ToolResult r = RunProgram(MkvextractArgv(extract), options);
  // Exit status 1 means warnings only.
  if (!r.started || r.signal != 0 || (r.exitCode != 0 && r.exitCode != 1)) return 1;
  for (size_t i = 0; i < extract.tracks.size(); ++i) {
    const std::string& temp = extract.tracks[i].second;
    if (!FileHasData(temp)) {
      Log("nothing was extracted for " + finals[i]);
      return 1;
    }
    if (extract.mode == "tracks" && !LooksRight(codecs[i], temp)) {
      Log("the extracted " + codecs[i] +
          " stream has not the expected stream headers: " + finals[i]);
      return 1;
    }
  }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
