#include "toolkit/bluray/StrictRules.h"

namespace quillet::toolkit::bluray {

void RuleLog::Break(const std::string& rule, const std::string& first, int times) {
  auto [at, added] = index_.emplace(rule, rules_.size());
  if (added) {
    rules_.push_back({rule, file_, first, times});
    return;
  }
  rules_[at->second].count += times;
}

void RuleLog::Retell(const std::string& rule, const std::string& text) {
  auto at = index_.find(rule);
  if (at == index_.end()) return;
  rules_[at->second].text = text;
  retold_[rule] = true;
}

int RuleLog::Count(const std::string& rule) const {
  auto at = index_.find(rule);
  return at == index_.end() ? 0 : rules_[at->second].count;
}

void RuleLog::MoveTo(std::vector<BrokenRule>* out) {
  for (BrokenRule& broken : rules_) {
    if (broken.count > 1 && !retold_.count(broken.rule))
      broken.text += " (" + std::to_string(broken.count) + " times in all)";
    out->push_back(std::move(broken));
  }
  rules_.clear();
  index_.clear();
}

}  // namespace quillet::toolkit::bluray
