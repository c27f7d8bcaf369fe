#pragma once
// The program numbers the tracks of a Matroska file from 1, as the old Matroska tools
// did; today's mkvmerge and mkvextract number them from 0 and silently take the wrong
// track for an old number. These functions turn the old command lines into today's.
// Only the ids of Matroska sources move: a subtitle file's only track stays 0.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillet::toolkit {

// An old track number (1-based) as today's id; nullopt for 0, a negative or a non-number.
std::optional<long long> ShiftTrackId(const std::string& legacy);

// `mkvextract tracks|timestamps_v2 SOURCE [options] N:FILE ...` (the old form).
struct MkvextractCall {
  std::string mode;  // "tracks", or "timestamps_v2": each frame's time, one a line
  std::string source;
  std::vector<std::string> options;                       // passed on unchanged
  std::vector<std::pair<long long, std::string>> tracks;  // today's id, output file
};
std::optional<MkvextractCall> ParseMkvextractArgs(const std::vector<std::string>& args,
                                                  std::string* error);
// Today's argv: mkvextract SOURCE MODE [options] ID:FILE ...
std::vector<std::string> MkvextractArgv(const MkvextractCall& call);

// mkvmerge's arguments with the track ids of the options that precede each Matroska
// source shifted. outputIndex is the position of the -o value, sources the positions of
// the source files (both in args), for the caller to point them elsewhere.
struct MkvmergeCall {
  std::vector<std::string> args;
  int outputIndex = -1;
  std::vector<int> sources;
};
using IsMatroskaFn = std::function<bool(const std::string& source)>;
std::optional<MkvmergeCall> TranslateMkvmergeArgs(const std::vector<std::string>& args,
                                                  const IsMatroskaFn& isMatroska,
                                                  std::string* error);

}  // namespace quillet::toolkit
