#include "check/CheckReport.h"

namespace quillet {

FileReport JudgeFile(MediaFacts facts, const std::vector<Player>& players) {
  FileReport file;
  file.facts = std::move(facts);
  if (!file.facts.readable) return file;
  for (Player player : players) file.verdicts.push_back(JudgeForPlayer(file.facts, player));
  return file;
}

int CheckExitStatus(const CheckReport& report) {
  bool needsWork = false;
  for (const FileReport& file : report.files) {
    if (!file.facts.readable) return 3;
    for (const Verdict& v : file.verdicts)
      needsWork = needsWork || v.kind != VerdictKind::PlaysAsIs;
  }
  return needsWork ? 1 : 0;
}

}  // namespace quillet
