// Every kind of film the built program takes besides a single Matroska file, made once on
// the film shelf: "quillet --check" on each kind, WMV films (GStreamer decodes the WMA
// sound), AVI films checked and repaired, and folders of MKV and AVI films.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Json = toolkit::JsonValue;

// ffmpeg's test pictures (320x240, 24 fps) in `video` and, unless `audio` is empty, a tone
// in `audio` (ffmpeg's codec options, channels included), for `seconds`.
std::string Film(const std::string& name, const std::string& video, const std::string& audio,
                 int seconds = 1) {
  const std::string s = std::to_string(seconds);
  return ShelvedFilm(
      name,
      "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=24:duration=" + s +
          (audio.empty() ? " -an" : " -f lavfi -i sine=r=48000:d=" + s + " -ar 48000 " + audio) +
          " -pix_fmt yuv420p " + video + " " + ShellQuoted(name));
}

const std::string kH264 = "-c:v libx264 -preset veryfast -profile:v high -level ";

// AVI films by mencoder's Xvid encoder (`options` added), from an MPEG-4 AVI by ffmpeg
// read through lavf: mencoder's own AVI reader turns it into one repeated picture.
std::string Xvid(const std::string& name, const std::string& options) {
  return ShelvedFilm(name,
                     "ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f "
                     "lavfi -i sine=duration=3:sample_rate=44100 -ac 2 -c:v mpeg4 -q:v 2 -c:a "
                     "libmp3lame base.avi && mencoder -really-quiet -demuxer lavf base.avi -ovc "
                     "xvid -xvidencopts bitrate=900" +
                         options + " -oac mp3lame -o " + ShellQuoted(name));
}

std::string Wmv2() {
  return Film("film.wmv", "-c:v wmv2", "-c:a wmav2 -ac 2", 3);
}

class FilmKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    RequireBuiltProgram();
    fs::create_directories(output);
    program.WriteSettings({output.string() + "/", work.str() + "/"});
  }
  ProgramRun Run(const Args& args) const { return program.Run(args, work.str()); }

  TempFolder work{"quillet-e2e-kinds"};
  fs::path output = work.path() / "out folder";
  RealProgram program{work.path() / "program"};
};

// A valid MP4 grown to `size` by a trailing "free" box whose content is a hole in the
// file: every reader skips it, and the file system gives its full size.
void GrowWithFreeBox(const fs::path& path, int64_t size) {
  const int64_t length = static_cast<int64_t>(fs::file_size(path));
  std::ofstream out(path, std::ios::binary | std::ios::app);
  unsigned char header[16] = {0, 0, 0, 1, 'f', 'r', 'e', 'e'};
  for (int i = 0; i < 8; ++i)
    header[8 + i] = static_cast<unsigned char>((size - length) >> (56 - 8 * i));
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  out.close();
  fs::resize_file(path, static_cast<uintmax_t>(size));
}

