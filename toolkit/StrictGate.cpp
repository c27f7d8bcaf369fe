#include "toolkit/StrictGate.h"

#include <algorithm>
#include <iterator>

#include "toolkit/MuxJob.h"

namespace quillet::toolkit {
namespace {

// The rules the slot holds its own output to: all but the picture size, which is the
// source's (the program warns about sizes players may refuse before it makes the folder).
struct SlotRule {
  const char* rule;
  bool enforced;
};
constexpr SlotRule kRulesTheSlotEnforces[] = {
    {"packet-sync", true},    {"continuity", true},
    {"arrival-order", true},  {"pcr-gap", true},
    {"psi-gap", true},        {"aligned-units", true},
    {"parameter-sets", true}, {"language", true},
    {"sample-rate", true},    {"stream-table", true},
    {"length", true},         {"reserved", true},
    {"ep-map", true},         {"recording-rate", true},
    {"video-format", true},   {"video-format-stream", true},
    {"picture-size", false},  {"play-item-times", true},
    {"chapter-marks", true},  {"title-end", true},
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
