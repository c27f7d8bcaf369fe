// The WMV and AVI roads with the real tools: films made here with ffmpeg and mencoder, the
// "Convert" button pressed in this process with the built program folder's slots, the
// GStreamer graph for the WMA sound, and every result judged with ffprobe and mediainfo.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/App.h"
#include "convert/Convert.h"
#include "platform/GstMediaGraph.h"
#include "sources/Sources.h"
#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/TestApp.h"
#include "base/JsonFields.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using toolkit::Member;
using toolkit::NumberOf;
using toolkit::StringOf;

constexpr double kSeconds = 6;

// A Ui whose waits take real time: the WAV's growth is judged between two polls.
class WaitingUi : public FakeUi {
 public:
  void Sleep(int milliseconds) override {
    FakeUi::Sleep(milliseconds);
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

double Duration(const std::string& path) {
  return NumberOf(Member(Member(ProbeJson(path), "format"), "duration"));
}

std::string MediaInfo(const std::string& path, const std::string& field) {
  return toolkit::Trim(Quiet({"mediainfo", "--Inform=Video;%" + field + "%", path}).out);
}

// The program's window state for one source, with the real runner and graph.
struct RealRoad {
  explicit RealRoad(const char* stem) : work(stem) {
    fs::create_directories(output);
    app.form.txtTMP.Text = output.string() + "/";
    app.form.cmbPlatform.SetListIndex(0);
    app.form.cmbPrio.SetListIndex(0);
  }
  void Choose(const std::string& source, const std::string& type) {
    app.form.txtFile.Text = source;
    app.form.strFullname = source;
    app.form.strType = type;
  }
  TempFolder work;
  fs::path output = work.path() / "out";
  RealProgram program{work.path() / "program"};
  PosixToolRunner runner;
  WaitingUi ui;
  FakePower power;
  FakeComponents components;
  GstMediaGraph media;
  Context ctx{program.folder().string(), runner, ui, power, components, media};
  App app{ctx};
};

// No VC-1 encoder is packaged for Debian: this writes an advanced-profile elementary
// stream by hand, 320 x 240 at 25 fps, with real sequence and entry-point headers and
// frame headers (an I frame every second, skipped frames between), whose picture data is
// filler. Containers and muxers read it like any VC-1 stream; no decoder draws it.
class BitWriter {
 public:
  void Put(unsigned value, int bits) {
    for (int i = bits - 1; i >= 0; --i) bits_.push_back((value >> i) & 1);
  }
  // The bits, a stop bit and zero padding to the byte.
  std::string Bytes() const {
    std::vector<int> bits = bits_;
    bits.push_back(1);
    while (bits.size() % 8) bits.push_back(0);
    std::string out;
    for (size_t i = 0; i < bits.size(); i += 8) {
      int byte = 0;
      for (int b = 0; b < 8; ++b) byte = byte << 1 | bits[i + b];
      out.push_back(static_cast<char>(byte));
    }
    return out;
  }

 private:
  std::vector<int> bits_;
};

std::string SyntheticVc1(int frames) {
  BitWriter seq;  // profile 3, level 1, 4:2:0, no post-processing hints
  for (auto [value, bits] : std::vector<std::pair<unsigned, int>>{
           {3, 2},    {1, 3},    {1, 2}, {0, 3},    {0, 5},    {0, 1},
           {159, 12}, {119, 12}, {0, 4},  // pulldown, interlace, tfcntr, finterp
           {1, 1},    {0, 1},    {1, 1}, {319, 14}, {239, 14}, {0, 1},
           {1, 1},    {0, 1},    {2, 8}, {1, 4},  // 25 fps: frame rate 2 (25) over 1 (1000)
           {0, 1},    {0, 1}})
    seq.Put(value, bits);
  BitWriter entry;  // closed entry, no options
  for (auto [value, bits] : std::vector<std::pair<unsigned, int>>{
           {0, 1}, {1, 1}, {0, 5}, {0, 2}, {0, 2}, {0, 2}, {0, 1}, {0, 2}})
    entry.Put(value, bits);
  const std::string start("\x00\x00\x01", 3);
  std::string stream;
  for (int i = 0; i < frames; ++i) {
    if (i % 25 == 0) stream += start + '\x0F' + seq.Bytes() + start + '\x0E' + entry.Bytes();
    BitWriter frame;
    frame.Put(i % 25 == 0 ? 0b110 : 0b1111, i % 25 == 0 ? 3 : 4);  // I or skipped
    frame.Put(0, 8);
    stream += start + '\x0D' + frame.Bytes() + std::string(16, '\x55');
  }
  return stream;
}

// The roads run in this process: only the toolkit's slots are needed, not the program.
#define SKIP_WITHOUT_PROGRAM()                                     \
  if (!fs::exists(RealProgram::BuiltFolder() / "quillet-toolkit")) \
  GTEST_SKIP() << "no program folder built"

TEST(WmvEndToEnd, Wmv2FilmGetsItsSoundButNoVc1AndEndsWithTheFailureBox) {
  SKIP_WITHOUT_PROGRAM();
  RealRoad road("quillet-e2e-wmv");
  const std::string source = (road.work.path() / "Film.wmv").string();
  ASSERT_TRUE(Made({"ffmpeg",
                    "-nostdin",
                    "-y",
                    "-f",
                    "lavfi",
                    "-i",
                    "testsrc=size=320x240:rate=25:duration=6",
                    "-f",
                    "lavfi",
                    "-i",
                    "sine=frequency=440:duration=6",
                    "-ac",
                    "2",
                    "-c:v",
                    "wmv2",
                    "-c:a",
                    "wmav2",
                    "-b:a",
                    "128k",
                    source}));
  road.Choose(source, "wmv");

  // The graph alone: a WAV as long as the film.
  DecodeWmaToWav(road.app, source, road.app.form.txtTMP.Text);
  const std::string wav = (road.output / "movie.wav").string();
  ASSERT_TRUE(fs::exists(wav));
  // The decoder's own sample format (float from GStreamer's WMA decoder) is kept.
  EXPECT_EQ(Probe(wav, "a:0", "codec_name").rfind("pcm_", 0), 0u);
  EXPECT_EQ(Probe(wav, "a:0", "channels"), "2");
  EXPECT_NEAR(Duration(wav), kSeconds, 0.2);

  // The VC-1 tool refuses the WMV2 picture and says what the file holds.
  const toolkit::ToolResult refused = Quiet({(road.program.folder() / "TS/asf2vc1.exe").string(),
                                             source, (road.output / "probe.vc1").string()});
  EXPECT_FALSE(refused.Ok());
  EXPECT_NE(refused.err.find("wmv2 video"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("no VC-1"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(road.output / "probe.vc1"));

  // The whole road: no picture stream, so no folder, and it says so.
  Command2_Click(road.app);
  EXPECT_EQ(road.app.form.txtProgress.Text, "Conversion error.");
  ASSERT_EQ(road.ui.boxes.size(), 1u);
  EXPECT_NE(road.ui.boxes[0].text.find("Film/BDMV/index.bdmv was not created."), std::string::npos);
  EXPECT_TRUE(fs::exists(road.output / "movie.ac3"));  // the sound made it that far
}

// A WMV film with (synthetic) VC-1 video and WMA sound: the road authors the folder.
TEST(WmvEndToEnd, Vc1FilmBecomesAnAvchdFolder) {
  SKIP_WITHOUT_PROGRAM();
  RealRoad road("quillet-e2e-vc1");
  const fs::path es = road.work.path() / "picture.vc1";
  WriteFile(es, SyntheticVc1(150));
  const std::string source = (road.work.path() / "Film.wmv").string();
  ASSERT_TRUE(Made({"ffmpeg",
                    "-nostdin",
                    "-y",
                    "-f",
                    "vc1",
                    "-r",
                    "25",
                    "-i",
                    es.string(),
                    "-f",
                    "lavfi",
                    "-i",
                    "sine=frequency=440:duration=6",
                    "-ac",
                    "2",
                    "-c:v",
                    "copy",
                    "-c:a",
                    "wmav2",
                    "-b:a",
                    "128k",
                    "-shortest",
                    "-f",
                    "asf",
                    source}));
  ASSERT_EQ(Probe(source, "v:0", "codec_tag_string"), "WVC1");

  // The elementary stream the tool writes starts with the sequence header and holds every
  // frame of the film.
  const std::string vc1 = (road.output / "check.vc1").string();
  ASSERT_TRUE(Made({(road.program.folder() / "TS/asf2vc1.exe").string(), source, vc1}));
  const std::string written = ReadFile(vc1);
  EXPECT_EQ(written.substr(0, 4), std::string("\x00\x00\x01\x0F", 4));
  size_t frames = 0;
  for (size_t at = written.find(std::string("\x00\x00\x01\x0D", 4)); at != std::string::npos;
       at = written.find(std::string("\x00\x00\x01\x0D", 4), at + 4))
    ++frames;
  EXPECT_EQ(frames, 150u);
  fs::remove(vc1);

  road.Choose(source, "wmv");
  Command2_Click(road.app);
  ASSERT_EQ(road.app.form.txtProgress.Text, "Conversion done.")
      << (road.ui.boxes.empty() ? "" : road.ui.boxes[0].text);
  const fs::path clip = road.output / "Film" / "BDMV" / "STREAM" / "00000.m2ts";
  ASSERT_TRUE(fs::exists(clip));
  EXPECT_EQ(Probe(clip.string(), "v:0", "codec_name"), "vc1");
  EXPECT_EQ(Probe(clip.string(), "a:0", "codec_name"), "ac3");
  EXPECT_EQ(Probe(clip.string(), "a:0", "bit_rate"), "640000");
  EXPECT_TRUE(fs::exists(road.output / "Film" / "BDMV" / "index.bdmv"));
  for (const char* name : {"movie.vc1", "movie.wav", "movie.ac3", "movie.meta"})
    EXPECT_FALSE(fs::exists(road.output / name)) << name;
}

// AVI films of 6 s made by mencoder from one ffmpeg film.
struct AviFilms {
  explicit AviFilms(const fs::path& folder) : folder(folder) {
    base = (folder / "base.avi").string();
    made = MakeMpeg4Avi(base, 6);
  }
  std::string Xvid(const std::string& name, const std::string& options) const {
    const std::string path = (folder / name).string();
    // mencoder's own AVI reader turns ffmpeg's MPEG-4 into one repeated picture.
    Quiet({"mencoder", "-demuxer", "lavf", base, "-ovc", "xvid", "-xvidencopts",
           "bitrate=900" + options, "-oac", "mp3lame", "-o", path});
    return path;
  }
  std::string DivX3(const std::string& name) const {
    const std::string path = (folder / name).string();
    Quiet({"ffmpeg", "-nostdin", "-y", "-i", base, "-c:v", "msmpeg4", "-vtag", "DIV3", "-q:v", "3",
           "-c:a", "copy", path});
    return path;
  }
  fs::path folder;
  std::string base;
  bool made = false;
};

TEST(AviEndToEnd, QpelAndGmcFilmsAreRepairedToPlainXvid) {
  SKIP_WITHOUT_PROGRAM();
  for (const char* feature : {"qpel", "gmc"}) {
    SCOPED_TRACE(feature);
    RealRoad road("quillet-e2e-avi");
    AviFilms films(road.work.path());
    ASSERT_TRUE(films.made);
    const std::string source =
        films.Xvid(std::string("Film_") + feature + ".avi", std::string(":") + feature);
    ASSERT_EQ(MediaInfo(source, feature == std::string("qpel") ? "Format_Settings_QPel"
                                                               : "Format_Settings_GMC"),
              feature == std::string("qpel") ? "Yes" : "3");
    road.Choose(source, "avi");
    Command2_Click(road.app);
    EXPECT_EQ(road.app.form.txtProgress.Text, "Conversion done.");
    const std::string repaired =
        (road.output / ("QL_" + fs::path(source).filename().string())).string();
    ASSERT_TRUE(fs::exists(repaired));
    EXPECT_EQ(MediaInfo(repaired, "Format_Settings_QPel"), "No");
    EXPECT_EQ(MediaInfo(repaired, "Format_Settings_GMC"), "0");
    EXPECT_NEAR(Duration(repaired), Duration(source), 0.3);
    const double ratio = double(fs::file_size(repaired)) / double(fs::file_size(source));
    EXPECT_GT(ratio, 0.5);
    EXPECT_LT(ratio, 1.5);
    EXPECT_FALSE(fs::exists(road.output / "test.avi"));
  }
}

TEST(AviEndToEnd, PlayableFilmsGetOnlyTheirSoundReencoded) {
  SKIP_WITHOUT_PROGRAM();
  RealRoad road("quillet-e2e-avi");
  AviFilms films(road.work.path());
  ASSERT_TRUE(films.made);
  for (const std::string& source : {films.Xvid("Plain.avi", ""), films.DivX3("Divx3.avi")}) {
    SCOPED_TRACE(source);
    const std::string videoBefore = Probe(source, "v:0", "codec_name");
    road.Choose(source, "avi");
    Command2_Click(road.app);
    EXPECT_EQ(road.app.form.txtProgress.Text, "Conversion done.");
    const std::string repaired =
        (road.output / ("QL_" + fs::path(source).filename().string())).string();
    ASSERT_TRUE(fs::exists(repaired));
    EXPECT_EQ(Probe(repaired, "v:0", "codec_name"), videoBefore);
    EXPECT_EQ(Probe(repaired, "v:0", "codec_tag_string"), Probe(source, "v:0", "codec_tag_string"));
    EXPECT_EQ(Probe(repaired, "a:0", "codec_name"), "mp3");
    EXPECT_EQ(Probe(repaired, "a:0", "sample_rate"), "48000");
    EXPECT_NEAR(std::stod(Probe(repaired, "a:0", "bit_rate")), 160000, 1000);
    EXPECT_NEAR(Duration(repaired), Duration(source), 0.3);
  }
}

// "Embed subs" with an .srt beside the film: the text is drawn into the picture.
TEST(AviEndToEnd, SubtitlesBesideTheFilmAreBurntIn) {
  SKIP_WITHOUT_PROGRAM();
  RealRoad road("quillet-e2e-avi");
  AviFilms films(road.work.path());
  ASSERT_TRUE(films.made);
  const std::string source = films.Xvid("Film.avi", "");
  WriteFile(road.work.path() / "Film.srt",
            "1\r\n00:00:00,000 --> 00:00:06,000\r\nQUILLET TEST\r\n");
  road.Choose(source, "avi");
  road.app.form.chkSubs.SetValue(1);
  road.app.form.lblSRTFound.Visible = true;
  Command2_Click(road.app);
  EXPECT_EQ(road.app.form.txtProgress.Text, "Conversion done.");
  const std::string repaired = (road.output / "QL_Film.avi").string();
  ASSERT_TRUE(fs::exists(repaired));
  // The picture's lower part differs from the source's where the text is drawn.
  auto lowerBand = [](const std::string& path) {
    return Quiet({"ffmpeg", "-nostdin", "-v", "error", "-ss", "3", "-i", path, "-frames:v", "1",
                  "-vf", "crop=320:40:0:200,format=gray", "-f", "rawvideo", "-"})
        .out;
  };
  const std::string before = lowerBand(source), after = lowerBand(repaired);
  ASSERT_EQ(before.size(), after.size());
  ASSERT_FALSE(before.empty());
  int changed = 0;
  for (size_t i = 0; i < before.size(); ++i)
    changed += std::abs(int(uint8_t(before[i])) - int(uint8_t(after[i]))) > 80;
  EXPECT_GT(changed, 150) << "no text drawn in the lower band";
}

}  // namespace
}  // namespace quillet::test
