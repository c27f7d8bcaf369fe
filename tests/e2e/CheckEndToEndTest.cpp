// "quillet --check" on real films made here with ffmpeg, mkvmerge and mencoder, read by
// the built program with the toolkit in its slots; and the check against a real
// conversion: what the report says a conversion gives, the converted file's own report
// confirms.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/TestApp.h"
#include "base/JsonFields.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Json = toolkit::JsonValue;
using toolkit::Member;
using toolkit::StringOf;
using Args = std::vector<std::string>;

constexpr int64_t kBigFile = 4831838208LL;  // 4.5 GiB

// A film of test pictures and, unless `audio` is empty, 5.1 sound; `video` and `audio` are
// ffmpeg's codec options.
::testing::AssertionResult Film(const fs::path& path, const std::string& size,
                                const std::string& video, const std::string& audio,
                                double seconds = 1) {
  const std::string length = toolkit::Format("%g", seconds);
  std::string command = "ffmpeg -nostdin -y -v error -f lavfi -i testsrc=size=" + size +
                        ":rate=24:duration=" + length;
  if (!audio.empty()) command += " -f lavfi -i sine=r=48000:d=" + length;
  command += " -pix_fmt yuv420p " + video;
  command += audio.empty() ? " -an" : " -ac 6 -ar 48000 " + audio;
  Args argv = Words(command);
  argv.push_back(path.string());
  return Made(argv);
}

const std::string kH264 = "-c:v libx264 -preset veryfast -profile:v high -level 5.1";
const std::string kH264Small = "-c:v libx264 -preset veryfast -profile:v high -level 3.0";

// A valid MP4 grown past 4 GiB by a trailing "free" box, whose content is a hole in the
// file: every reader skips it, and the file system gives its full size.
::testing::AssertionResult GrowWithFreeBox(const fs::path& path, int64_t size) {
  const int64_t length = static_cast<int64_t>(fs::file_size(path));
  std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(length);
  unsigned char header[16] = {0, 0, 0, 1, 'f', 'r', 'e', 'e'};
  for (int i = 0; i < 8; ++i)
    header[8 + i] = static_cast<unsigned char>((size - length) >> (56 - 8 * i));
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  out.close();
  fs::resize_file(path, static_cast<uintmax_t>(size));
  return fs::file_size(path) == static_cast<uintmax_t>(size) ? ::testing::AssertionSuccess()
                                                             : ::testing::AssertionFailure();
}

struct CheckResult {
  int status = -1;
  Json doc;
  std::string err;
};

// Runs the program's report without a display, with a temporary folder of its own.
CheckResult RunCheck(const fs::path& program, const Args& args, const fs::path& tmp) {
  const fs::path out = tmp.parent_path() / "check.json";
  std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY TMPDIR=" + ShellQuoted(tmp.string()) +
                        " timeout 120 " + ShellQuoted(program.string()) + " --check --json";
  for (const std::string& arg : args) command += " " + ShellQuoted(arg);
  const ProgramRun run = RunShell(command + " > " + ShellQuoted(out.string()));
  CheckResult result;
  result.status = run.status;
  result.err = run.err;
  std::string error;
  auto doc = toolkit::ParseJson(ReadFile(out), &error);
  if (!doc) ADD_FAILURE() << "not JSON: " << error << "\n" << ReadFile(out) << run.err;
  result.doc = doc ? *doc : Json();
  return result;
}

// The verdict of one film for one player.
const Json& VerdictOf(const Json& doc, const std::string& film, const std::string& player) {
  static const Json none;
  for (const Json& file : toolkit::Elements(Member(doc, "files"))) {
    if (fs::path(StringOf(Member(file, "path"))).filename() != film) continue;
    for (const Json& v : toolkit::Elements(Member(file, "verdicts")))
      if (StringOf(Member(v, "player")) == player) return v;
  }
  ADD_FAILURE() << "no verdict for " << film << " on " << player;
  return none;
}

std::vector<std::string> Limits(const Json& verdict, const char* list = "reasons") {
  std::vector<std::string> limits;
  for (const Json& r : toolkit::Elements(Member(verdict, list)))
    limits.push_back(StringOf(Member(r, "limit")));
  return limits;
}

