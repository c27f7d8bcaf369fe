#include "shell/CommandLineOptions.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <system_error>

#include "app/Program.h"
#include "inspect/ReadInfo.h"
#include "shell/CheckCommand.h"
#include "tools/CommandLine.h"
#include "tools/Paths.h"

namespace quillet {

// The phases in which options reach the window, in the order a user clicks them: the
// output kind is cleared before the recode format is chosen (clearing AVCHD puts back
// the format it saved), and ticked after it (ticking AVCHD turns Xvid into H264).
// The subtitle file and the audio track are chosen again for each source, after its
// inspection, as a user chooses them after picking the file.
enum class Phase {
  kTarget,
  kPlain,
  kClearOutput,
  kRecode,
  kOutput,
  kMux,
  kFps,
  kSubtitles,
  kEachSource
};

// A value the option accepts, with the list index or number it stands for.
struct OptionChoice {
  const char* word;
  int index;
};

struct OptionRow {
  const char* name;
  const char* valueName;              // "" for a switch
  std::vector<OptionChoice> choices;  // empty: any value, checked by `check`
  const char* help;
  Phase phase;
  int exclusiveGroup;  // options of one group (not 0) exclude one another
  // What the click does; `index` is the chosen OptionChoice's index, or the number.
  std::function<void(App&, const std::string& value, int index)> apply;
  // The control the click needs enabled (a disabled one cannot be clicked); may be null.
  std::function<const Control*(const Form1&)> control;
  // After every option: does the window still hold what this one chose?
  std::function<bool(const Form1&, int index)> holds;
  // A value that is no choice: an error text, or "" when it is good.
  std::function<std::string(const std::string& value)> check;
};

namespace {

constexpr int kOutputKind = 1;  // the exclusive group of --mp4, --m2ts and --avchd

void ClearOutputKind(Form1& f) {
  f.chkAVCHD.SetValue(0);
  f.chkVob.SetValue(0);
}

std::string CheckFolder(const std::string& value) {
  const std::string why = WhyUnsafeForCommandLine(value);
  if (!why.empty()) return "the folder name " + why;
  std::error_code ec;
  if (!std::filesystem::is_directory(value, ec)) return "no such folder";
  return "";
}

std::string CheckFile(const std::string& value) {
  const std::string why = WhyUnsafeForCommandLine(value);
  if (!why.empty()) return "the file name " + why;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(value, ec)) return "no such file";
  return "";
}

std::string CheckTrackNumber(const std::string& value) {
  const bool digits =
      !value.empty() && value.size() <= 3 &&
      std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
  return digits && std::stoi(value) >= 1 ? "" : "a track number from 1 is needed";
}

bool Ticked(const CheckBox& box) {
  return box.Value == 1;
}

// "low" and "high" are the window's list; "normal" has no place there and is kept for
// this run only.
constexpr int kNormalPriority = 99;  // no index of the window's list
void ApplyPriority(App& app, const std::string&, int index) {
  app.normalPriority = index == kNormalPriority;
  if (!app.normalPriority) app.form.cmbPrio.SetListIndex(index);
}

// clang-format off
const std::vector<OptionRow>& OptionTable() {
  static const std::vector<OptionRow> table = {
    {"--target", "ps3|ps3-stereo|xbox360", {{"ps3", 0}, {"ps3-stereo", 2}, {"xbox360", 1}},
     "target player: PS3 (5.1), PS3 (2.0) or Xbox 360", Phase::kTarget, 0,
     [](App& a, const std::string&, int i) { a.form.cmbPlatform.SetListIndex(i); a.form.cmbPlatform_Change(); },
     nullptr, [](const Form1& f, int i) { return f.cmbPlatform.ListIndex == i; }, nullptr},
    {"--output", "DIR", {}, "output folder", Phase::kPlain, 0,
     [](App& a, const std::string& v, int) { a.form.txtTMP.Text = WithTrailingSep(AbsolutePath(v)); },
     nullptr, nullptr, CheckFolder},
    {"--mp4", "", {}, "an MP4 file (unless the settings file chose another output)",
     Phase::kClearOutput, kOutputKind, [](App& a, const std::string&, int) { ClearOutputKind(a.form); },
     nullptr, [](const Form1& f, int) { return !Ticked(f.chkAVCHD) && !Ticked(f.chkVob); }, nullptr},
    {"--m2ts", "", {}, "a PS3 transport stream (Mux to Vob)", Phase::kOutput, kOutputKind,
     [](App& a, const std::string&, int) { a.form.chkVob.SetValue(1); },
     [](const Form1& f) -> const Control* { return &f.chkVob; },
     [](const Form1& f, int) { return Ticked(f.chkVob); }, nullptr},
    {"--avchd", "", {}, "an AVCHD folder for Blu-ray players and the PS3", Phase::kOutput, kOutputKind,
     [](App& a, const std::string&, int) { a.form.chkAVCHD.SetValue(1); },
     [](const Form1& f) -> const Control* { return &f.chkAVCHD; },
     [](const Form1& f, int) { return Ticked(f.chkAVCHD); }, nullptr},
    {"--recode", "mpeg2|h264|xvid|h264hq", {{"mpeg2", 0}, {"h264", 1}, {"xvid", 2}, {"h264hq", 3}},
     "re-encode the video (AVCHD output takes H264)", Phase::kRecode, 0,
     [](App& a, const std::string&, int i) { a.form.chkMP2.SetValue(1); a.form.cmdConv.SetListIndex(i); },
     [](const Form1& f) -> const Control* { return &f.chkMP2; },
     [](const Form1& f, int) { return Ticked(f.chkMP2); }, nullptr},
    {"--fast-mux", "", {}, "Fast Mux with --avchd or --m2ts, else Safe Sync (sound through FFmpeg)",
     Phase::kMux, 0, [](App& a, const std::string&, int) { a.form.chkFF.SetValue(1); },
     [](const Form1& f) -> const Control* { return &f.chkFF; },
     [](const Form1& f, int) { return Ticked(f.chkFF); }, nullptr},
    {"--fit", "dvd5|dvd9|bluray", {{"dvd5", 0}, {"dvd9", 1}, {"bluray", 2}},
     "fit a re-encode to a disc", Phase::kPlain, 0,
     [](App& a, const std::string&, int i) { a.form.chkDVD.SetValue(1); a.form.cmbSize.SetListIndex(i); },
     nullptr, [](const Form1& f, int i) { return Ticked(f.chkDVD) && f.cmbSize.ListIndex == i; }, nullptr},
    {"--split", "", {}, "split sources larger than 4 GB", Phase::kPlain, 2,
     [](App& a, const std::string&, int) { a.form.Check1.SetValue(1); },
     nullptr, [](const Form1& f, int) { return Ticked(f.Check1); }, nullptr},
    {"--no-split", "", {}, "do not split large sources", Phase::kPlain, 2,
     [](App& a, const std::string&, int) { a.form.Check1.SetValue(0); },
     nullptr, [](const Form1& f, int) { return !Ticked(f.Check1); }, nullptr},
    {"--normalize", "", {}, "normalize the sound", Phase::kPlain, 0,
     [](App& a, const std::string&, int) { a.form.chkNorm.SetValue(1); },
     nullptr, [](const Form1& f, int) { return Ticked(f.chkNorm); }, nullptr},
    {"--25fps", "", {}, "speed the film up to 25 frames per second", Phase::kFps, 0,
     [](App& a, const std::string&, int) { a.form.chk25.SetValue(1); },
     [](const Form1& f) -> const Control* { return &f.chk25; },
     [](const Form1& f, int) { return Ticked(f.chk25); }, nullptr},
    {"--audio", "N", {}, "the Nth audio track of each source (from 1)", Phase::kEachSource, 0,
     nullptr, nullptr, nullptr, CheckTrackNumber},
    {"--subs", "FILE", {}, "subtitle file (.srt, .ssa), as chosen with Browse Subs", Phase::kEachSource, 0,
     [](App& a, const std::string& v, int) { UseSubtitleFile(a, AbsolutePath(v)); },
     nullptr, [](const Form1& f, int) { return !f.strSubBrowse.empty(); }, CheckFile},
    {"--embed-subs", "", {}, "burn the subtitles into a re-encoded video", Phase::kSubtitles, 0,
     [](App& a, const std::string&, int) { a.form.chkSubs.Visible = true; a.form.chkSubs.SetValue(1); },
     nullptr,
     [](const Form1& f, int) { return Ticked(f.chkSubs); }, nullptr},
    {"--priority", "low|normal|high", {{"low", 0}, {"normal", kNormalPriority}, {"high", 1}},
     "priority of the tools (normal: the program's own; the window has low and high)",
     Phase::kPlain, 0, ApplyPriority,
     nullptr, [](const Form1& f, int i) { return i == kNormalPriority || f.cmbPrio.ListIndex == i; },
     nullptr},
    {"--shutdown", "", {}, "shut the machine down at the end", Phase::kPlain, 0,
     [](App& a, const std::string&, int) { a.form.chkShutDown.SetValue(1); },
     nullptr, [](const Form1& f, int) { return Ticked(f.chkShutDown); }, nullptr},
  };
  return table;
}
// clang-format on

const OptionRow* FindRow(const std::string& name) {
  for (const OptionRow& row : OptionTable())
    if (name == row.name) return &row;
  return nullptr;
}

// The list index a value stands for (0 for an option without a list); -1 for a word not
// listed.
int ChoiceIndex(const OptionRow& row, const std::string& value) {
  if (row.choices.empty()) return 0;
  for (const OptionChoice& choice : row.choices)
    if (value == choice.word) return choice.index;
  return -1;
}

std::string ValueError(const OptionRow& row, const std::string& value) {
  if (!row.choices.empty()) {
    if (ChoiceIndex(row, value) >= 0) return "";
    std::string why = std::string(row.name) + " " + value + ": choose one of " + row.valueName;
    return why;
  }
  if (!row.check) return "";
  const std::string why = row.check(value);
  return why.empty() ? "" : std::string(row.name) + " " + value + ": " + why;
}

// Takes one option at args[i] (and its value); advances i. Sets cmd.error when wrong.
void TakeOption(CommandLine& cmd, const std::vector<std::string>& args, size_t& i) {
  const std::string& arg = args[i];
  if (arg == "--help" || arg == "-h") {
    cmd.help = true;
    return;
  }
  if (arg == "--version") {
    cmd.version = true;
    return;
  }
  if (arg == "--save") {
    cmd.save = true;
    return;
  }
  if (arg == "--verbose") {
    cmd.verbose = true;
    return;
  }
  if (arg == "--avi-folder") {
    if (i + 1 >= args.size()) {
      cmd.error = "--avi-folder needs a folder";
      return;
    }
    cmd.aviFolder = args[++i];
    const std::string why = CheckFolder(cmd.aviFolder);
    if (!why.empty()) cmd.error = "--avi-folder " + cmd.aviFolder + ": " + why;
    return;
  }
  const OptionRow* row = FindRow(arg);
  if (!row) {
    cmd.error = "unknown option " + arg + " (a name starting with '-' goes after --)";
    return;
  }
  std::string value;
  if (*row->valueName) {
    if (i + 1 >= args.size()) {
      cmd.error = std::string(row->name) + " needs a value: " + row->valueName;
      return;
    }
    value = args[++i];
    cmd.error = ValueError(*row, value);
    if (!cmd.error.empty()) return;
  }
  for (const GivenOption& given : cmd.options) {
    if (given.row == row) {
      cmd.error = std::string(row->name) + " is given twice";
      return;
    }
    if (row->exclusiveGroup != 0 && given.row->exclusiveGroup == row->exclusiveGroup) {
      cmd.error = std::string(row->name) + " and " + given.row->name + " exclude each other";
      return;
    }
  }
  cmd.options.push_back({row, value});
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

std::string WithoutQuotes(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
  return text;
}

// A name is taken as given; one that names nothing may be the same name in quotes. A
// list of names that each name nothing may be one name with blanks.
std::vector<std::string> SourceNames(const std::vector<std::string>& given) {
  std::vector<std::string> names;
  bool allFound = true;
  for (const std::string& name : given) {
    const std::string unquoted = WithoutQuotes(name);
    names.push_back(!Exists(name) && Exists(unquoted) ? unquoted : name);
    allFound = allFound && Exists(names.back());
  }
  if (allFound || given.size() < 2) return names;
  std::string joined;
  for (const std::string& name : given) joined += (joined.empty() ? "" : " ") + name;
  if (Exists(joined)) return {joined};
  if (Exists(WithoutQuotes(joined))) return {WithoutQuotes(joined)};
  return names;
}

std::string CheckSources(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (!Exists(name)) return name + ": no such file or folder";
  }
  return "";
}

// A name like an option that is none but names a file or folder: "quillet -o.mkv" has
// always converted that film.
bool NamesASourceOnly(const std::string& arg) {
  const bool known = FindRow(arg) || arg == "--help" || arg == "-h" || arg == "--version" ||
                     arg == "--save" || arg == "--verbose" || arg == "--avi-folder";
  return !known && Exists(arg);
}

const char* ShortName(const GivenOption& option) {
  return option.row->name;
}

}  // namespace

