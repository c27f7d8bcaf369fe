#include "toolkit/bluray/StrictFolder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "toolkit/bluray/StrictClipInfo.h"
#include "toolkit/bluray/StrictNavigation.h"
#include "toolkit/bluray/StrictPlaylist.h"
#include "toolkit/bluray/StrictTransportStream.h"

namespace quillet::toolkit::bluray {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The files of a BDMV sub-folder with the given extension, by name without it, sorted.
std::map<std::string, fs::path> FilesIn(const fs::path& folder, const std::string& extension) {
  std::map<std::string, fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == extension) files[entry.path().stem().string()] = entry.path();
  return files;
}

}  // namespace

StrictResult CheckBluRayFolder(const std::string& folder, const StrictOptions& options) {
  StrictResult result;
  const fs::path bdmv = fs::path(folder) / "BDMV";
  std::error_code ec;
  for (const char* needed : {"index.bdmv", "MovieObject.bdmv", "PLAYLIST", "CLIPINF", "STREAM"})
    if (!fs::exists(bdmv / needed, ec)) {
      result.problem = folder + " holds no BDMV folder with " + needed;
      return result;
    }
  result.readable = true;

  std::map<std::string, TransportFacts> streams;
  for (const auto& [name, path] : FilesIn(bdmv / "STREAM", ".m2ts")) {
    StrictResult clip =
        CheckTransportStreamFile(path.string(), StreamUse::kBluRayClip, options, &streams[name]);
    if (!clip.readable) {
      result.broken.push_back({"packet-sync", "BDMV/STREAM/" + name + ".m2ts", clip.problem, 1});
      streams.erase(name);
    }
    for (BrokenRule& broken : clip.broken) {
      broken.file = "BDMV/STREAM/" + name + ".m2ts";
      result.broken.push_back(std::move(broken));
    }
  }
  std::map<std::string, ClipInfoView> clips;
  for (const auto& [name, path] : FilesIn(bdmv / "CLIPINF", ".clpi")) {
    RuleLog log("BDMV/CLIPINF/" + name + ".clpi");
    auto stream = streams.find(name);
    if (stream == streams.end())
      log.Break("stream-table", "no clip BDMV/STREAM/" + name + ".m2ts belongs to it");
    if (CheckClipInfo(Bytes(path), stream == streams.end() ? nullptr : &stream->second, options,
                      &log, &clips[name]) == false)
      clips.erase(name);
    log.MoveTo(&result.broken);
  }
  const auto playlists = FilesIn(bdmv / "PLAYLIST", ".mpls");
  for (const auto& [name, path] : playlists) {
    RuleLog log("BDMV/PLAYLIST/" + name + ".mpls");
    // The title plays whole clips; a shorter playlist before it plays a stretch.
    CheckPlaylist(Bytes(path), clips, name == playlists.begin()->first, options, &log);
    log.MoveTo(&result.broken);
  }
  std::vector<uint16_t> titles;
  RuleLog index("BDMV/index.bdmv"), objects("BDMV/MovieObject.bdmv");
  CheckIndex(Bytes(bdmv / "index.bdmv"), &titles, &index);
  CheckMovieObjects(Bytes(bdmv / "MovieObject.bdmv"), titles, &objects);
  index.MoveTo(&result.broken);
  objects.MoveTo(&result.broken);
  return result;
}

}  // namespace quillet::toolkit::bluray