bool Has(const std::vector<std::string>& items, const std::string& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

class CheckEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!RealProgram::Built()) return;
    work_ = new TempFolder("quillet-e2e-check");
    const fs::path d = work_->path() / "films";
    fs::create_directories(d);
    bool ok =
        Film(d / "level51 4refs.mkv", "1920x1080", kH264 + " -x264-params ref=4", "-c:a ac3") &&
        Film(d / "8refs.mkv", "1920x1080", kH264 + " -x264-params ref=8", "") &&
        Film(d / "aac51.mp4", "320x240", kH264Small, "-c:a aac") &&
        Film(d / "dts.mkv", "320x240", kH264Small, "-c:a dca -strict -2") &&
        Film(d / "mpeg2.mkv", "320x240", "-c:v mpeg2video", "-c:a ac3") &&
        Film(d / "big.mp4", "320x240", kH264Small, "-c:a aac -ac 2") &&
        GrowWithFreeBox(d / "big.mp4", kBigFile) &&
        Film(d / "xvid.avi", "320x240", "-c:v mpeg4 -vtag XVID -q:v 4", "-c:a libmp3lame -ac 2") &&
        Film(work_->path() / "source.avi", "320x240", "-c:v mpeg4 -q:v 4",
             "-c:a libmp3lame -ac 2") &&
        Made({"mencoder", "-really-quiet", (work_->path() / "source.avi").string(), "-o",
              (d / "qpel.avi").string(), "-ovc", "xvid", "-xvidencopts", "qpel:bitrate=400", "-oac",
              "copy"}) &&
        Film(d / "film.wmv", "320x240", "-c:v wmv2", "-c:a wmav2 -ac 2");
    if (ok) {
      WriteFile(work_->path() / "subs.srt", "1\n00:00:00,000 --> 00:00:00,900\nHello\n");
      ok = Made({"mkvmerge", "-q", "-o", (d / "srt.mkv").string(), (d / "dts.mkv").string(),
                 (work_->path() / "subs.srt").string()});
    }
    if (!ok) {
      delete work_;
      work_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete work_;
    work_ = nullptr;
  }

  void SetUp() override {
    if (!RealProgram::Built()) GTEST_SKIP() << "the program folder is not built";
    ASSERT_NE(work_, nullptr) << "the sample films could not be made";
    films = work_->path() / "films";
  }

  static TempFolder* work_;
  fs::path films;
  TempFolder tmp{"quillet-e2e-check-tmp"};
  const fs::path program = RealProgram::BuiltFolder() / "quillet";
};
TempFolder* CheckEndToEnd::work_ = nullptr;

