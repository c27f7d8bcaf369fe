#include "toolkit/pgs/SubtitleSource.h"

#include <filesystem>
#include <fstream>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Identification.h"
#include "toolkit/Process.h"

namespace quillet::toolkit::pgs {
namespace {

std::optional<SrtFile> Fail(const MuxTrack& track, const std::string& why, std::string* error) {
  if (error) *error = Format("line %d: %s", track.line, why.c_str());
  return std::nullopt;
}

// The cues of a SubRip file, read as a stream.
std::optional<SrtFile> ReadCues(const MuxTrack& track, const std::string& path,
                                std::string* error) {
  auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!*in) return Fail(track, "cannot read " + track.path, error);
  auto file = SrtFile::Read(std::move(in));
  if (!file) return Fail(track, "stopped while reading the subtitles of " + track.path, error);
  return file;
}

// The Matroska track the line names (its first text track without track=).
const MkvTrack* FindTextTrack(const MuxTrack& track, const MkvIdentification& id) {
  for (const MkvTrack& t : id.tracks) {
    bool named = track.track ? t.id == *track.track - 1 : t.type == "subtitles";
    if (named) return &t;
  }
  return nullptr;
}

std::optional<SrtFile> ExtractCues(const MuxTrack& track, const std::string& path,
                                   const std::string& scratch, std::string* error) {
  auto id = IdentifyFile(path);
  if (!id) return Fail(track, "mkvmerge cannot read " + track.path, error);
  const MkvTrack* text = FindTextTrack(track, *id);
  std::string number = track.track ? Format(" %lld", *track.track) : "";
  if (!text) return Fail(track, track.path + " has no subtitle track" + number, error);
  if (text->codecId != "S_TEXT/UTF8")
    return Fail(track,
                Format("track %lld of %s is %s, not S_TEXT/UTF8", text->id + 1, track.path.c_str(),
                       text->codecId.c_str()),
                error);
  std::string srt = (std::filesystem::path(scratch) / Format("line%d.srt", track.line)).string();
  RunOptions quiet;
  quiet.captureOut = true;
  quiet.captureErr = true;
  ToolResult r =
      RunProgram({"mkvextract", path, "tracks", Format("%lld:%s", text->id, srt.c_str())}, quiet);
  // mkvextract ends with 1 after warnings; the file is then whole.
  if (!r.started || r.signal != 0 || r.exitCode > 1 || FileSize(srt) < 0)
    return Fail(track, "mkvextract cannot take out track" + number + " of " + track.path, error);
  return ReadCues(track, srt, error);
}

}  // namespace

std::optional<SrtFile> LoadCues(const MuxTrack& track, const std::string& scratch,
                                std::string* error) {
  std::string path = LocateInput(track.path);
  if (FileSize(path) < 0) return Fail(track, "missing source file " + track.path, error);
  if (!FileHasData(path)) return Fail(track, "empty source file " + track.path, error);
  if (IsMatroskaFile(path)) return ExtractCues(track, path, scratch, error);
  return ReadCues(track, path, error);
}

}  // namespace quillet::toolkit::pgs
