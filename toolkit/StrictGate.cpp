#include "toolkit/StrictGate.h"

#include <algorithm>
#include <iterator>

#include "toolkit/MuxJob.h"

namespace quillet::toolkit {
namespace {

// The rules the slot holds its own output to. Those off are still broken by the writers:
// ffmpeg's PAT/PMT period and equal arrival stamps of packets sent together, parts that start
// with copies of the PAT and PMT out of their continuity count, clips not cut to whole units, the
// average rate written as the recording rate, parameter sets only at the first key picture, the
// title object ending on its PlayPL, and 480p/1080p at rates BD-ROM does not define (small and
// 25/30 fps films). A 44.1 kHz source stays as it is.
struct SlotRule {
  const char* rule;
  bool enforced;
};
constexpr SlotRule kRulesTheSlotEnforces[] = {
    {"packet-sync", true},     {"continuity", false},
    {"arrival-order", false},  {"pcr-gap", true},
    {"psi-gap", false},        {"aligned-units", false},
    {"parameter-sets", false}, {"language", true},
    {"sample-rate", false},    {"stream-table", true},
    {"length", true},          {"reserved", true},
    {"ep-map", true},          {"recording-rate", false},
    {"video-format", false},   {"video-format-stream", true},
    {"play-item-times", true}, {"chapter-marks", true},
    {"title-end", false},
};

bool Enforced(const std::string& rule) {
  auto at = std::find_if(std::begin(kRulesTheSlotEnforces), std::end(kRulesTheSlotEnforces),
                         [&](const SlotRule& r) { return rule == r.rule; });
  return at == std::end(kRulesTheSlotEnforces) || at->enforced;
}

}  // namespace

bluray::StrictOptions StrictOptionsFor(const MuxPlan& plan) {
  bluray::StrictOptions options;
  for (const MuxStream& s : plan.streams)
    if (NormalizeLanguage(s.info.language).value_or("und") == "und")
      options.pidsWithoutLanguage.push_back(s.pid);
  return options;
}

bool PassesStrictCheck(const bluray::StrictResult& result, std::string* error) {
  if (!result.readable) {
    *error = result.problem;
    return false;
  }
  for (const bluray::BrokenRule& broken : result.broken)
    if (Enforced(broken.rule)) {
      *error = broken.file + " breaks the rule \"" + broken.rule + "\": " + broken.text;
      return false;
    }
  return true;
}

}  // namespace quillet::toolkit