TEST_F(CheckEndToEnd, EveryFilmGetsItsVerdictForEveryPlayer) {
  const std::vector<std::string> before = Entries(films);
  const CheckResult r = RunCheck(program, {films.string()}, tmp.path());
  EXPECT_EQ(r.status, 1) << r.err;
  const Json& doc = r.doc;
  EXPECT_EQ(toolkit::Elements(Member(doc, "files")).size(), before.size());

  // H.264 High 5.1 with 4 reference frames at 1080p: only the level byte is wrong.
  for (const char* player : {"ps3", "ps3-stereo", "xbox360", "bluray"}) {
    const Json& v = VerdictOf(doc, "level51 4refs.mkv", player);
    EXPECT_EQ(StringOf(Member(v, "verdict")), "level-patch") << player;
    EXPECT_TRUE(Has(Limits(v), "level")) << player;
  }
  // With 8 they overflow the level 4.1 buffer.
  for (const char* player : {"ps3", "ps3-stereo", "xbox360", "bluray"}) {
    const Json& v = VerdictOf(doc, "8refs.mkv", player);
    EXPECT_EQ(StringOf(Member(v, "verdict")), "re-encode") << player;
    EXPECT_EQ(StringOf(Member(v, "reencodeTo")), "H.264");
  }
  const Json& eight = VerdictOf(doc, "8refs.mkv", "ps3");
  EXPECT_EQ(StringOf(Member(toolkit::Elements(Member(eight, "reasons"))[1], "value")),
            "8 reference frames");

  // AAC 5.1 in MP4: a PS3 plays it, an Xbox 360 or a stereo PS3 needs it mixed down.
  EXPECT_EQ(StringOf(Member(VerdictOf(doc, "aac51.mp4", "ps3"), "verdict")), "plays");
  const Json& xbox = VerdictOf(doc, "aac51.mp4", "xbox360");
  EXPECT_EQ(StringOf(Member(xbox, "verdict")), "remux");
  EXPECT_EQ(Limits(xbox), std::vector<std::string>{"audio-channels"});
  EXPECT_EQ(StringOf(Member(VerdictOf(doc, "aac51.mp4", "ps3-stereo"), "verdict")), "remux");

  // DTS: no MP4 carries it; the MP4 road makes AAC of it.
  const Json& dts = VerdictOf(doc, "dts.mkv", "ps3");
  EXPECT_EQ(StringOf(Member(dts, "verdict")), "remux");
  EXPECT_EQ(Limits(dts), (std::vector<std::string>{"container", "audio-codec"}));
  EXPECT_EQ(StringOf(Member(toolkit::Elements(Member(dts, "reasons"))[1], "value")), "dts");

  // MPEG-2 in Matroska is repacked; the Xbox 360 gets nothing from this program.
  const Json& mpeg2 = VerdictOf(doc, "mpeg2.mkv", "ps3");
  EXPECT_EQ(StringOf(Member(mpeg2, "verdict")), "remux");
  EXPECT_EQ(StringOf(Member(mpeg2, "output")), "MPEG-2 file (.mpg)");
  EXPECT_TRUE(Member(VerdictOf(doc, "mpeg2.mkv", "xbox360"), "output").is_null());

  // 4.5 GiB: too big for a FAT32 stick, whatever else it is.
  const Json& big = VerdictOf(doc, "big.mp4", "xbox360");
  EXPECT_EQ(StringOf(Member(big, "verdict")), "remux");
  EXPECT_EQ(Limits(big), std::vector<std::string>{"file-size"});
  EXPECT_EQ(StringOf(Member(toolkit::Elements(Member(big, "reasons"))[0], "value")),
            std::to_string(kBigFile) + " bytes");
  EXPECT_FALSE(Has(Limits(VerdictOf(doc, "big.mp4", "bluray")), "file-size"));

  // The SRT track is a note: not shown from the MP4 the conversion makes.
  EXPECT_EQ(Limits(VerdictOf(doc, "srt.mkv", "ps3"), "notes"),
            std::vector<std::string>{"text-subtitles"});

  // Xvid: QPel is re-encoded by the AVI repair; plain Xvid with MP3 plays.
  const Json& qpel = VerdictOf(doc, "qpel.avi", "ps3");
  EXPECT_EQ(StringOf(Member(qpel, "verdict")), "re-encode");
  EXPECT_EQ(Limits(qpel), std::vector<std::string>{"qpel-gmc"});
  EXPECT_EQ(StringOf(Member(qpel, "reencodeTo")), "Xvid");
  EXPECT_EQ(StringOf(Member(VerdictOf(doc, "xvid.avi", "ps3"), "verdict")), "plays");
  EXPECT_EQ(StringOf(Member(VerdictOf(doc, "xvid.avi", "xbox360"), "verdict")), "plays");

  // WMV 8: the Xbox 360 plays it, the PS3 wants WMV 9 / VC-1.
  EXPECT_EQ(StringOf(Member(VerdictOf(doc, "film.wmv", "xbox360"), "verdict")), "plays");
  EXPECT_EQ(StringOf(Member(VerdictOf(doc, "film.wmv", "ps3"), "verdict")), "re-encode");

  // Nothing was written beside the films, and the temporary folder is empty again.
  EXPECT_EQ(Entries(films), before);
  EXPECT_TRUE(fs::is_empty(tmp.path()));
}

