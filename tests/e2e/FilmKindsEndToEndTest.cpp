// Every kind of film the built program takes besides a single Matroska file: "quillet
// --check" on each kind, WMV films, AVI films checked and repaired, a folder of MKV films.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Json = quillet::JsonValue;

std::string Film(const std::string& name, const std::string& options, int seconds = 1) {
  return TestFilm(name, "320x240", seconds, options);
}

const std::string kH264 = "-c:v libx264 -preset veryfast -profile:v high -level ";

std::string Wmv2() {
  return Film("film.wmv", "-c:v wmv2 -c:a wmav2 -ac 2", 3);
}

using FilmKinds = ProgramTest;

TEST_F(FilmKinds, CheckGivesEveryFilmItsVerdictForEveryPlayerAndTheExitStatus) {
  // A valid MP4 grown to 4.5 GiB by a trailing "free" box of 64-bit size that is a hole in
  // the file: every reader skips it, and the file system gives the full size.
  const std::string big = ShelvedFilm(
      "big.mp4", "cp " + ShellQuoted(Film("stereo.mp4", kH264 + "3.0 -c:a aac -ac 2")) +
                     " big.mp4 && perl -e 'print \"\\0\\0\\0\\1free\", pack(\"Q>\", "
                     "4831838208 - -s \"big.mp4\")' >> big.mp4 && truncate -s 4831838208 big.mp4");
  const Args films = {
      Film("level51 4refs.mkv", kH264 + "5.1 -x264-params ref=4 -c:a ac3 -ac 6"),
      TestFilm("16refs.mkv", "1024x576", 1, kH264 + "5.1 -x264-params ref=16 -an"),
      Film("aac51.mp4", kH264 + "3.0 -c:a aac -ac 6"),
      Film("mpeg2.mkv", "-c:v mpeg2video -c:a ac3 -ac 6"),
      ShelvedFilm("srt.mkv",
                  "printf '1\\n00:00:00,000 --> 00:00:00,900\\nHello\\n' > s.srt && "
                  "mkvmerge -q -o srt.mkv " +
                      ShellQuoted(Film("dts.mkv", kH264 + "3.0 -c:a dca -strict -2 -ac 6")) +
                      " s.srt"),
      XvidAvi("Film qpel.avi", ":qpel"),
      XvidAvi("Plain.avi", ""),
      Wmv2(),
      big};
  const fs::path tmp = work.path() / "tmp";
  fs::create_directories(tmp);
  Json doc;  // of the last check
  auto check = [&](Args args) {
    args.insert(args.begin(), {"--check", "--json"});
    const std::string json = (work.path() / "check.json").string();
    const int status =
        program.Run(args, work.str(), "TMPDIR=" + ShellQuoted(tmp.string()), json).status;
    doc = quillet::ParseJson(ReadFile(json), nullptr).value_or(Json());
    return status;
  };
  EXPECT_EQ(check(films), 1);
  ASSERT_EQ(doc.at("files").size(), films.size()) << doc.dump(1);
  // Film|player|verdict|the limits it breaks: the film's values|notes|re-encode to|output.
  std::set<std::string> verdicts;
  for (const Json& file : doc.at("files"))
    for (const Json& v : file.at("verdicts")) {
      std::string reasons, notes;
      for (const Json& r : v.value("reasons", Json::array()))
        reasons +=
            (reasons.empty() ? "" : ", ") + r.value("limit", "") + ": " + r.value("value", "");
      for (const Json& n : v.value("notes", Json::array())) notes += n.value("limit", "");
      verdicts.insert(fs::path(file.value("path", "")).filename().string() + "|" +
                      v.value("player", "") + "|" + v.value("verdict", "") + "|" + reasons + "|" +
                      notes + "|" + quillet::StringOf(quillet::Member(v, "reencodeTo")) + "|" +
                      quillet::StringOf(quillet::Member(v, "output")));
    }
  for (const char* expected :
       {// H.264 High 5.1 with 4 reference frames: only the level byte is wrong.
        "level51 4refs.mkv|ps3|level-patch|container: Matroska, level: 5.1, audio-codec: ac3|||MP4",
        "level51 4refs.mkv|bluray|level-patch|container: Matroska, level: 5.1|||AVCHD folder",
        // With 16 at 1024x576 they overflow the level 4.1 buffer.
        "16refs.mkv|xbox360|re-encode|container: Matroska, level: 16 reference frames, level: "
        "5.1||H.264|MP4",
        // AAC 5.1 in MP4: a PS3 plays it, an Xbox 360 or a stereo PS3 needs it mixed down.
        "aac51.mp4|ps3|plays||||", "aac51.mp4|xbox360|remux|audio-channels: 6 channels|||MP4",
        "aac51.mp4|ps3-stereo|remux|audio-channels: 6 channels|||MP4",
        // MPEG-2 in Matroska is repacked; the Xbox 360 gets nothing from this program.
        "mpeg2.mkv|ps3|remux|container: Matroska|||MPEG-2 file (.mpg)",
        "mpeg2.mkv|xbox360|re-encode|container: Matroska, video-codec: mpeg2, audio-codec: ac3, "
        "audio-channels: 6 channels|container|H.264|",
        // 4.5 GiB: too big for a FAT32 stick; a Blu-ray player minds not.
        "big.mp4|xbox360|remux|file-size: 4831838208 bytes|||MP4",
        "big.mp4|bluray|remux|container: MP4, audio-codec: aac|||AVCHD folder",
        // DTS: no MP4 carries it. The SRT track is a note: not shown from the MP4 made.
        "srt.mkv|ps3|remux|container: Matroska, audio-codec: dts|text-subtitles||MP4",
        // Xvid: QPel is re-encoded by the AVI repair; plain Xvid with MP3 plays.
        "Film qpel.avi|ps3|re-encode|qpel-gmc: QPel||Xvid|AVI (QL_ copy, the AVI check and "
        "repair)",
        "Plain.avi|ps3|plays||||", "Plain.avi|xbox360|plays||||",
        // WMV 8: the Xbox 360 plays it, the PS3 wants WMV 9 / VC-1.
        "film.wmv|xbox360|plays||||", "film.wmv|ps3|re-encode|video-codec: wmv2|container|H.264|"})
    EXPECT_EQ(verdicts.count(expected), 1u) << expected;
  EXPECT_TRUE(fs::is_empty(tmp));
  EXPECT_EQ(Entries(fs::path(films[0]).parent_path()), Args{"level51 4refs.mkv"});

  EXPECT_EQ(check({"--player", "ps3", "--", films[6], films[2]}), 0);  // Plain.avi, aac51.mp4
  EXPECT_EQ(check({films[2], "--player", "xbox360"}), 1);
  EXPECT_EQ(check({(work.path() / "missing.mkv").string()}), 3);
  const ProgramRun wrong = Run({"--check", "--player", "wii", films[2]});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_TRUE(Holds(wrong.err, "usage: quillet --check"));
  // A display does not bring up the window for a check.
  EXPECT_EQ(program.Run({"--check", films[6], "--player", "ps3"}, work.str(), "DISPLAY=:99").status,
            0);
}

