#pragma once
// One run of the pre-flight report: each film's facts and its verdict for each player
// asked for.

#include <vector>

#include "check/MediaFacts.h"
#include "check/Verdict.h"

namespace quillet {

struct FileReport {
  MediaFacts facts;
  std::vector<Verdict> verdicts;  // empty when the film could not be read
};

struct CheckReport {
  std::vector<Player> players;
  std::vector<FileReport> files;
};

// The verdicts of one film for the players, in their order.
FileReport JudgeFile(MediaFacts facts, const std::vector<Player>& players);

// 0 when every film plays as it is on every player, 1 when some film needs work, 3 when
// a film could not be read.
int CheckExitStatus(const CheckReport& report);

}  // namespace quillet
