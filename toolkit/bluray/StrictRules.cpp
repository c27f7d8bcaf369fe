#include "toolkit/bluray/StrictRules.h"

namespace quillet::toolkit::bluray {

BrokenRule* RuleLog::Find(std::string_view rule) {
  for (BrokenRule& broken : rules_)
    if (broken.rule == rule) return &broken;
  return nullptr;
}

void RuleLog::Break(std::string_view rule, const std::string& first, int times) {
  if (BrokenRule* broken = Find(rule)) {
    broken->count += times;
    return;
  }
  rules_.push_back({std::string(rule), file_, first, times});
  retold_.push_back(false);
}

bool RuleLog::Again(std::string_view rule) {
  BrokenRule* broken = Find(rule);
  if (broken) ++broken->count;
  return broken != nullptr;
}

void RuleLog::Retell(std::string_view rule, const std::string& text) {
  if (BrokenRule* broken = Find(rule)) {
    broken->text = text;
    retold_[size_t(broken - rules_.data())] = true;
  }
}

int RuleLog::Count(std::string_view rule) const {
  for (const BrokenRule& broken : rules_)
    if (broken.rule == rule) return broken.count;
  return 0;
}

void RuleLog::MoveTo(std::vector<BrokenRule>* out) {
  for (size_t i = 0; i < rules_.size(); ++i) {
    if (rules_[i].count > 1 && !retold_[i])
      rules_[i].text += " (" + std::to_string(rules_[i].count) + " times in all)";
    out->push_back(std::move(rules_[i]));
  }
  rules_.clear();
  retold_.clear();
}

}  // namespace quillet::toolkit::bluray
