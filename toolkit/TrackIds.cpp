#include "toolkit/TrackIds.h"

#include <set>

#include "base/Text.h"

namespace quillet::toolkit {
namespace {

// mkvmerge options by what their value holds.
enum class Kind { GlobalFlag, GlobalValue, SourceFlag, SourceValue, TrackList, TrackPrefixed };

Kind* FindMkvmergeOption(const std::string& name) {
  static std::vector<std::pair<std::set<std::string>, Kind>> table = {
      {{"-q", "--quiet", "-v", "--verbose", "--link", "--no-cues", "--clusters-in-meta-seek",
        "--disable-lacing", "--enable-durations", "--disable-track-statistics-tags",
        "--disable-language-ietf", "-w", "--webm", "--flush-on-close", "--abort-on-warnings",
        "--no-date", "--normalize-language-ietf", "--stop-after-video-ends"},
       Kind::GlobalFlag},
      {{"-o",
        "--output",
        "--split",
        "--split-max-files",
        "--title",
        "--chapters",
        "--chapter-language",
        "--chapter-charset",
        "--chapter-sync",
        "--chapter-name-template",
        "--cue-chapter-name-format",
        "--global-tags",
        "--segmentinfo",
        "--segment-info",
        "--link-to-previous",
        "--link-to-next",
        "--append-to",
        "--append-mode",
        "--timestamp-scale",
        "--timecode-scale",
        "--track-order",
        "--attachment-description",
        "--attachment-mime-type",
        "--attachment-name",
        "--attach-file",
        "--attach-file-once",
        "--cluster-length",
        "--generate-chapters",
        "--generate-chapters-name-template",
        "--default-language",
        "--command-line-charset",
        "--output-charset",
        "--ui-language",
        "--priority",
        "-r",
        "--redirect-output",
        "--deterministic",
        "--segment-uid",
        "--engage"},
       Kind::GlobalValue},
      {{"-A", "--noaudio", "--no-audio", "-D", "--novideo", "--no-video", "-S", "--nosubs",
        "--no-subtitles", "-B", "--nobuttons", "--no-buttons", "-T", "--no-track-tags", "-M",
        "--no-attachments", "--no-chapters", "--no-global-tags", "--regenerate-track-uids"},
       Kind::SourceFlag},
      {{"-m", "--attachments"}, Kind::SourceValue},
      {{"-a", "--atracks", "--audio-tracks", "-d", "--vtracks", "--video-tracks", "-s", "--stracks",
        "--subtitle-tracks", "-b", "--btracks", "--button-tracks", "--track-tags"},
       Kind::TrackList},
      {{"-y",
        "--sync",
        "--cues",
        "--default-track",
        "--default-track-flag",
        "--forced-track",
        "--forced-display-flag",
        "--track-enabled-flag",
        "--hearing-impaired-flag",
        "--visual-impaired-flag",
        "--text-descriptions-flag",
        "--original-flag",
        "--commentary-flag",
        "--blockadd",
        "--track-name",
        "--language",
        "-t",
        "--tags",
        "--aac-is-sbr",
        "--reduce-to-core",
        "--remove-dialog-normalization-gain",
        "--timecodes",
        "--timestamps",
        "--default-duration",
        "--fix-bitstream-timing-information",
        "--nalu-size-length",
        "--compression",
        "--fourcc",
        "--aspect-ratio",
        "--aspect-ratio-factor",
        "--display-dimensions",
        "--cropping",
        "--colour-matrix-coefficients",
        "--colour-bits-per-channel",
        "--chroma-subsample",
        "--cb-subsample",
        "--chroma-siting",
        "--colour-range",
        "--colour-transfer-characteristics",
        "--colour-primaries",
        "--max-content-light",
        "--max-frame-light",
        "--chromaticity-coordinates",
        "--white-colour-coordinates",
        "--max-luminance",
        "--min-luminance",
        "--projection-type",
        "--projection-private",
        "--projection-pose-yaw",
        "--projection-pose-pitch",
        "--projection-pose-roll",
        "--field-order",
        "--stereo-mode",
        "--sub-charset",
        "--max-blockadd-id"},
       Kind::TrackPrefixed},
  };
  for (auto& [names, kind] : table)
    if (names.count(name)) return &kind;
  return nullptr;
}

bool ShiftList(const std::string& value, std::string& out, std::string* error) {
  std::vector<std::string> items = Split(value, ',');
  for (std::string& item : items) {
    bool negate = StartsWith(item, "!");
    std::string number = negate ? item.substr(1) : item;
    if (!ParseInt(number)) continue;  // a language code or another selector
    auto shifted = ShiftTrackId(number);
    if (!shifted) {
      if (error) *error = "track " + number + " does not exist (track numbers start at 1)";
      return false;
    }
    item = (negate ? "!" : "") + std::to_string(*shifted);
  }
  out = Join(items, ",");
  return true;
}

bool ShiftPrefixed(const std::string& value, std::string& out, std::string* error) {
  size_t colon = value.find(':');
  std::string id = value.substr(0, colon);
  if (colon == std::string::npos || !ParseInt(id) || id == "-1") {
    out = value;  // no track id, or "-1" for all tracks
    return true;
  }
  auto shifted = ShiftTrackId(id);
  if (!shifted) {
    if (error) *error = "track " + id + " does not exist (track numbers start at 1)";
    return false;
  }
  out = std::to_string(*shifted) + value.substr(colon);
  return true;
}

}  // namespace

std::optional<long long> ShiftTrackId(const std::string& legacy) {
  auto n = ParseInt(legacy);
  if (!n || *n < 1) return std::nullopt;
  return *n - 1;
}

std::optional<MkvextractCall> ParseMkvextractArgs(const std::vector<std::string>& args,
                                                  std::string* error) {
  auto fail = [&](const std::string& message) -> std::optional<MkvextractCall> {
    if (error) *error = message;
    return std::nullopt;
  };
  if (args.size() < 2 || (args[0] != "tracks" && args[0] != "timestamps_v2"))
    return fail("expected: tracks|timestamps_v2 SOURCE [options] TRACK:FILE ...");
  MkvextractCall call;
  call.mode = args[0];
  static const std::set<std::string> flags = {"--raw",     "--fullraw", "-f", "--parse-fully",
                                              "-v",        "--verbose", "-q", "--quiet",
                                              "--cuesheet"};
  static const std::set<std::string> valued = {
      "-c", "--blockadd",       "--ui-language", "--command-line-charset", "--output-charset",
      "-r", "--redirect-output"};
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (flags.count(a)) {
      call.options.push_back(a);
    } else if (valued.count(a)) {
      if (i + 1 >= args.size()) return fail("option " + a + " needs a value");
      call.options.push_back(a);
      call.options.push_back(args[++i]);
    } else if (StartsWith(a, "-")) {
      return fail("unknown option " + a);
    } else if (call.source.empty()) {
      call.source = a;
    } else {
      size_t colon = a.find(':');
      if (colon == std::string::npos || colon == 0 || colon + 1 == a.size())
        return fail("expected TRACK:FILE, got " + a);
      std::string number = a.substr(0, colon);
      auto id = ShiftTrackId(number);
      if (!id) return fail("track " + number + " does not exist (track numbers start at 1)");
      call.tracks.emplace_back(*id, a.substr(colon + 1));
    }
  }
  if (call.source.empty()) return fail("no source file");
  if (call.tracks.empty()) return fail("no track to extract");
  return call;
}

