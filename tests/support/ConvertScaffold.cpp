#include "tests/support/ConvertScaffold.h"

#include <unistd.h>

#include <fstream>

#include "convert/Convert.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

std::string ReplaceAllText(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

// The value after an option ("-o", "-of", ...), or "" when the option is missing.
std::string After(const Argv& argv, const std::string& option) {
  for (size_t i = 1; i + 1 < argv.size(); ++i)
    if (argv[i] == option) return argv[i + 1];
  return "";
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
}

void Append(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

// Writes `output` from `input` as a converting tool does: only when the input exists.
std::string Transcode(const std::string& input, const std::string& output, const std::string& tag) {
  if (!input.empty() && !output.empty() && Exists(input)) WriteFile(output, tag + " of " + input);
  return "";
}

// "movie.h264:fps=23.976:par=..." names the file "movie.h264".
std::string Mp4BoxInput(const std::string& arg) {
  const size_t name = arg.rfind('/');
  const size_t colon = arg.find(':', name == std::string::npos ? 0 : name);
  return colon == std::string::npos ? arg : arg.substr(0, colon);
}

// MP4Box: "-aviraw video X.avi" writes X_video.h264; otherwise every "-add" input must
// exist, and each adds a track to the result (a new file, or the existing one).
std::string FakeMp4Box(const Argv& argv) {
  const std::string avi = After(argv, "-aviraw") == "video" && argv.size() > 3 ? argv[3] : "";
  if (!avi.empty()) return Transcode(avi, avi.substr(0, avi.size() - 4) + "_video.h264", "raw");
  std::vector<std::string> inputs;
  std::string output;
  for (size_t i = 1; i < argv.size(); ++i) {
    const bool hasValue = argv[i] == "-add" || argv[i] == "-fps" || argv[i] == "-tmp";
    if (hasValue && i + 1 < argv.size()) {
      if (argv[i] == "-add") inputs.push_back(Mp4BoxInput(argv[i + 1]));
      ++i;
    } else if (!argv[i].empty() && argv[i][0] != '-') {
      output = argv[i];
    }
  }
  if (inputs.empty() || output.empty()) return "";
  for (const std::string& input : inputs)
    if (!Exists(input)) return "";
  for (const std::string& input : inputs) Append(output, "[track " + input + "]");
  return "";
}

// mp4creator: "-create=X" adds X as a track of the last argument.
std::string FakeMp4Creator(const Argv& argv) {
  std::string input, output;
  for (size_t i = 1; i < argv.size(); ++i) {
    if (argv[i].rfind("-create=", 0) == 0)
      input = argv[i].substr(8);
    else if (!argv[i].empty() && argv[i][0] != '-' && argv[i][0] != ':')
      output = argv[i];
  }
  if (Exists(input) && !output.empty()) Append(output, "[track " + input + "]");
  return "";
}

// mkvextract tracks SOURCE ID:FILE...
std::string FakeMkvExtract(const Argv& argv) {
  if (argv.size() < 3 || !Exists(argv[2])) return "";
  for (size_t i = 3; i < argv.size(); ++i) {
    const size_t colon = argv[i].find(':');
    if (colon != std::string::npos)
      WriteFile(argv[i].substr(colon + 1), "track " + argv[i].substr(0, colon) + " of " + argv[2]);
  }
  return "";
}

std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

ConvertScaffold::ConvertScaffold() {
  source = (sourceDir.path() / "Film.mkv").string();
  form().strType = "mkv";
  form().cmbPlatform.SetListIndex(0);
  form().cmdConv.SetListIndex(1);
  form().cmbPrio.SetListIndex(0);
}

std::string ConvertScaffold::X(const std::string& text) const {
  std::string out = ReplaceAllText(text, "{app}", programDir.str());
  out = ReplaceAllText(out, "{out}", outputDir.withSep());
  out = ReplaceAllText(out, "{tmp}", outputDir.str());
  out = ReplaceAllText(out, "{pid}", std::to_string(getpid()));
  return ReplaceAllText(out, "{src}", source);
}

std::vector<std::string> ConvertScaffold::X(const std::vector<std::string>& texts) const {
  std::vector<std::string> out;
  for (const std::string& text : texts) out.push_back(X(text));
  return out;
}

bool ConvertScaffold::OutputHas(const std::string& name) const {
  return fs::exists(outputDir.path() / name);
}

void ConvertScaffold::MakeSource(int64_t bytes) {
  WriteFile(source, "mkv");
  fs::resize_file(source, static_cast<uintmax_t>(bytes));
  form().txtFile.Text = source;
  form().strFullname = source;
}

void ConvertScaffold::Inspected(AudioType audio) {
  TrackReport& r = app.report;
  r.strVideoCodec = "avc";
  r.lngDuration = 5400;
  r.intPixelWidth = 1920;
  r.intPixelHeight = 1080;
  r.strAudioTracks.Add({"eng", std::to_string(audio), "2"});
  form().txtS1.Text = "1";
  form().txtS2.Text = "2";
  form().txtSFPS.Text = "23.976";
  form().SelectOption1(audio);
}

void ConvertScaffold::Anamorphic() {
  app.report.intPixelWidth = 1440;
  app.report.strPar = ":par=1920:1440";
  app.report.strQTSize = " -qtw=1920 -qth=1080";
}

void ConvertScaffold::Ready(AudioType audio) {
  MakeSource();
  Inspected(audio);
  ScriptStandardTools();
}

void ConvertScaffold::MakeTool(const std::string& relative) {
  WriteFile(programDir.path() / relative, "tool");
}

void ConvertScaffold::ScriptStandardTools() {
  runner.On("mkvextract.exe", FakeMkvExtract);
  runner.On("MP4Box.exe", FakeMp4Box);
  runner.On("mp4creator.exe", FakeMp4Creator);
  runner.On("wavgrab.exe", [](const Argv& a) {
    return Transcode(a.size() > 2 ? a[1] : "", a.size() > 2 ? a[2] : "", "wav");
  });
  runner.On("FFmpeg.exe",
            [](const Argv& a) { return Transcode(TrimRight(After(a, "-i")), a.back(), "ffmpeg"); });
  runner.On("faad.exe",
            [](const Argv& a) { return Transcode(After(a, "-d"), After(a, "-o"), "faad"); });
  runner.On("valdec.exe", [](const Argv& a) {
    return Transcode(a.size() > 1 ? a[1] : "", After(a, "-wav"), "valdec");
  });
  runner.On("normalize.exe", [](const Argv&) { return std::string(); });
  runner.On("soundstretch.exe", [](const Argv& a) {
    return Transcode(a.size() > 2 ? a[1] : "", a.size() > 2 ? a[2] : "", "stretch");
  });
  runner.On("BeSweet.exe", [](const Argv& a) {
    return Transcode(After(a, "-input"), After(a, "-output"), "besweet");
  });
  for (const char* nero : {"neroAacEnc_SSE2.exe", "neroAacEnc.exe", "neroAacEnc_SSE.exe"})
    runner.On(nero,
              [](const Argv& a) { return Transcode(After(a, "-if"), After(a, "-of"), "nero"); });
  runner.On("Mencoder.exe", [](const Argv& a) {
    for (const std::string& arg : a)  // the source is the one Matroska file named
      if (arg.size() > 4 && arg.substr(arg.size() - 4) == ".mkv")
        return Transcode(arg, After(a, "-o"), "x264");
    return std::string();
  });
}

void ConvertScaffold::LeavesNothing(const std::string& tool) {
  runner.On(tool, [](const Argv&) { return std::string(); });
}

void ConvertScaffold::Convert() {
  Command2_Click(app);
}

}  // namespace quillet::test