TEST_F(FilmKinds, CheckGivesEveryFilmItsVerdictForEveryPlayerAndTheExitStatus) {
  const fs::path big = work.path() / "big.mp4";
  fs::copy_file(Film("stereo.mp4", kH264 + "3.0", "-c:a aac -ac 2"), big);
  GrowWithFreeBox(big, 4831838208LL);  // 4.5 GiB
  const Args films = {
      Film("level51 4refs.mkv", kH264 + "5.1 -x264-params ref=4", "-c:a ac3 -ac 6"),
      ShelvedFilm("16refs.mkv", "ffmpeg -v error -f lavfi -i testsrc=size=1024x576:rate=24:d=1 " +
                                    kH264 + "5.1 -x264-params ref=16 -pix_fmt yuv420p 16refs.mkv"),
      Film("aac51.mp4", kH264 + "3.0", "-c:a aac -ac 6"),
      Film("mpeg2.mkv", "-c:v mpeg2video", "-c:a ac3 -ac 6"),
      ShelvedFilm("srt.mkv",
                  "printf '1\\n00:00:00,000 --> 00:00:00,900\\nHello\\n' > s.srt && " +
                      std::string("ffmpeg -v error -f lavfi -i testsrc=size=320x240:d=1 -f "
                                  "lavfi -i sine=d=1 -ac 6 ") +
                      kH264 +
                      "3.0 -pix_fmt yuv420p -c:a dca -strict -2 dts.mkv && mkvmerge -q -o srt.mkv "
                      "dts.mkv s.srt"),
      Xvid("Film qpel.avi", ":qpel"),
      Xvid("Plain.avi", ""),
      Wmv2(),
      big.string()};
  const fs::path tmp = work.path() / "tmp";
  fs::create_directories(tmp);
  auto check = [&](const Args& args, Json* doc = nullptr) {
    Args all = {"--check", "--json"};
    all.insert(all.end(), args.begin(), args.end());
    const std::string json = (work.path() / "check.json").string();
    const ProgramRun run =
        program.Run(all, work.str(), "TMPDIR=" + ShellQuoted(tmp.string()), json);
    if (doc) *doc = toolkit::ParseJson(ReadFile(json), nullptr).value_or(Json());
    return run.status;
  };
  Json doc;
  EXPECT_EQ(check(films, &doc), 1);
  ASSERT_EQ(doc.at("files").size(), films.size()) << doc.dump(1);
  // The verdict of each film on each player, the limits it breaks and what they are.
  auto of = [&](const std::string& film, const std::string& player) {
    for (const Json& file : doc.at("files"))
      if (fs::path(file.value("path", "")).filename() == film)
        for (const Json& v : file.at("verdicts"))
          if (v.value("player", "") == player) return v;
    return Json();
  };
  auto limits = [](const Json& verdict, const char* list = "reasons") {
    std::string text;
    for (const Json& r : verdict.value(list, Json::array())) text += r.value("limit", "") + " ";
    return text;
  };
  for (const char* player : {"ps3", "ps3-stereo", "xbox360", "bluray"}) {
    SCOPED_TRACE(player);
    EXPECT_EQ(of("level51 4refs.mkv", player).value("verdict", ""), "level-patch");
    EXPECT_NE(limits(of("level51 4refs.mkv", player)).find("level "), std::string::npos);
    EXPECT_EQ(of("16refs.mkv", player).value("verdict", ""), "re-encode");
    EXPECT_EQ(of("16refs.mkv", player).value("reencodeTo", ""), "H.264");
  }
  EXPECT_EQ(of("16refs.mkv", "ps3").at("reasons").at(1).value("value", ""), "16 reference frames");
  // AAC 5.1 in MP4: a PS3 plays it, an Xbox 360 or a stereo PS3 needs it mixed down.
  EXPECT_EQ(of("aac51.mp4", "ps3").value("verdict", ""), "plays");
  EXPECT_EQ(of("aac51.mp4", "xbox360").value("verdict", ""), "remux");
  EXPECT_EQ(limits(of("aac51.mp4", "xbox360")), "audio-channels ");
  EXPECT_EQ(of("aac51.mp4", "ps3-stereo").value("verdict", ""), "remux");
  // MPEG-2 in Matroska is repacked; the Xbox 360 gets nothing from this program.
  EXPECT_EQ(of("mpeg2.mkv", "ps3").value("verdict", ""), "remux");
  EXPECT_EQ(of("mpeg2.mkv", "ps3").value("output", ""), "MPEG-2 file (.mpg)");
  EXPECT_TRUE(of("mpeg2.mkv", "xbox360").at("output").is_null());
  // 4.5 GiB: too big for a FAT32 stick, whatever else it is; a Blu-ray player minds not.
  EXPECT_EQ(limits(of("big.mp4", "xbox360")), "file-size ");
  EXPECT_EQ(of("big.mp4", "xbox360").at("reasons").at(0).value("value", ""), "4831838208 bytes");
  EXPECT_EQ(limits(of("big.mp4", "bluray")).find("file-size"), std::string::npos);
  // DTS: no MP4 carries it. The SRT track is a note: not shown from the MP4 made.
  EXPECT_EQ(limits(of("srt.mkv", "ps3")), "container audio-codec ");
  EXPECT_EQ(limits(of("srt.mkv", "ps3"), "notes"), "text-subtitles ");
  // Xvid: QPel is re-encoded by the AVI repair; plain Xvid with MP3 plays.
  EXPECT_EQ(of("Film qpel.avi", "ps3").value("verdict", ""), "re-encode");
  EXPECT_EQ(limits(of("Film qpel.avi", "ps3")), "qpel-gmc ");
  EXPECT_EQ(of("Film qpel.avi", "ps3").value("reencodeTo", ""), "Xvid");
  EXPECT_EQ(of("Plain.avi", "xbox360").value("verdict", ""), "plays");
  // WMV 8: the Xbox 360 plays it, the PS3 wants WMV 9 / VC-1.
  EXPECT_EQ(of("film.wmv", "xbox360").value("verdict", ""), "plays");
  EXPECT_EQ(of("film.wmv", "ps3").value("verdict", ""), "re-encode");
  EXPECT_TRUE(fs::is_empty(tmp));
  EXPECT_EQ(Entries(fs::path(films[0]).parent_path()), Args{"level51 4refs.mkv"});

  EXPECT_EQ(check({films[6], films[2], "--player", "ps3"}), 0);  // Plain.avi, aac51.mp4
  EXPECT_EQ(check({films[2], "--player", "xbox360"}), 1);
  EXPECT_EQ(check({(work.path() / "missing.mkv").string()}), 3);
  const ProgramRun wrong = Run({"--check", "--player", "wii", films[2]});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("usage: quillet --check"), std::string::npos) << wrong.err;
  // A display does not bring up the window for a check.
  EXPECT_EQ(program.Run({"--check", films[6], "--player", "ps3"}, work.str(), "DISPLAY=:99").status,
            0);
}

