#include "tests/support/RecodeScaffold.h"

#include <filesystem>

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

bool Holds(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
}

std::string After(const std::string& line, const std::string& command) {
  return line.rfind(command, 0) == 0 ? line.substr(command.size()) : "";
}

// The AVI muxer: every LOAD must name a file that holds data; START names the result.
std::string FakeAviMuxer(const Argv& argv, std::string* seen) {
  if (argv.size() != 2) return "";
  *seen = ReadFile(argv[1]);
  std::string output;
  for (const std::string& line : CrLfLines(*seen)) {
    const std::string loaded = After(line, "LOAD ");
    if (!loaded.empty() && !Holds(loaded)) return "";
    if (!After(line, "START ").empty()) output = After(line, "START ");
  }
  if (!output.empty()) WriteFile(output, "avi of " + *seen);
  return "";
}

// The Matroska muxer: "-o COPY ... -S SOURCE -s 0 -D -A SUBTITLE" writes the copy when
// the source and the subtitle file can be read.
std::string FakeMkvMerge(const Argv& argv, std::vector<std::string>* written) {
  std::string output;
  std::vector<std::string> inputs;
  for (size_t i = 1; i < argv.size(); ++i) {
    if (argv[i] == "-o" && i + 1 < argv.size()) {
      output = argv[++i];
    } else if ((argv[i] == "-d" || argv[i] == "-a" || argv[i] == "-s") && i + 1 < argv.size()) {
      ++i;
    } else if (!argv[i].empty() && argv[i][0] != '-') {
      inputs.push_back(argv[i]);
    }
  }
  if (output.empty() || inputs.size() != 2) return "";
  for (const std::string& input : inputs)
    if (!Holds(input)) return "";
  WriteFile(output, "copy of " + inputs[0] + " with " + inputs[1]);
  written->push_back(output);
  return "";
}

}  // namespace

void RecodeScaffold::ReadyRecode(AudioType audio) {
  ReadyTs(audio);
  WriteTemplate(kTemplateLines);
  runner.On("avimux_gui.exe", [this](const Argv& a) { return FakeAviMuxer(a, &muxedScript); });
  runner.On("mkvmerge.exe", [this](const Argv& a) { return FakeMkvMerge(a, &remuxed); });
  // The AC3 decoder writes its WAV whatever the speaker layout.
  runner.On("valdec.exe", [](const Argv& a) {
    for (size_t i = 1; i + 1 < a.size(); ++i)
      if (a[i] == "-wav" && Holds(a[1])) WriteFile(a[i + 1], "wav of " + a[1]);
    return std::string();
  });
}

void RecodeScaffold::WriteTemplate(const std::vector<std::string>& lines,
                                   const std::string& lineEnd) {
  std::string text;
  for (const std::string& line : lines) text += line + lineEnd;
  WriteFile(TemplatePath(), text);
}

std::string RecodeScaffold::TemplatePath() const {
  return (programDir.path() / "avimux" / "quillet.amg").string();
}

void RecodeScaffold::Xvid() {
  form().chkMP2.SetValue(1);
  form().cmdConv.SetListIndex(2);
}

void RecodeScaffold::Mpeg2() {
  form().chkMP2.SetValue(1);
  form().cmdConv.SetListIndex(0);
}

void RecodeScaffold::ChooseSourceSubtitle(int index) {
  app.report.strSubTracks.Add({"eng", "srt", "3"});
  app.report.strSubTracks.Add({"fre", "ASS", "4"});
  form().cmbSubs.Items = {"eng", "fre"};
  form().cmbSubs.SetListIndex(index);
  form().chkSubs.SetValue(1);
}

}  // namespace quillet::test