std::vector<std::string> MkvextractArgv(const MkvextractCall& call) {
  std::vector<std::string> argv = {"mkvextract", call.source, call.mode};
  argv.insert(argv.end(), call.options.begin(), call.options.end());
  for (const auto& [id, path] : call.tracks) argv.push_back(std::to_string(id) + ":" + path);
  return argv;
}

std::optional<MkvmergeCall> TranslateMkvmergeArgs(const std::vector<std::string>& args,
                                                  const IsMatroskaFn& isMatroska,
                                                  std::string* error) {
  auto fail = [&](const std::string& message) -> std::optional<MkvmergeCall> {
    if (error) *error = message;
    return std::nullopt;
  };
  MkvmergeCall call;
  // Options seen since the last source: (position in call.args of the value, kind).
  std::vector<std::pair<size_t, Kind>> pending;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "(" || a == ")" || a == "=" || a == "@") return fail("unsupported argument " + a);
    std::string source;
    if (a == "+") {
      // Appending: "+ file" and "+file" both become "+", "file".
      if (i + 1 >= args.size()) return fail("+ needs a file");
      call.args.push_back(a);
      source = args[++i];
    } else if (StartsWith(a, "+")) {
      call.args.push_back("+");
      source = a.substr(1);
    } else if (StartsWith(a, "-") && a.size() > 1) {
      Kind* kind = FindMkvmergeOption(a);
      if (!kind) return fail("unknown option " + a);
      call.args.push_back(a);
      if (*kind == Kind::GlobalFlag || *kind == Kind::SourceFlag) continue;
      if (i + 1 >= args.size()) return fail("option " + a + " needs a value");
      call.args.push_back(args[++i]);
      if (a == "-o" || a == "--output") call.outputIndex = static_cast<int>(call.args.size() - 1);
      if (*kind == Kind::TrackList || *kind == Kind::TrackPrefixed)
        pending.emplace_back(call.args.size() - 1, *kind);
      continue;
    } else {
      source = a;
    }

    // A source: the pending track options belong to it.
    if (isMatroska(source)) {
      for (auto& [index, kind] : pending) {
        std::string shifted;
        bool ok = kind == Kind::TrackList ? ShiftList(call.args[index], shifted, error)
                                          : ShiftPrefixed(call.args[index], shifted, error);
        if (!ok) return std::nullopt;
        call.args[index] = shifted;
      }
    }
    pending.clear();
    call.args.push_back(source);
    call.sources.push_back(static_cast<int>(call.args.size() - 1));
  }
  if (call.outputIndex < 0) return fail("no output file (-o)");
  if (call.sources.empty()) return fail("no source file");
  return call;
}

}  // namespace quillet::toolkit
