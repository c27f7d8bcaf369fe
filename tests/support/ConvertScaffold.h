#pragma once
// A TestApp set up to convert "Film.mkv" (in its own folder) with every tool of the roads
// scripted to leave what the real tool would, and expected command lines spelled with
// placeholders.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/TestApp.h"

namespace quillet::test {

// clang-format off
// A PS3 (5.1) run of the MP4 road on an AC3 source at 23.976 fps, and the tools of the
// transport-stream outputs, in the placeholders of ConvertScaffold::X.
inline const std::string kExtractVideo = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.h264")";
inline const std::string kWavGrab = R"("{app}/TS/wavgrab.exe" "{src}" "{out}movie.wav")";
inline const std::string kAacFromWav51 = R"("{app}/FFMpeg/FFmpeg.exe" -f wav -i "{out}movie.wav" -acodec libfaac -ab 224kb "{out}movie.aac")";
inline const std::string kAacFromWavStereo = R"("{app}/FFMpeg/FFmpeg.exe" -f wav -i "{out}movie.wav" -acodec libfaac -ac 2 -ab 224kb "{out}movie.aac")";
inline const std::string kMp4Box = R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976" "{out}Film.mp4"  -tmp "{tmp}")";
inline const std::string kHeaderTool = R"("{app}/h264info/h264info.exe")";
inline const std::string kAc3At640 = R"("{app}/aften/aften.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")";
inline const std::string kAc3AtDefault = R"("{app}/aften/aften.exe" "{out}movie.wav" "{out}movie.ac3")";
inline const std::string kNormalize = R"("{app}/Sounds/normalize.exe" "{out}movie.wav")";
inline const std::string kMuxM2ts = R"("{app}/TS/tsmuxer.exe" "{out}movie.meta" "{out}Film.m2ts")";
inline const std::string kAuthorAvchd = R"("{app}/TS/tsmuxer.exe" "{out}movie.meta" "{out}Film")";
// clang-format on

// A file that holds something; the names in a folder, sorted.
bool Holds(const std::string& path);
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

// Names a table's test after its row: INSTANTIATE_TEST_SUITE_P(R, T, ValuesIn(k), RowName()).
struct RowName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
    return info.param.name;
  }
};

struct ConvertScaffold;
using Setup = std::function<void(ConvertScaffold&)>;

// The options of a row's run.
enum Option : int {
  kXbox = 1,
  kStereo = 2,  // the target; PS3 (5.1) without either
  kVob = 4,
  kAvchd = 8,  // the output; MP4 without either
  kFF = 16,
  kNorm = 32,
  k25 = 64,
  kWhole = 128,  // "Fast Mux", normalise, 25 fps, no split
  kH264 = 256,
  kXvid = 512,
  kMpeg2 = 1024,
  kHq = 2048,  // "MPEG2 Recode" to this format
  kVfw = 4096,
  kPar = 8192,
  kVc1 = 16384,  // the source's video as inspected
};
// A row's setup: a source of `bytes` with one `audio` track as inspected, the options set,
// then `more`.
Setup Opts(AudioType audio, int options = 0, Setup more = nullptr, int64_t bytes = 1000);

// The picture as inspected.
Setup Picture(int width, int height);

// One row of a table: what it sets up before "Convert", and what the run must show.
struct Scenario {
  const char* name;
  Setup setup;
  std::vector<std::string> commands;    // every command line; none: not compared
  std::vector<std::string> boxes = {};  // as Boxes() gives them; none when the run is done
  // The output folder afterwards: "NAME" (not "earlier"), or "NAME:CONTENT".
  std::vector<std::string> left = {};
  std::vector<std::string> meta = {};  // the muxer's job file, when one is written
  bool warned = false;                 // the boxes are warnings: the run is done
};
inline void PrintTo(const Scenario& row, std::ostream* os) {
  *os << row.name;
}
inline const std::string kNoTool = "(no tool runs)";  // the only line of `commands`

struct ConvertScaffold : TestApp {
  ConvertScaffold();  // a PS3 (5.1) MP4 conversion at Low priority, every tool scripted

  TempFolder sourceDir{"quillet-source"};
  std::string source;                  // full path of the source
  std::string muxedMeta, muxedScript;  // the job file and the AVI script as last read

  // Replaces {app} (program folder), {out} (output folder with its separator), {tmp}
  // (output folder without it), {src} (source path), {srcdir} (its folder), {pid}.
  std::string X(const std::string& text) const;
  std::vector<std::string> X(const std::vector<std::string>& texts) const;
  std::string Out(const std::string& name) const { return outputDir.withSep() + name; }
  bool OutputHas(const std::string& name) const {
    return std::filesystem::exists(outputDir.path() / name);
  }
  std::vector<std::string> OutputNames() const { return FolderNames(outputDir.path()); }
  std::vector<std::string> Boxes() const {  // each "TITLE (STYLE): TEXT"
    std::vector<std::string> boxes;
    for (const ShownBox& b : ui.boxes)
      boxes.push_back(b.title + " (" + std::to_string(b.style) + "): " + b.text);
    return boxes;
  }

  // The source file with the given size (sparse), also named in txtFile.
  void MakeSource(int64_t bytes = 1000);
  // As inspected: H.264 track 1, `audio` track 2, 23.976 fps, 1920x1080, 5400 s.
  void Inspected(AudioType audio);
  void Ready(AudioType audio = kAudioAC3, int64_t bytes = 1000) {  // both
    MakeSource(bytes);
    Inspected(audio);
  }
  // The inspected picture: 1440x1080 shown 1920 wide.
  void Anamorphic();
  // Subtitle tracks "eng" srt 3 and "fre" ASS 4 in the list, one chosen, "Embed subs".
  void ChooseSubtitle(int index);
  void Recode(int format) {  // "MPEG2 Recode" to 0 MPEG2, 1 H264, 2 Xvid, 3 H264 (HQ)
    form().chkMP2.SetValue(1);
    form().cmdConv.SetListIndex(format);
  }
  // A tool slot file in the program folder (e.g. "neroAacEnc.exe").
  void MakeTool(const std::string& relative) { WriteFile(programDir.path() / relative, "tool"); }
  void LeavesNothing(const std::string& tool) {  // the tool runs and leaves nothing
    runner.On(tool, [](const std::vector<std::string>&) { return std::string(); });
  }
  void Convert();                   // presses "Convert"
  void Check(const Scenario& row);  // sets the row up, converts, checks
  std::vector<std::string> Commands() const { return runner.CommandLines(); }
};

}  // namespace quillet::test