// An advanced-profile VC-1 stream written by hand (Debian packages no VC-1 encoder):
// 320x240 at 25 fps, real sequence, entry-point and frame headers (an I frame each
// second, skipped frames between) over filler. Muxers read it like any VC-1 stream.
std::string SyntheticVc1(int frames) {
  auto bits = [](std::vector<std::pair<unsigned, int>> fields) {
    std::vector<int> b;
    for (auto [value, count] : fields)
      for (int i = count - 1; i >= 0; --i) b.push_back((value >> i) & 1);
    b.push_back(1);  // the stop bit, then zeros to the byte
    while (b.size() % 8) b.push_back(0);
    std::string out;
    for (size_t i = 0; i < b.size(); i += 8) {
      int byte = 0;
      for (int k = 0; k < 8; ++k) byte = byte << 1 | b[i + k];
      out.push_back(static_cast<char>(byte));
    }
    return out;
  };
  // Profile 3, level 1, 4:2:0, 319+1 x 239+1, 25 fps (rate 2 over 1000).
  const std::string sequence =
      bits({{3, 2},    {1, 3}, {1, 2}, {0, 3}, {0, 5}, {0, 1},    {159, 12},
            {119, 12}, {0, 4}, {1, 1}, {0, 1}, {1, 1}, {319, 14}, {239, 14},
            {0, 1},    {1, 1}, {0, 1}, {2, 8}, {1, 4}, {0, 1},    {0, 1}});
  const std::string entry = bits({{0, 1}, {1, 1}, {0, 5}, {0, 2}, {0, 2}, {0, 2}, {0, 1}, {0, 2}});
  const std::string start("\x00\x00\x01", 3);
  std::string stream;
  for (int i = 0; i < frames; ++i) {
    if (i % 25 == 0) stream += start + '\x0F' + sequence + start + '\x0E' + entry;
    const std::string frame =
        i % 25 == 0 ? bits({{0b110, 3}, {0, 8}}) : bits({{0b1111, 4}, {0, 8}});
    stream += start + '\x0D' + frame + std::string(16, '\x55');
  }
  return stream;
}

// VC-1 in WMV becomes an AVCHD folder with AC3 of the WMA sound; WMV 8 gets its sound that
// far, then the folder cannot be made, and the run says so.
TEST_F(FilmKinds, WmvFilmsTakeTheAvchdRoad) {
  WriteFile(work.path() / "picture.vc1", SyntheticVc1(75));
  const std::string vc1 = (work.path() / "Film vc1.wmv").string();
  ASSERT_TRUE(Made(Around("ffmpeg -nostdin -v error -f vc1 -r 25 -i " +
                              (work.path() / "picture.vc1").string() +
                              " -f lavfi -i sine=d=3 -ac 2 -c:v copy -c:a wmav2 -shortest -f asf",
                          vc1, "")));
  const ProgramRun run = Run({vc1, Wmv2()});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("film/BDMV/index.bdmv was not created."), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(output / "movie.ac3")) << "the sound of the WMV 8 film";
  const fs::path folder = output / "Film vc1";
  ExpectFacts((folder / "BDMV" / "STREAM" / "00000.m2ts").string(),
              "video.codec_name=vc1 audio.codec_name=ac3 audio.bit_rate=640000");
  EXPECT_TRUE(fs::exists(folder / "BDMV" / "index.bdmv"));
  const toolkit::ToolResult titles = Quiet({"bd_list_titles", folder.string()});
  EXPECT_NE(titles.out.find("V:1 A:1"), std::string::npos) << titles.out << titles.err;
}

std::string MediaInfo(const std::string& path, const std::string& fields) {
  return toolkit::Trim(Quiet({"mediainfo", "--Inform=Video;" + fields, path}).out);
}

