#include "queue/JobOptions.h"

#include <algorithm>
#include <array>

namespace quillet {
namespace {

// The command line's words for the window's list choices, by list index.
constexpr std::array<const char*, 3> kTargets = {"ps3", "xbox360", "ps3-stereo"};
constexpr std::array<const char*, 4> kRecodes = {"mpeg2", "h264", "xvid", "h264hq"};
constexpr std::array<const char*, 3> kDiscs = {"dvd5", "dvd9", "bluray"};
constexpr std::array<const char*, 2> kPriorities = {"low", "high"};

template <size_t N>
void AddChoice(std::vector<std::string>& words, const char* option,
               const std::array<const char*, N>& choices, int index) {
  if (index < 0 || index >= static_cast<int>(N)) return;
  words.insert(words.end(), {option, choices[static_cast<size_t>(index)]});
}

bool Ticked(const CheckBox& box) {
  return box.Value == 1;
}

bool Has(const Job& job, const char* option) {
  return std::find(job.options.begin(), job.options.end(), option) != job.options.end();
}

// Switches whose option only ticks: a film added without them must not inherit their
// tick from the base. Unticked as a user would, each rule running, Safe Sync first
// since it disables the others.
void UntickSwitches(Form1& f) {
  for (CheckBox* box : {&f.chkFF, &f.chk25, &f.chkSubs, &f.chkMP2, &f.chkNorm, &f.chkDVD})
    box->SetValue(0);
}

}  // namespace

Job JobFromWindow(const App& app) {
  const Form1& f = app.form;
  Job job;
  job.source = f.strFullname;
  std::vector<std::string>& w = job.options;
  AddChoice(w, "--target", kTargets, f.cmbPlatform.ListIndex);
  if (!f.txtTMP.Text.empty()) w.insert(w.end(), {"--output", f.txtTMP.Text});
  w.push_back(Ticked(f.chkAVCHD) ? "--avchd" : Ticked(f.chkVob) ? "--m2ts" : "--mp4");
  if (Ticked(f.chkMP2)) AddChoice(w, "--recode", kRecodes, f.cmdConv.ListIndex);
  if (Ticked(f.chkFF)) w.push_back("--fast-mux");
  if (Ticked(f.chkDVD)) AddChoice(w, "--fit", kDiscs, f.cmbSize.ListIndex);
  w.push_back(Ticked(f.Check1) ? "--split" : "--no-split");
  if (Ticked(f.chkNorm)) w.push_back("--normalize");
  if (Ticked(f.chk25)) w.push_back("--25fps");
  if (f.cmbAudio.ListIndex >= 0)
    w.insert(w.end(), {"--audio", std::to_string(f.cmbAudio.ListIndex + 1)});
  if (!f.strSubBrowse.empty()) w.insert(w.end(), {"--subs", f.strSubBrowse});
  if (Ticked(f.chkSubs)) w.push_back("--embed-subs");
  if (app.normalPriority)
    w.insert(w.end(), {"--priority", "normal"});
  else
    AddChoice(w, "--priority", kPriorities, f.cmbPrio.ListIndex);
  job.chapters = f.chkChapters.Value;
  job.subtitleTrack = f.cmbSubs.Visible ? f.cmbSubs.ListIndex : -1;
  return job;
}

CommandLine JobCommandLine(const Job& job) {
  std::vector<std::string> args = job.options;
  // After "--" the source is taken as it is named, whatever it looks like.
  args.insert(args.end(), {"--", job.source});
  return ParseCommandLine(args);
}

std::optional<std::string> ApplyJobOptions(App& app, const Job& job, const CommandLine& commandLine,
                                           const WindowOptions& base) {
  RestoreWindowOptions(app, base);
  UntickSwitches(app.form);
  if (std::optional<std::string> refused = ApplyOptions(app, commandLine)) return refused;
  app.form.chkChapters.SetValue(job.chapters);
  return std::nullopt;
}

std::optional<std::string> ApplyJobSourceOptions(App& app, const Job& job,
                                                 const CommandLine& commandLine) {
  Form1& f = app.form;
  if (!ApplySourceOptions(app, commandLine))
    return "This source has no audio track " + std::to_string(commandLine.AudioTrack()) + ".";
  // Choosing a subtitle file ticks "Embed subs"; the film was added with it cleared.
  if (Has(job, "--subs") && !Has(job, "--embed-subs")) f.chkSubs.SetValue(0);
  if (job.subtitleTrack >= 0) f.cmbSubs.SetListIndex(job.subtitleTrack);
  return std::nullopt;
}

}  // namespace quillet