TEST_F(CheckEndToEnd, ExitStatusesOfTheProgram) {
  EXPECT_EQ(
      RunCheck(program,
               {(films / "xvid.avi").string(), (films / "aac51.mp4").string(), "--player", "ps3"},
               tmp.path())
          .status,
      0);
  EXPECT_EQ(
      RunCheck(program, {(films / "aac51.mp4").string(), "--player", "xbox360"}, tmp.path()).status,
      1);
  EXPECT_EQ(RunCheck(program, {(films / "missing.mkv").string()}, tmp.path()).status, 3);
  const ProgramRun bad =
      RunShell("env -u DISPLAY " + ShellQuoted(program.string()) + " --check --player wii " +
               ShellQuoted((films / "dts.mkv").string()));
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("usage: quillet --check"), std::string::npos) << bad.err;
  // A display does not bring up the window for a check.
  const ProgramRun withDisplay = RunShell(
      "env DISPLAY=:99 TMPDIR=" + ShellQuoted(tmp.str()) + " " + ShellQuoted(program.string()) +
      " --check " + ShellQuoted((films / "xvid.avi").string()) + " --player ps3");
  EXPECT_EQ(withDisplay.status, 0) << withDisplay.err;
}

// What the report promises, a conversion gives: the film converted as the report says plays
// as it is by the converted file's own report.
struct Agreement {
  std::string label;
  std::string player;
  int platform;  // "Target:" item
  std::string level;
  std::string verdict;
  bool recode;  // the report asks for "MPEG2 Recode" with "Re-encode to: H264"
};

class CheckAgreesWithConversion : public ::testing::TestWithParam<Agreement> {};

TEST_P(CheckAgreesWithConversion, TheConvertedFilePlaysAsTheReportSaid) {
  if (!RealProgram::Built()) GTEST_SKIP() << "the program folder is not built";
#ifndef QUILLET_PROGRAM_IN_BUILD
  GTEST_SKIP() << "this build makes no quillet program";
#endif
  const Agreement& a = GetParam();
  TempFolder work{"quillet-e2e-agree"};
  const fs::path sources = work.path() / "films";
  const fs::path output = work.path() / "out";
  const fs::path tmp = work.path() / "tmp";
  fs::create_directories(sources);
  fs::create_directories(output);
  fs::create_directories(tmp);
  const fs::path source = sources / "agree.mkv";
  ASSERT_TRUE(
      Film(source, "320x240",
           "-c:v libx264 -preset veryfast -profile:v high -x264-params ref=4 -level " + a.level,
           "-c:a ac3", 2));

  RealProgram program(work.path() / "program");
  const CheckResult before =
      RunCheck(program.folder() / "quillet", {source.string(), "--player", a.player}, tmp);
  const Json& said = VerdictOf(before.doc, "agree.mkv", a.player);
  ASSERT_EQ(StringOf(Member(said, "verdict")), a.verdict);
  ASSERT_EQ(StringOf(Member(said, "output")), "MP4");
  std::vector<std::string> options;
  for (const Json& option : toolkit::Elements(Member(said, "options")))
    options.push_back(StringOf(option));
  EXPECT_EQ(Has(options, "MPEG2 Recode ticked") && Has(options, "Re-encode to: H264"), a.recode);

  ConversionSettings settings;
  settings.outputFolder = output.string() + "/";
  settings.sourceFolder = sources.string() + "/";
  settings.platform = a.platform;
  settings.recode = a.recode;
  settings.recodeFormat = 1;  // H264
  program.WriteSettings(settings);
  const ProgramRun run = program.Convert(source.string(), work.str());
  ASSERT_EQ(run.status, 0) << run.err;

  const fs::path result = output / "agree.mp4";
  ASSERT_TRUE(fs::exists(result)) << run.err;
  const CheckResult after =
      RunCheck(program.folder() / "quillet", {result.string(), "--player", a.player}, tmp);
  EXPECT_EQ(after.status, 0) << after.err;
  const Json& plays = VerdictOf(after.doc, "agree.mp4", a.player);
  EXPECT_EQ(StringOf(Member(plays, "verdict")), "plays") << plays.dump(1);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, CheckAgreesWithConversion,
    ::testing::Values(Agreement{"Ps3LevelPatch", "ps3", 0, "5.1", "level-patch", false},
                      Agreement{"XboxLevelPatch", "xbox360", 1, "5.1", "level-patch", false},
                      Agreement{"Ps3StereoLevelPatch", "ps3-stereo", 2, "5.1", "level-patch",
                                false},
                      // The MP4 road rewrites level 5.1 only: 5.0 is re-encoded.
                      Agreement{"Ps3Level50ReEncode", "ps3", 0, "5.0", "re-encode", true}),
    [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace quillet::test
