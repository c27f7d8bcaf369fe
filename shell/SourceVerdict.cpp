#include "shell/SourceVerdict.h"

#include "app/AppTools.h"
#include "app/Program.h"
#include "app/Ui.h"
#include "app/UnsafePath.h"
#include "base/Files.h"
#include "base/Text.h"
#include "check/CheckReport.h"
#include "check/GatherFacts.h"
#include "check/ReportText.h"
#include "tools/Paths.h"

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

std::string CannotBeRead(const MediaFacts& facts, const std::string& source) {
  return source + " cannot be read: " + facts.problem;
}

// The verdict for the chosen player, without the line end of the report's text.
std::string VerdictFor(const MediaFacts& facts, const Form1& form) {
  const FileReport file = JudgeFile(facts, {ChosenPlayer(form)});
  std::string text = file.verdicts.empty() ? "" : VerdictText(file.verdicts.front());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string SourceIn(const Form1& form) {
  return AbsolutePath(Trim(form.txtFile.Text));
}

// The tool tip and the debug log for a film read already.
void ShowVerdictOf(App& app, const MediaFacts& facts, const std::string& source) {
  Form1& f = app.form;
  const std::string text =
      facts.readable ? VerdictFor(facts, f) : "Will it play? " + CannotBeRead(facts, source);
  f.txtFile.ToolTip = text;
  std::vector<std::string> log = {"Will it play? " + source};
  for (const std::string& line : Lines(text)) log.push_back(line);
  AppendDebugLog(app.ctx.files.logFolder, log);
}

bool RefuseUnreadable(App& app, const MediaFacts& facts, const std::string& source) {
  if (facts.readable) return false;
  app.ctx.ui.MsgBox(CannotBeRead(facts, source), MsgStyle::kExclamation, "");
  return true;
}

}  // namespace

const MediaFacts& FilmFacts::Read(Context& ctx, const std::string& path) {
  lastRead_ = path;
  return facts_[path] = GatherMediaFacts(ctx, path);
}

const MediaFacts* FilmFacts::Of(const std::string& path) const {
  const auto found = facts_.find(path);
  return found == facts_.end() ? nullptr : &found->second;
}

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

bool ShowSourceVerdict(App& app, FilmFacts& films) {
  const std::string source = SourceIn(app.form);
  if (source.empty()) return false;
  const MediaFacts& facts = films.Read(app.ctx, source);
  ShowVerdictOf(app, facts, source);
  return !RefuseUnreadable(app, facts, source);
}

void RefreshVerdictLine(App& app, const FilmFacts& films) {
  Form1& f = app.form;
  const std::string source = SourceIn(f);
  const MediaFacts* facts = source.empty() ? nullptr : films.Of(source);
  if (!facts)
    f.lblVerdict.Caption.clear();
  else
    f.lblVerdict.Caption = facts->readable ? VerdictFor(*facts, f) : CannotBeRead(*facts, source);
  // A film the window has not read (one a command-line, folder or queue run put there)
  // was chosen all the same; only a film read as unreadable, or none, keeps Convert off.
  f.Command2.Enabled = !source.empty() && (!facts || facts->readable);
}

void FileButton_Click(App& app, FilmFacts& films) {
  const std::string before = app.form.txtFile.Text;
  Command1_Click(app);
  // A cancelled dialog leaves the source, and its verdict, as they were.
  if (app.form.txtFile.Text != before) ShowSourceVerdict(app, films);
}

void SourceTyped(App& app, FilmFacts& films) {
  const std::string source = SourceIn(app.form);
  // Leaving the box without a new path takes nothing again.
  if (source.empty() || source == films.LastRead()) return;
  if (ChooseTypedSource(app, source)) ShowSourceVerdict(app, films);
}

void DropFilms(App& app, FilmFacts& films, const std::vector<std::string>& paths) {
  for (const std::string& dropped : paths) {
    const std::string path = AbsolutePath(dropped);
    if (!AcceptPathForTools(app, path, "source file") || !AcceptSourceFile(app, path)) continue;
    const MediaFacts& facts = films.Read(app.ctx, path);
    if (RefuseUnreadable(app, facts, path)) continue;
    ShowVerdictOf(app, facts, path);
    DropFiles(app, {path});
  }
}

}  // namespace quillet