int CommandLine::AudioTrack() const {
  for (const GivenOption& option : options)
    if (std::string(option.row->name) == "--audio") return std::stoi(option.value);
  return 0;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cmd;
  std::vector<std::string> given;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size() && cmd.error.empty(); ++i) {
    const std::string& arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-' && !NamesASourceOnly(arg)) {
      TakeOption(cmd, args, i);
    } else {
      given.push_back(arg);
    }
  }
  if (!cmd.error.empty() || cmd.help || cmd.version) return cmd;
  cmd.sources = SourceNames(given);
  cmd.error = CheckSources(cmd.sources);
  if (cmd.error.empty() && cmd.Empty() && !cmd.options.empty())
    cmd.error = "no file or folder to convert";
  std::stable_sort(
      cmd.options.begin(), cmd.options.end(),
      [](const GivenOption& a, const GivenOption& b) { return a.row->phase < b.row->phase; });
  return cmd;
}

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return ParseCommandLine(args);
}

std::optional<std::string> ApplyOptions(App& app, const CommandLine& commandLine) {
  Form1& f = app.form;
  const bool outputChosen =
      std::any_of(commandLine.options.begin(), commandLine.options.end(),
                  [](const GivenOption& o) { return o.row->exclusiveGroup == kOutputKind; });
  bool outputCleared = false;
  for (const GivenOption& option : commandLine.options) {
    const OptionRow& row = *option.row;
    if (row.phase == Phase::kEachSource) continue;
    if (outputChosen && !outputCleared && row.phase >= Phase::kClearOutput) {
      // A user unticks the stored output kind before ticking another.
      ClearOutputKind(f);
      outputCleared = true;
    }
    const Control* control = row.control ? row.control(f) : nullptr;
    if (control && (!control->Enabled || !control->Visible))
      return std::string(row.name) + ": the window does not offer \"" + control->Caption +
             "\" with the options in force (settings file and command line)";
    row.apply(app, option.value, ChoiceIndex(row, option.value));
  }
  for (const GivenOption& option : commandLine.options) {
    const OptionRow& row = *option.row;
    if (row.phase != Phase::kEachSource && row.holds &&
        !row.holds(f, ChoiceIndex(row, option.value)))
      return std::string(ShortName(option)) +
             ": the window's rules undo it together with the other options given";
  }
  return std::nullopt;
}

