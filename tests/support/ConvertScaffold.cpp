#include "tests/support/ConvertScaffold.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "app/StepProgress.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

void Append(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

// The argument `pick` names: "-o" the one after that option, "<-o" the one before it,
// "*.mkv" the first that ends so, "2" or "-1" the one at that place (from the end).
std::string Arg(const Argv& a, const std::string& pick) {
  const auto at = [&a](long i) { return i > 0 && i < long(a.size()) ? a[i] : std::string(); };
  if (pick[0] == '*') {
    for (const std::string& arg : a)
      if (arg.size() > 4 && arg.ends_with(pick.substr(1))) return arg;
    return "";
  }
  if (std::isdigit(static_cast<unsigned char>(pick.back()))) {
    const long i = std::stol(pick);
    return at(i < 0 ? long(a.size()) + i : i);
  }
  const bool before = pick[0] == '<';
  const auto option = std::find(a.begin() + 1, a.end(), pick.substr(before ? 1 : 0));
  return option == a.end() ? "" : at(option - a.begin() + (before ? -1 : 1));
}

// A converting tool: writes the `out` argument when the `in` one holds data.
FakeToolRunner::Action Converts(const std::string& in, const std::string& out) {
  return [in, out](const Argv& a) {
    std::string input = Arg(a, in);
    while (input.ends_with(' ')) input.pop_back();
    if (Holds(input) && !Arg(a, out).empty()) WriteFile(Arg(a, out), "data of " + input);
    return std::string();
  };
}

// mkvextract tracks SOURCE ID:FILE...
std::string MkvExtract(const Argv& a) {
  for (size_t i = 3; i < a.size() && Holds(a[2]); ++i)
    if (const size_t colon = a[i].find(':'); colon != std::string::npos)
      WriteFile(a[i].substr(colon + 1), "track " + a[i].substr(0, colon) + " of " + a[2]);
  return "";
}

// MP4Box: "-aviraw video X.avi" writes X_video.h264; otherwise every "-add" file (up to
// its ":fps=...") must hold data, and each is added as a track to the one result named.
std::string Mp4Box(const Argv& a) {
  if (a.size() == 4 && a[1] == "-aviraw") {
    if (Holds(a[3])) WriteFile(a[3].substr(0, a[3].size() - 4) + "_video.h264", "raw");
    return "";
  }
  std::vector<std::string> tracks;
  std::string result;
  for (size_t i = 1; i < a.size(); ++i) {
    if (a[i] == "-add" || a[i] == "-fps" || a[i] == "-tmp") {
      if (a[i] == "-add" && i + 1 < a.size())
        tracks.push_back(a[i + 1].substr(0, a[i + 1].find(':', a[i + 1].rfind('/'))));
      ++i;
    } else if (!a[i].empty() && a[i][0] != '-') {
      result = a[i];
    }
  }
  if (tracks.empty() || !std::all_of(tracks.begin(), tracks.end(), Holds)) return "";
  for (const std::string& track : tracks) Append(result, "[track " + track + "]");
  return "";
}

// mp4creator: "-create=X" adds X as a track of the last argument.
std::string Mp4Creator(const Argv& a) {
  for (const std::string& arg : a)
    if (arg.starts_with("-create=") && Holds(arg.substr(8)))
      Append(a.back(), "[track " + arg.substr(8) + "]");
  return "";
}

// The transport-stream muxer reads every quoted file of the job file; it writes the
// stream, or with "--blu-ray" the folder tree of one clip.
std::string TsMuxer(const Argv& a, std::string* seen) {
  *seen = ReadFile(a.at(1));
  const std::vector<std::string> lines = CrLfLines(*seen);
  for (size_t i = 1; i < lines.size(); ++i) {
    const size_t open = lines[i].find('"');
    if (!Holds(lines[i].substr(open + 1, lines[i].find('"', open + 1) - open - 1))) return "";
  }
  if (lines.size() < 3) return "";
  if (lines[0].find("--blu-ray") == std::string::npos) {
    WriteFile(a.at(2), "ts of " + *seen);
  } else {
    WriteFile(fs::path(a[2]) / "BDMV" / "index.bdmv", "INDX0200");
    WriteFile(fs::path(a[2]) / "BDMV" / "STREAM" / "00000.m2ts", "clip of " + *seen);
  }
  return "";
}

// The header tool reads both paths from the ini file beside it.
std::string HeaderTool(const Argv& a) {
  const std::string ini = ReadFile(fs::path(a[0]).parent_path() / "h264info.ini");
  const auto value = [&ini](const std::string& key) {
    const size_t at = ini.find(key), end = ini.find('\r', at);
    return at == std::string::npos ? "" : ini.substr(at + key.size(), end - at - key.size());
  };
  if (Holds(value("InputPath="))) WriteFile(value("OutputPath="), "level 4.1");
  return "";
}

// The AVI muxer: every LOAD must name a file that holds data; START names the result.
std::string AviMuxer(const Argv& a, std::string* seen) {
  *seen = ReadFile(a.at(1));
  std::string result;
  for (const std::string& line : CrLfLines(*seen)) {
    if (line.starts_with("LOAD ") && !Holds(line.substr(5))) return "";
    if (line.starts_with("START ")) result = line.substr(6);
  }
  if (!result.empty()) WriteFile(result, "avi of " + *seen);
  return "";
}

// The Matroska muxer's subtitle copy: "-o COPY ... SOURCE ... SUBTITLE" writes the copy
// when both files named hold data.
std::string MkvMerge(const Argv& a) {
  std::vector<std::string> inputs;
  for (size_t i = 1; i < a.size(); ++i)
    if (a[i] == "-o" || a[i] == "-d" || a[i] == "-a" || a[i] == "-s")
      ++i;
    else if (!a[i].empty() && a[i][0] != '-')
      inputs.push_back(a[i]);
  if (inputs.size() == 2 && Holds(inputs[0]) && Holds(inputs[1]) && !Arg(a, "-o").empty())
    WriteFile(Arg(a, "-o"), "copy of " + inputs[0] + " with " + inputs[1]);
  return "";
}

// The first kilobytes of a file: a large source is sparse and need not be read whole.
std::string Head(const std::string& path) {
  std::string head(4096, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

// ffprobe's JSON answer: a file that holds data is a film with picture and sound of
// 5400 s, or of the "seconds=N" it holds, with subtitles when a text track went into it;
// a missing or empty file is none.
std::string Ffprobe(const Argv& a) {
  if (!Holds(a.back())) return "";
  const std::string head = Head(a.back());
  const size_t given = head.find("seconds=");
  const std::string length = given == std::string::npos ? "5400" : head.substr(given + 8);
  const std::string s = R"({"codec_type":"subtitle"},)";
  return R"({"format":{"duration":")" + length + R"("},"streams":[)" +
         std::string(head.find("S_TEXT") != std::string::npos ? s : "") +
         R"({"codec_type":"video"},{"codec_type":"audio"}]})";
}

}  // namespace

bool Holds(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0;
}

std::vector<std::string> FolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Setup Opts(AudioType audio, int o, Setup more, int64_t bytes) {
  return [=](ConvertScaffold& s) {
    s.Ready(audio, bytes);
    Form1& f = s.form();
    f.cmbPlatform.SetListIndex(o & kXbox ? 1 : o & kStereo ? 2 : 0);
    f.chkVob.SetValue(o & kVob ? 1 : 0);
    f.chkAVCHD.SetValue(o & kAvchd ? 1 : 0);
    f.chkFF.SetValue(o & kFF ? 1 : 0);
    f.chkNorm.SetValue(o & kNorm ? 1 : 0);
    f.chk25.SetValue(o & k25 ? 1 : 0);
    f.Check1.SetValue(o & kWhole ? 0 : 1);
    if (o & kH264) s.Recode(1);
    s.app.report.bVFW = o & kVfw;
    if (o & kPar) {  // 1440x1080 shown 1920 wide
      s.app.report.intPixelWidth = 1440;
      s.app.report.strPar = ":par=1920:1440";
      s.app.report.strQTSize = " -qtw=1920 -qth=1080";
    }
    if (o & kVc1) s.app.report.strVideoCodec = "vc1";
    if (more) more(s);
  };
}

std::string H264(const std::string& bitrate, const std::string& rest, const std::string& sid,
                 const std::string& subtitles, const std::string& fps, const std::string& input) {
  return kEncoder + subtitles +
         R"( -nosound -noskip -mc 0 -of rawvideo -o "{out}movie.h264" -ovc x264 -x264encopts bitrate=)" +
         bitrate + " -ofps " + fps + " " + rest + " \"" + input + "\" -mc 0 -noskip -sid " + sid;
}

std::string Valdec(const std::string& ext, const std::string& speakers) {
  return R"("{app}/ac3filter/valdec.exe" "{out}movie.)" + ext + R"(" -wav "{out}movie.wav" -spk:)" +
         speakers + " -fmt:0";
}

Setup Picture(int width, int height) {
  return [=](ConvertScaffold& s) {
    s.app.report.intPixelWidth = static_cast<int16_t>(width);
    s.app.report.intPixelHeight = static_cast<int16_t>(height);
  };
}

ConvertScaffold::ConvertScaffold() {
  source = (sourceDir.path() / "Film.mkv").string();
  form().strType = "mkv";
  form().cmbPlatform.SetListIndex(0);
  form().cmdConv.SetListIndex(1);
  form().cmbPrio.SetListIndex(0);
  MakeTool("h264info/h264info.exe");  // the header tool's settings file lives beside it
  // clang-format off
  for (const auto& [tool, in, out] : std::vector<std::array<const char*, 3>>{
           {"wavgrab.exe", "1", "2"}, {"FFmpeg.exe", "-i", "-1"}, {"faad.exe", "<-o", "-o"},
           {"valdec.exe", "1", "-wav"}, {"soundstretch.exe", "1", "2"}, {"BeSweet.exe", "-input", "-output"},
           {"neroAacEnc_SSE2.exe", "-if", "-of"}, {"neroAacEnc.exe", "-if", "-of"}, {"neroAacEnc_SSE.exe", "-if", "-of"},
           {"Mencoder.exe", "*.mkv", "-o"}, {"aften.exe", "1", "-1"}, {"asf2vc1.exe", "1", "2"}, {"EncWAVtoAC3.exe", "1", "-1"}})
    runner.On(tool, Converts(in, out));
  // clang-format on
  LeavesNothing("normalize.exe");
  runner.On("mkvextract.exe", MkvExtract);
  runner.On("MP4Box.exe", Mp4Box);
  runner.On("mp4creator.exe", Mp4Creator);
  runner.On("h264info.exe", HeaderTool);
  runner.On("mkvmerge.exe", MkvMerge);
  runner.On("ffprobe", Ffprobe);
  runner.On("tsmuxer.exe", [this](const Argv& a) { return TsMuxer(a, &muxedMeta); });
  runner.On("avimux_gui.exe", [this](const Argv& a) { return AviMuxer(a, &muxedMeta); });
}

std::string ConvertScaffold::X(const std::string& text) const {
  std::string out = Replaced(text, "{app}", programDir.str());
  out = Replaced(Replaced(out, "{out}", outputDir.withSep()), "{tmp}", outputDir.str());
  out = Replaced(Replaced(out, "{srcdir}", sourceDir.str()), "{src}", source);
  return Replaced(out, "{pid}", std::to_string(getpid()));
}

std::vector<std::string> ConvertScaffold::X(const std::vector<std::string>& texts) const {
  std::vector<std::string> out;
  for (const std::string& text : texts) out.push_back(X(text));
  return out;
}

void ConvertScaffold::MakeSource(int64_t bytes) {
  WriteFile(source, "mkv");
  fs::resize_file(source, static_cast<uintmax_t>(bytes));
  form().txtFile.Text = form().strFullname = source;
}

void ConvertScaffold::Ready(AudioType audio, int64_t bytes) {
  MakeSource(bytes);
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

void ConvertScaffold::ChooseSubtitle(int index) {
  app.report.strSubTracks.Add({"eng", "srt", "3"});
  app.report.strSubTracks.Add({"fre", "ASS", "4"});
  form().cmbSubs.Items = {"eng", "fre"};
  form().cmbSubs.SetListIndex(index);
  form().chkSubs.SetValue(1);
}

bool ConvertScaffold::Logged(const std::string& part) const {
  const Argv log = DebugLogLines();
  return std::any_of(log.begin(), log.end(),
                     [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

void ConvertScaffold::RecordShown() {
  ui.onRepaint = [this] {
    for (const std::string& now :
         {form().lblMulti.Visible ? form().lblMulti.Caption : "", OverallPosition(form().progress)})
      if (!now.empty() && std::find(shown.begin(), shown.end(), now) == shown.end())
        shown.push_back(now);
  };
}

void ConvertScaffold::Check(const Scenario& row) {
  row.setup(*this);
  Convert();
  if (!row.commands.empty()) {
    EXPECT_EQ(Commands(), row.commands[0] == kNoTool ? Argv{} : X(row.commands));
  }
  if (!row.meta.empty()) {
    EXPECT_EQ(CrLfLines(muxedMeta), X(row.meta));
  }
  EXPECT_EQ(Boxes(), X(row.boxes));
  const bool done = row.boxes.empty() || row.warned;
  EXPECT_EQ(form().txtProgress.Text.starts_with("Conversion done"), done)
      << form().txtProgress.Text;
  EXPECT_EQ(app.conversionsSucceeded, done ? app.conversionsStarted : 0);
  Argv names;
  for (const std::string& entry : row.left) {
    const size_t colon = entry.find(':');
    names.push_back(entry.substr(0, colon));
    const std::string content = ReadFile(Out(names.back()));
    EXPECT_TRUE(colon == std::string::npos ? content != "earlier"
                                           : content == X(entry.substr(colon + 1)))
        << entry << " holds " << content;
  }
  EXPECT_EQ(OutputNames(), names);
}

}  // namespace quillet::test
