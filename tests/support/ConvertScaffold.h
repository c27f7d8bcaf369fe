#pragma once
// A TestApp set up to convert "Film.mkv" (in its own folder), every tool of the roads scripted
// to leave what the real tool would; expected command lines spelled with placeholders.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "convert/Convert.h"
#include "tests/support/TestApp.h"

namespace quillet::test {

struct ConvertScaffold;
using Setup = std::function<void(ConvertScaffold&)>;

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
inline const std::string kAuthorAvchd = R"("{app}/TS/tsmuxer.exe" "{out}movie.meta" "{out}movie.avchd")";
inline const std::string kAuthorWmv = R"("{app}/TS/tsmuxer.exe" "{out}movie.meta" "{out}Film")";
inline const std::string kExtract = R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" )";
inline const std::string kRaw = kExtract + R"(1:"{out}movie_raw.h264")";
inline const std::string kEncoder = R"("{app}/Mencoder/Mencoder.exe")";
inline const std::string kH264Opts = ":threads=4:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8,i8x8,i4x4:me=hex:me_range=12:subq=5:chroma_me:mixed_refs:trellis=1:weight_b:b_pyramid:nr=0";
inline const std::string kBurnIn = R"( -oac copy -font "{app}/Mencoder/font.ttf" -utf8 )";
// The options of a row's run: the target (PS3 5.1 without either), the output (MP4 without
// either), "Fast Mux", normalise, 25 fps, no split ("kWhole"), "MPEG2 Recode" to H264, and
// the source's video as inspected (VFW, anamorphic, VC-1).
enum Option : int { kXbox = 1, kStereo = 2, kVob = 4, kAvchd = 8, kFF = 16, kNorm = 32, k25 = 64,
                    kWhole = 128, kH264 = 256, kVfw = 512, kPar = 1024, kVc1 = 2048 };
// clang-format on
// A row's setup: a source of `bytes` with one `audio` track as inspected, the options set,
// then `more`.
Setup Opts(AudioType audio, int options = 0, Setup more = nullptr, int64_t bytes = 1000);
Setup Picture(int width, int height);  // the picture as inspected
// The H.264 encode of `input` at `bitrate` (with the options after it): `subtitles` before
// the video options, `rest` after the frame rate.
std::string H264(const std::string& bitrate, const std::string& rest = "-vf harddup",
                 const std::string& sid = "99", const std::string& subtitles = "",
                 const std::string& fps = "31001/1293", const std::string& input = "{src}");
inline std::string VideoAnd(const std::string& ext, const std::string& id = "2") {  // extracted
  return kExtractVideo + " " + id + R"(:"{out}movie.)" + ext + "\"";
}
// The decoder of movie.EXT to movie.wav for `speakers` (0: the track's own).
std::string Valdec(const std::string& ext, const std::string& speakers);

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

// One row of a table: what it sets up before "Convert", and what the run must show.
struct Scenario {
  const char* name;
  Setup setup;
  std::vector<std::string> commands;    // every command line; none: not compared
  std::vector<std::string> boxes = {};  // as Boxes() gives them; none when the run is done
  // The output folder afterwards: "NAME" (not "earlier"), or "NAME:CONTENT".
  std::vector<std::string> left = {};
  std::vector<std::string> meta = {};  // the muxer's job file or script, when one is written
  bool warned = false;                 // the boxes are warnings: the run is done
};
inline void PrintTo(const Scenario& row, std::ostream* os) {
  *os << row.name;
}
inline const std::string kNoTool = "(no tool runs)";  // the only line of `commands`

struct ConvertScaffold : TestApp {
  ConvertScaffold();  // a PS3 (5.1) MP4 conversion at Low priority, every tool scripted
  TempFolder sourceDir{"quillet-source"};
  std::string source;     // full path of the source
  std::string muxedMeta;  // the muxer's job file (or AVI script) as last read

  // Replaces {app} (program folder), {out} (output folder with its separator), {tmp}
  // (output folder without it), {src} (source path), {srcdir} (its folder), {pid}.
  std::string X(const std::string& text) const;
  std::vector<std::string> X(const std::vector<std::string>& texts) const;
  std::string Out(const std::string& name) const { return outputDir.withSep() + name; }
  std::vector<std::string> OutputNames() const { return FolderNames(outputDir.path()); }
  std::vector<std::string> Boxes() const {  // each "TITLE (STYLE): TEXT"
    std::vector<std::string> boxes;
    for (const ShownBox& b : ui.boxes)
      boxes.push_back(b.title + " (" + std::to_string(b.style) + "): " + b.text);
    return boxes;
  }

  // The source file with the given size (sparse), also named in txtFile.
  void MakeSource(int64_t bytes = 1000);
  // The source, as inspected: H.264 track 1, `audio` track 2, 23.976 fps, 1920x1080, 5400 s.
  void Ready(AudioType audio = kAudioAC3, int64_t bytes = 1000);
  // Subtitle tracks "eng" srt 3 and "fre" ASS 4 in the list, one chosen, "Embed subs".
  void ChooseSubtitle(int index);
  void Recode(int format) {  // "MPEG2 Recode" to 0 MPEG2, 1 H264, 2 Xvid, 3 H264 (HQ)
    form().chkMP2.SetValue(1);
    form().cmdConv.SetListIndex(format);
  }
  void FitTo(int size) {  // "Fit to" the disc size of the given list index
    form().chkDVD.SetValue(1);
    form().cmbSize.SetListIndex(size);
  }
  void Earlier(const std::vector<std::string>& names) {  // files an earlier run left
    for (const std::string& name : names) WriteFile(Out(name), "earlier");
  }
  bool Logged(const std::string& part) const;  // a debug log line holds `part`
  // Records each new part counter and overall position the window shows, in `shown`.
  void RecordShown();
  std::vector<std::string> shown;
  void MakeTool(const std::string& relative) { WriteFile(programDir.path() / relative, "tool"); }
  void LeavesNothing(const std::string& tool) {  // the tool runs and leaves nothing
    runner.On(tool, [](const std::vector<std::string>&) { return std::string(); });
  }
  void Convert() { Command2_Click(app); }
  void Check(const Scenario& row);             // sets the row up, converts, checks
  std::vector<std::string> Commands() const {  // the roads' tools, without the result probes
    std::vector<std::string> lines = runner.CommandLines();
    std::erase_if(lines, [](const std::string& line) { return line.starts_with("ffprobe "); });
    return lines;
  }
};

}  // namespace quillet::test