bool ApplySourceOptions(App& app, const CommandLine& commandLine) {
  for (const GivenOption& option : commandLine.options) {
    const OptionRow& row = *option.row;
    if (row.phase == Phase::kEachSource && row.apply) row.apply(app, option.value, 0);
  }
  const int track = commandLine.AudioTrack();
  return track == 0 || ApplyAudioChoice(app, track);
}

bool ApplyAudioChoice(App& app, int track) {
  ComboBox& list = app.form.cmbAudio;
  if (track < 1 || track > static_cast<int>(list.Items.size())) return false;
  if (list.ListIndex == track - 1) {
    cmbAudio_Click(app);  // a click on the chosen row runs its rule again
    return true;
  }
  return list.SetListIndex(track - 1);
}

std::string VersionText() {
  return std::string("quillet ") + QUILLET_VERSION;
}

std::string UsageLine() {
  return "usage: quillet [OPTION]... [--] FILE.mkv|FILE.avi|FILE.wmv|FOLDER...  "
         "(quillet --help lists the options)";
}

std::string HelpText() {
  std::string text = UsageLine() + "\n" +
                     "       quillet [OPTION]... --avi-folder DIR\n"
                     "       " +
                     std::string(kCheckUsage).substr(7) +
                     "\n\n"
                     "Converts the files named, in order, with the options of the settings file\n"
                     "(Quillet.conf) and the options below, then ends. A folder converts its MKV\n"
                     "files; --avi-folder DIR checks its AVI files and repairs those the players\n"
                     "cannot play into the output folder. Without a display the window stays\n"
                     "hidden. Exit status: 0 when every conversion succeeded, 1 otherwise, 2 for\n"
                     "a wrong argument.\n\nOptions:\n";
  auto line = [&text](const std::string& name, const std::string& help) {
    text += "  " + name + std::string(name.size() < 34 ? 34 - name.size() : 1, ' ') + help + "\n";
  };
  for (const OptionRow& row : OptionTable())
    line(std::string(row.name) + (*row.valueName ? " " + std::string(row.valueName) : ""),
         row.help);
  line("--avi-folder DIR", "check and repair the AVI files of a folder");
  line("--save", "write the options given into the settings file");
  line("--verbose", "show what the tools print instead of keeping it in tools.log");
  line("--check ...", "report what each film needs on each player, convert nothing");
  line("--help", "this text");
  line("--version", "the program's version");
  line("--", "ends the options: what follows is a file or folder");
  return text;
}

}  // namespace quillet
