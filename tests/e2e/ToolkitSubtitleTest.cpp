// Text subtitles through the muxer slot with the real Debian tools: a small dark film made
// here, a SubRip file with accents, German and Cyrillic letters, a three-line and an
// italic cue; the result decoded by ffmpeg (the subtitles laid over the picture, each
// frame looked at) and read by libbluray.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/e2e/MediaTools.h"
#include "tests/support/TestApp.h"
#include "toolkit/Files.h"
#include "base/Text.h"

namespace quillet::toolkit {
namespace {

namespace fs = std::filesystem;
using quillet::test::Entries;
using quillet::test::Made;
using quillet::test::Probe;
using quillet::test::Quiet;
using quillet::test::TempFolder;
using quillet::test::Words;
using quillet::test::WriteFile;
using Args = std::vector<std::string>;

constexpr int kWidth = 640, kHeight = 360;
constexpr double kFps = 24000.0 / 1001;

struct Timed {
  double start, end;  // seconds
};
const Timed kCues[] = {{1.0, 2.5}, {3.0, 4.5}, {5.0, 7.0}, {8.0, 9.5}};

// CR LF, a byte-order mark, numbering gaps and a run of blank lines.
const char kSrt[] =
    "\xEF\xBB\xBF"
    "1\r\n00:00:01,000 --> 00:00:02,500\r\nCaf\xC3\xA9 cr\xC3\xA8me \xC3\xA0 la fran\xC3\xA7"
    "aise\r\n\r\n"
    "2\r\n00:00:03,000 --> 00:00:04,500\r\nStra\xC3\x9F"
    "e, \xC3\x84pfel und \xC3\x96l\r\n\r\n\r\n\r\n"
    "7\r\n00:00:05,000 --> 00:00:07,000\r\n\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, "
    "\xD0\xBC\xD0\xB8\xD1\x80\r\n\xD0\x96\xD0\xB8\xD0\xB7\xD0\xBD\xD1\x8C\r\nthird line\r\n\r\n"
    "8\r\n00:00:08,000 --> 00:00:09,500\r\n<i>Italic words</i> here\r\n";

const std::string kStyle =
    " ,font-name=\"Arial\",font-size=42,font-color=0x00FFFFFF,font-charset=1,bottom-offset=50,"
    "font-border=1,text-align=center,video-width=640,video-height=360";

struct Media {
  TempFolder dir{"subtitle-media"};
  std::string film, srt, withText;
  bool ok = false;
  Media() {
    film = dir.str() + "/film.mkv";
    srt = dir.str() + "/film.srt";
    withText = dir.str() + "/with-text.mkv";
    WriteFile(srt, kSrt);
    ok = Made(Words("ffmpeg -nostdin -y -v error -f lavfi -i color=c=0x202020:s=640x360:"
                    "r=24000/1001 -f lavfi -i sine=frequency=440:sample_rate=48000 -t 11 "
                    "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a ac3 -b:a 128k " +
                    film)) &&
         Made({"mkvmerge", "-q", "-o", withText, film, "--language", "0:rus", srt});
  }
};

const Media& GetMedia() {
  static Media media;
  return media;
}

std::string SubtitleLanguage(const std::string& path) {
  ToolResult r = Quiet({"ffprobe", "-v", "error", "-select_streams", "s:0", "-show_entries",
                        "stream_tags=language", "-of", "default=nw=1:nk=1", path});
  return Trim(r.out);
}

// How many light pixels each frame has in the lower part of the picture, the subtitle
// stream laid over the video.
std::vector<int> LitPerFrame(const std::string& input, const std::string& scratch) {
  std::string raw = scratch + "/frames.gray";
  Args argv = {"ffmpeg",          "-nostdin",          "-y", "-v",       "error",    "-i",   input,
               "-filter_complex", "[0:v][0:s]overlay", "-f", "rawvideo", "-pix_fmt", "gray", raw};
  EXPECT_TRUE(Made(argv));
  auto bytes = ReadBytes(raw);
  std::vector<int> lit;
  if (!bytes) return lit;
  const size_t frame = kWidth * kHeight, bandStart = static_cast<size_t>(kHeight * 0.5) * kWidth;
  for (size_t at = 0; at + frame <= bytes->size(); at += frame) {
    int n = 0;
    for (size_t i = at + bandStart; i < at + frame; ++i)
      n += static_cast<unsigned char>((*bytes)[i]) > 200;
    lit.push_back(n);
  }
  return lit;
}

// Every cue is seen from its first to its last frame (within one frame), and nothing
// between the cues.
void ExpectCuesOnTheirFrames(const std::vector<int>& lit) {
  ASSERT_GT(lit.size(), static_cast<size_t>(9.5 * kFps));
  auto frameOf = [](double seconds) { return static_cast<int>(std::lround(seconds * kFps)); };
  for (const Timed& cue : kCues) {
    int first = frameOf(cue.start), last = frameOf(cue.end) - 1;
    EXPECT_GT(lit[(first + last) / 2], 100) << "no text in the middle of the cue at " << cue.start;
    int shownFrom = first - 3, shownTo = last + 3;
    while (shownFrom < last && lit[shownFrom] == 0) ++shownFrom;
    while (shownTo > first && lit[shownTo] == 0) --shownTo;
    EXPECT_LE(std::abs(shownFrom - first), 1) << "cue at " << cue.start << " starts late/early";
    EXPECT_LE(std::abs(shownTo - last), 1) << "cue at " << cue.start << " ends late/early";
  }
  for (size_t k = 0; k + 1 < std::size(kCues); ++k) {
    int gapMiddle = frameOf((kCues[k].end + kCues[k + 1].start) / 2);
    EXPECT_EQ(0, lit[gapMiddle]) << "text between the cues at " << kCues[k].end;
  }
  EXPECT_EQ(0, lit[frameOf(0.5)]);
  EXPECT_EQ(0, lit[frameOf(10.5)]);
}

class ToolkitSubtitle : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Quiet({"ffmpeg", "-version"}).Ok() || !Quiet({"bd_list_titles"}).started)
      GTEST_SKIP() << "needs ffmpeg, mkvtoolnix and libbluray-bin";
    ASSERT_TRUE(media.ok) << "the sample film could not be made";
  }
  const Media& media = GetMedia();
  TempFolder out{"subtitle-out"};
  std::string O(const std::string& name) const { return out.str() + "/" + name; }

  ToolResult Mux(const std::string& options, const std::string& subtitleLine,
                 const std::string& result) {
    Args lines = {
        "MUXOPT --no-pcr-on-video-pid --new-audio-pes --vbr " + options + " --vbv-len=500",
        "V_MPEG4/ISO/AVC, \"" + media.film + "\", track=1, fps=23.976",
        "A_AC3, \"" + media.film + "\", track=2", subtitleLine};
    WriteFile(O("movie.meta"), Join(lines, "\r\n") + "\r\n");
    return Quiet({std::string(QUILLET_PROGRAM_DIR) + "/TS/tsmuxer.exe", O("movie.meta"), result});
  }
};