// VC-1 in WMV becomes an AVCHD folder with AC3 at 48 kHz of the WMA sound (44.1 kHz); WMV 8 gets
// its sound that far, then the folder cannot be made, and the run says so.
TEST_F(FilmKinds, WmvFilmsTakeTheAvchdRoad) {
  const std::string vc1 = Vc1Wmv("Film vc1.wmv", 75);
  const ProgramRun run = Run({vc1, Wmv2()});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(Holds(run.err, "film/BDMV/index.bdmv was not created."));
  EXPECT_TRUE(fs::exists(output / "movie.ac3")) << "the sound of the WMV 8 film";
  const fs::path folder = output / "Film vc1";
  ExpectFacts((folder / "BDMV" / "STREAM" / "00000.m2ts").string(),
              "video.codec_name=vc1 audio.codec_name=ac3 audio.sample_rate=48000 "
              "audio.bit_rate=640000");
  EXPECT_TRUE(fs::exists(folder / "BDMV" / "index.bdmv"));
  const toolkit::ToolResult titles = Quiet({"bd_list_titles", folder.string()});
  EXPECT_TRUE(Holds(titles.out, "V:1 A:1"));
}

// QPel is repaired (with "--embed-subs" the subtitles beside drawn in), a playable Xvid
// gets only its sound anew.
TEST_F(FilmKinds, AviFilmsAreRepairedOrGetTheirSoundAnew) {
  const fs::path films = work.path() / "avi films";
  fs::create_directories(films);
  const fs::path qpel = films / "Film qpel.avi", plain = films / "Plain.avi";
  fs::copy_file(XvidAvi("Film qpel.avi", ":qpel"), qpel);
  fs::copy_file(XvidAvi("Plain.avi", ""), plain);
  ASSERT_EQ(MediaInfo(qpel, "%Format_Settings_QPel%"), "Yes");
  WriteFile(films / "Film qpel.srt", "1\r\n00:00:00,000 --> 00:00:03,000\r\nQUILLET TEST\r\n");
  for (const Args& args : {Args{"--embed-subs", qpel.string()}, Args{plain.string()}}) {
    const ProgramRun run = Run(args);
    EXPECT_EQ(run.status, 0) << run.err;
  }
  ASSERT_EQ(Entries(output), (Args{"QL_Film qpel.avi", "QL_Plain.avi"}));
  const std::string repaired = (output / "QL_Film qpel.avi").string();
  EXPECT_EQ(MediaInfo(repaired, "%Format_Settings_QPel%|%Format_Settings_GMC%"), "No|0");
  const std::string before = LowerThird(qpel, 1.5), after = LowerThird(repaired, 1.5);
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
}

// A folder of Matroska films: each becomes an MP4 with picture and sound, and the one whose
// MP4 is there already is left alone.
TEST_F(FilmKinds, AFolderOfMkvFilmsIsConvertedSkippingTheOneDone) {
  const fs::path films = work.path() / "mkv films";
  fs::create_directories(films);
  const std::string film = Film("folder film.mkv", "-c:v libx264 -preset ultrafast -c:a ac3 -ac 2");
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
