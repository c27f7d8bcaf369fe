#include "toolkit/bluray/BluRayFolder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "toolkit/bluray/ClipInfoFile.h"
#include "toolkit/bluray/IndexFile.h"
#include "toolkit/bluray/MovieObjectFile.h"
#include "toolkit/bluray/PlaylistFile.h"
#include "toolkit/bluray/StreamCodes.h"
#include "toolkit/bluray/TsScan.h"

namespace quillet::toolkit::bluray {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kMainPlaylist = 0;
// The short playlist for players that want one before the film (see toolkit/README.md).
constexpr uint32_t kBlankPlaylist = 1900;
// Movie objects: the one that plays the title, and the one it ends in.
constexpr uint16_t kTitleObject = 0, kEndObject = 1;

std::string FiveDigits(uint32_t number) {
  char name[16];
  std::snprintf(name, sizeof name, "%05u", number);
  return name;
}

const ClipStream* VideoStreamOf(const Clip& clip) {
  for (const ClipStream& s : clip.streams)
    if (KindOf(s.coding) == StreamKind::kVideo) return &s;
  return nullptr;
}

// Reads one clip and fills in what its clip information says about it.
bool DescribeClip(const Clip& clip, ClipInfo* info, std::string* error) {
  const ClipStream* video = VideoStreamOf(clip);
  if (!video) {
    *error = clip.m2tsPath + ": no video stream given";
    return false;
  }
  TsScanResult scan;
  if (!ScanTransportStream(clip.m2tsPath, video->pid, video->coding, &scan, error)) return false;
  if (!scan.hasVideoPts) {
    *error = clip.m2tsPath + ": no time stamps on video PID " + std::to_string(video->pid);
    return false;
  }
  if (scan.entryPoints.empty()) {
    *error = clip.m2tsPath + ": no key picture on video PID " + std::to_string(video->pid);
    return false;
  }
  const uint64_t end90 = scan.lastVideoPts + FrameDuration90k(video->framesPerSecond);
  info->sourcePackets = scan.sourcePackets;
  info->pmtPid = scan.pmtPid;
  info->pcrPid = scan.pcrPid;
  info->firstPcrSpn = scan.firstPcrSpn;
  info->presentationStart = uint32_t(scan.firstVideoPts / 2);
  info->presentationEnd = uint32_t(end90 / 2);
  // The peak rate, in bytes of source packets per second: no two packets arrive closer
  // than one packet at that rate (rounded up, so that they never do).
  const uint64_t gap = std::max<uint64_t>(scan.shortestArrivalGap, 2);
  const uint64_t perSecond = uint64_t(kSourcePacketSize) * 27000000;
  info->tsRecordingRate = uint32_t((perSecond + gap - 1) / gap);
  info->streams = clip.streams;
  info->videoPid = video->pid;
  info->entryPoints = std::move(scan.entryPoints);
  return true;
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  if (!out) {
    *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

// Every navigation file, by its path under BDMV/.
struct NavigationFiles {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  void Add(std::string path, std::vector<uint8_t> bytes) {
    files.emplace_back(std::move(path), std::move(bytes));
  }
};

// A short playlist over the first key-picture interval of the first clip, with the
// title's streams.
PlayItem BlankPlayItem(const ClipInfo& first) {
  PlayItem item{"00000", first.presentationStart, first.presentationEnd, 1};
  if (first.entryPoints.size() > 1) item.outTime = uint32_t(first.entryPoints[1].pts / 2);
  return item;
}

NavigationFiles BuildNavigation(const std::vector<Clip>& clips, const std::vector<ClipInfo>& infos,
                                const TitleOptions& options) {
  NavigationFiles nav;
  Playlist main;
  main.streams = clips.front().streams;
  for (size_t i = 0; i < infos.size(); ++i) {
    const std::string name = FiveDigits(uint32_t(i));
    nav.Add("CLIPINF/" + name + ".clpi", WriteClipInfo(infos[i]));
    main.items.push_back({name, infos[i].presentationStart, infos[i].presentationEnd, 1});
  }
  main.marks = ChapterMarks(main.items, options.chapterMinutes);
  nav.Add("PLAYLIST/" + FiveDigits(kMainPlaylist) + ".mpls", WritePlaylist(main));

  MovieObject title;
  bool hasSubtitles = false;
  for (const ClipStream& s : main.streams)
    hasSubtitles |= KindOf(s.coding) == StreamKind::kSubtitle;
  if (options.insertBlankPlaylist && hasSubtitles) {
    Playlist blank;
    blank.streams = main.streams;
    blank.items.push_back(BlankPlayItem(infos.front()));
    blank.marks = ChapterMarks(blank.items, 0);
    nav.Add("PLAYLIST/" + FiveDigits(kBlankPlaylist) + ".mpls", WritePlaylist(blank));
    title.commands.push_back(PlayPlaylistCommand(kBlankPlaylist));
  }
  title.commands.push_back(PlayPlaylistCommand(kMainPlaylist));
  // After the film the title goes on to the end object, which does nothing: navigation
  // stops there instead of waiting on the last picture. It is also the top menu, so that
  // the menu key stops rather than starting the film again.
  title.commands.push_back(JumpObjectCommand(kEndObject));
  MovieObject end;
  end.resumeIntention = false;
  end.commands.push_back(kNopCommand);
  nav.Add("MovieObject.bdmv", WriteMovieObjects({title, end}));
  DiscIndex index;
  index.topMenuObject = kEndObject;
  index.titleObjects = {kTitleObject};
  nav.Add("index.bdmv", WriteIndex(index));
  return nav;
}

// Writes BDMV/ (without the clips) and CERTIFICATE/ under `root`.
bool WriteTree(const fs::path& root, const NavigationFiles& nav, std::string* error) {
  std::error_code ec;
  const fs::path bdmv = root / "BDMV";
  for (const char* folder : {"PLAYLIST", "CLIPINF", "STREAM", "AUXDATA", "BDJO", "JAR", "META",
                             "BACKUP/PLAYLIST", "BACKUP/CLIPINF", "BACKUP/BDJO"})
    fs::create_directories(bdmv / folder, ec);
  fs::create_directories(root / "CERTIFICATE" / "BACKUP", ec);
  if (ec) {
    *error = "cannot make folders in " + root.string() + ": " + ec.message();
    return false;
  }
  for (const auto& [path, bytes] : nav.files) {
    if (!WriteBytes(bdmv / path, bytes, error)) return false;
    if (!WriteBytes(bdmv / "BACKUP" / path, bytes, error)) return false;
  }
  return true;
}

// Renames, or copies and removes across file systems.
bool MoveFile(const fs::path& from, const fs::path& to, std::error_code& ec) {
  fs::rename(from, to, ec);
  if (!ec) return true;
  ec.clear();
  if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) return false;
  return fs::remove(from, ec);
}

// Moves the clips into STREAM/; on failure puts back the ones already moved.
bool MoveClips(const std::vector<Clip>& clips, const fs::path& stream, std::string* error) {
  std::error_code ec;
  for (size_t i = 0; i < clips.size(); ++i) {
    const fs::path target = stream / (FiveDigits(uint32_t(i)) + ".m2ts");
    if (MoveFile(clips[i].m2tsPath, target, ec)) continue;
    *error = "cannot move " + clips[i].m2tsPath + " to " + target.string() + ": " + ec.message();
    for (size_t back = 0; back < i; ++back)
      MoveFile(stream / (FiveDigits(uint32_t(back)) + ".m2ts"), clips[back].m2tsPath, ec);
    return false;
  }
  return true;
}

}  // namespace

bool WriteBluRayFolder(const std::string& folder, const std::vector<Clip>& clips,
                       const TitleOptions& options, std::string* error) {
  if (clips.empty()) {
    *error = "no clips for the Blu-ray folder";
    return false;
  }
  std::vector<ClipInfo> infos(clips.size());
  for (size_t i = 0; i < clips.size(); ++i)
    if (!DescribeClip(clips[i], &infos[i], error)) return false;
  const NavigationFiles nav = BuildNavigation(clips, infos, options);

  const fs::path root(folder);
  std::error_code ec;
  if (fs::exists(root / "BDMV", ec) || fs::exists(root / "CERTIFICATE", ec)) {
    *error = folder + " already holds a BDMV or CERTIFICATE folder";
    return false;
  }
  // Everything is made in a hidden folder first and moved into place when complete.
  const fs::path staging = root / ".bdmv-writing";
  fs::remove_all(staging, ec);
  fs::create_directories(staging, ec);
  bool ok =
      !ec && WriteTree(staging, nav, error) && MoveClips(clips, staging / "BDMV" / "STREAM", error);
  if (ok) {
    fs::rename(staging / "CERTIFICATE", root / "CERTIFICATE", ec);
    if (!ec) fs::rename(staging / "BDMV", root / "BDMV", ec);
    if (ec) {
      *error = "cannot move the finished tree into " + folder + ": " + ec.message();
      fs::remove_all(root / "CERTIFICATE", ec);
      std::string ignored;
      for (size_t i = 0; i < clips.size(); ++i)
        MoveFile(staging / "BDMV" / "STREAM" / (FiveDigits(uint32_t(i)) + ".m2ts"),
                 clips[i].m2tsPath, ec);
      ok = false;
    }
  } else if (error->empty()) {
    *error = "cannot make " + staging.string();
  }
  fs::remove_all(staging, ec);
  return ok;
}

}  // namespace quillet::toolkit::bluray