TEST_F(ToolkitSubtitle, SrtBesideTheFilmIsDrawnOnItsFrames) {
  ToolResult r =
      Mux("", "S_TEXT/UTF8, \"" + media.srt + "\"" + kStyle + ", , fps=23.976", O("film.m2ts"));
  ASSERT_TRUE(r.Ok()) << r.err;
  EXPECT_EQ("hdmv_pgs_subtitle", Probe(O("film.m2ts"), "s:0", "codec_name"));
  EXPECT_EQ("0x1200", Probe(O("film.m2ts"), "s:0", "id"));
  ExpectCuesOnTheirFrames(LitPerFrame(O("film.m2ts"), out.str()));
  EXPECT_EQ((std::vector<std::string>{"film.m2ts", "frames.gray", "movie.meta"}),
            Entries(out.path()))
      << "the drawn stream is not left behind";
}

TEST_F(ToolkitSubtitle, MatroskaTextTrackKeepsItsLanguageInStreamAndFolder) {
  const std::string line =
      "S_TEXT/UTF8, \"" + media.withText + "\"" + kStyle + ", track=3, fps=23.976, lang=rus";
  ToolResult r = Mux("", line, O("film.m2ts"));
  ASSERT_TRUE(r.Ok()) << r.err;
  EXPECT_EQ("hdmv_pgs_subtitle", Probe(O("film.m2ts"), "s:0", "codec_name"));
  EXPECT_EQ("rus", SubtitleLanguage(O("film.m2ts")));
  ExpectCuesOnTheirFrames(LitPerFrame(O("film.m2ts"), out.str()));

  r = Mux("--blu-ray --insertBlankPL", line, O("disc"));
  ASSERT_TRUE(r.Ok()) << r.err;
  std::string titles = Quiet({"bd_list_titles", "-l", O("disc")}).out;
  EXPECT_NE(std::string::npos, titles.find("PG:1")) << titles;
  EXPECT_NE(std::string::npos, titles.find("PG : rus")) << titles;
  std::string clip = O("disc") + "/BDMV/STREAM/00000.m2ts";
  EXPECT_EQ("hdmv_pgs_subtitle", Probe(clip, "s:0", "codec_name"));
  EXPECT_EQ("0x1200", Probe(clip, "s:0", "id"));
}

TEST_F(ToolkitSubtitle, LinesWithoutTextToShowFailAndLeaveNothing) {
  WriteFile(O("empty.srt"), "1\r\n00:00:01,000 --> 00:00:02,000\r\n<i></i>\r\n\r\n");
  struct Case {
    std::string line, named;
  };
  const Case cases[] = {
      {"S_TEXT/UTF8, \"" + O("empty.srt") + "\"" + kStyle + ", , fps=23.976", "no subtitle"},
      {"S_TEXT/UTF8, \"" + media.withText + "\"" + kStyle + ", track=2, fps=23.976, lang=rus",
       "not S_TEXT/UTF8"},
      {"S_TEXT/UTF8, \"" + media.withText + "\"" + kStyle + ", track=9, fps=23.976", "track 9"},
      {"S_TEXT/UTF8, \"" + O("gone.srt") + "\"" + kStyle + ", fps=23.976", "gone.srt"},
  };
  for (const Case& c : cases) {
    ToolResult r = Mux("", c.line, O("film.m2ts"));
    EXPECT_FALSE(r.Ok()) << c.named;
    std::vector<std::string> said = Split(Trim(r.err), '\n');
    ASSERT_FALSE(said.empty());
    EXPECT_NE(std::string::npos, said.back().find(c.named)) << r.err;
    EXPECT_EQ((std::vector<std::string>{"empty.srt", "movie.meta"}), Entries(out.path()));
  }
}

}  // namespace
}  // namespace quillet::toolkit