// The lower band of the picture at second 1.5, as grey levels.
std::string LowerBand(const std::string& path) {
  return Quiet(Around("ffmpeg -nostdin -v error -ss 1.5 -i", path,
                      "-frames:v 1 -vf crop=320:40:0:200,format=gray -f rawvideo -"))
      .out;
}

// QPel is repaired (with "--embed-subs" the subtitles beside drawn in), a playable Xvid
// gets only its sound anew; the folder road repairs what needs it, into the output folder given.
TEST_F(FilmKinds, AviFilmsAreRepairedOneByOneAndAsAFolder) {
  const fs::path films = work.path() / "avi films";
  fs::create_directories(films);
  const fs::path qpel = films / "Film qpel.avi", plain = films / "Plain.avi";
  fs::copy_file(Xvid("Film qpel.avi", ":qpel"), qpel);
  fs::copy_file(Xvid("Plain.avi", ""), plain);
  ASSERT_EQ(MediaInfo(qpel, "%Format_Settings_QPel%"), "Yes");
  WriteFile(films / "Film qpel.srt", "1\r\n00:00:00,000 --> 00:00:03,000\r\nQUILLET TEST\r\n");
  for (const Args& args : {Args{"--embed-subs", qpel.string()}, Args{plain.string()}}) {
    const ProgramRun run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err;
  }
  ASSERT_EQ(Entries(output), (Args{"QL_Film qpel.avi", "QL_Plain.avi"}));
  const std::string repaired = (output / "QL_Film qpel.avi").string();
  EXPECT_EQ(MediaInfo(repaired, "%Format_Settings_QPel%|%Format_Settings_GMC%"), "No|0");
  const std::string before = LowerBand(qpel), after = LowerBand(repaired);
  ASSERT_EQ(before.size(), after.size());
  int changed = 0;
  for (size_t i = 0; i < before.size(); ++i)
    changed += std::abs(int(uint8_t(before[i])) - int(uint8_t(after[i]))) > 80;
  EXPECT_GT(changed, 150) << "no text drawn in the lower band";
  const std::string sound = (output / "QL_Plain.avi").string();
  ExpectFacts(sound,
              "video.codec_tag_string=XVID audio.codec_name=mp3 audio.sample_rate=48000 "
              "audio.bit_rate=160000");
  for (const std::string& result : {repaired, sound})
    EXPECT_NEAR(StreamSeconds(result, "v:0"), 3, 0.3) << result;

  const fs::path second = work.path() / "second out";
  fs::create_directories(second);
  const ProgramRun folderRun = Run({"--output", second.string(), "--avi-folder", films.string()});
  EXPECT_EQ(folderRun.status, 0) << folderRun.err;
  EXPECT_EQ(Entries(second), Args{"QL_Film qpel.avi"}) << folderRun.err;
  EXPECT_EQ(MediaInfo((second / "QL_Film qpel.avi").string(), "%Format_Settings_QPel%"), "No");
  // The output folder was for this run only.
  EXPECT_EQ(CrLfLines(ReadFile(program.folder() / "Quillet.conf"))[3], output.string() + "/");
}

// A folder of Matroska films: each becomes an MP4 with picture and sound, and the one whose
// MP4 is there already is left alone.
TEST_F(FilmKinds, AFolderOfMkvFilmsIsConvertedSkippingTheOneDone) {
  const fs::path films = work.path() / "mkv films";
  fs::create_directories(films);
  const std::string film =
      ShelvedFilm("film.mkv",
                  "ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25:d=1 -f lavfi "
                  "-i sine=d=1 -c:v libx264 -preset ultrafast -profile:v high -level 4.1 "
                  "-pix_fmt yuv420p -c:a ac3 -ac 2 raw.mkv && mkvmerge -q -o film.mkv raw.mkv");
  for (const char* name : {"b film.mkv", "a film.mkv", "c film.mkv"})
    fs::copy_file(film, films / name);
  WriteFile(output / "c film.mp4", "an earlier result");
  const ProgramRun run = Run({films.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Entries(output), (Args{"a film.mp4", "b film.mp4", "c film.mp4"})) << run.err;
  EXPECT_EQ(ReadFile(output / "c film.mp4"), "an earlier result");
  for (const char* name : {"a film.mp4", "b film.mp4"}) {
    ExpectFacts((output / name).string(), "video.codec_name=h264 audio.codec_name=aac");
    EXPECT_TRUE(DecodesCleanly((output / name).string()));
  }
}

}  // namespace
}  // namespace quillet::test
