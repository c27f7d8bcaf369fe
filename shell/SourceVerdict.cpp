#include "shell/SourceVerdict.h"

#include "app/AppTools.h"
#include "app/Program.h"
#include "base/Files.h"
#include "check/CheckReport.h"
#include "check/GatherFacts.h"
#include "check/ReportText.h"

namespace quillet {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

}  // namespace

Player ChosenPlayer(const Form1& form) {
  if (form.chkAVCHD.Value == 1) return Player::BluRay;
  switch (form.cmbPlatform.ListIndex) {
    case 0:
      return Player::PS3;
    case 2:
      return Player::PS3Stereo;
    default:
      return Player::Xbox360;
  }
}

void ShowSourceVerdict(App& app) {
  Form1& f = app.form;
  const std::string source = f.txtFile.Text;
  if (source.empty()) return;
  const Player player = ChosenPlayer(f);
  const FileReport file = JudgeFile(GatherMediaFacts(app.ctx, source), {player});
  std::string text;
  if (!file.facts.readable) {
    text = "Will it play? " + source + " cannot be read: " + file.facts.problem;
  } else {
    text = VerdictText(file.verdicts.front());
    if (!text.empty() && text.back() == '\n') text.pop_back();
  }
  f.txtFile.ToolTip = text;
  std::vector<std::string> log = {"Will it play? " + source};
  for (const std::string& line : Lines(text)) log.push_back(line);
  AppendDebugLog(app.ctx.programFolder, log);
}

void FileButton_Click(App& app) {
  const std::string before = app.form.txtFile.Text;
  Command1_Click(app);
  // A cancelled dialog leaves the source, and its verdict, as they were.
  if (app.form.txtFile.Text != before) ShowSourceVerdict(app);
}

}  // namespace quillet
