// Real conversions of Matroska films by the built program, one per road, each result judged
// as a player meets it: the chosen sound in every channel, H.264 at level 4.1, the length.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/ToolkitRun.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
const std::string kFfmpeg = "ffmpeg -nostdin -v error -y ";

// H.264 High 5.1 (the level the consoles refuse), 23.976 fps, a key frame a second: v.mkv.
std::string Picture(const std::string& size, int seconds, const std::string& x264 = "") {
  return kFfmpeg + "-f lavfi -i testsrc=size=" + size + ":rate=24000/1001 -t " +
         std::to_string(seconds) +
         " -c:v libx264 -preset ultrafast -g 24 -x264-params cabac=1:8x8dct=1:bframes=2" + x264 +
         " -profile:v high -level 5.1 -pix_fmt yuv420p v.mkv && ";
}

// A tone of `hertz` in every channel; `stepped`: each channel 4 dB below the one before and
// the LFE at 60 Hz, so a lost or swapped channel shows in the levels.
std::string Tone(int hertz, int channels, int seconds, bool stepped, const std::string& codec) {
  std::string graph, inputs, pan = channels == 6 ? "pan=5.1" : "pan=stereo";
  for (int c = 0; c < channels; ++c) {
    const int f = stepped && c == 3 ? 60 : hertz;
    graph += quillet::Format("sine=f=%d:d=%d[t%d];", f, seconds, c);
    inputs += quillet::Format("[t%d]", c);
    pan += quillet::Format("|c%d=%.3f*c%d", c, stepped ? std::pow(10.0, -0.2 * c) : 1.0, c);
  }
  return kFfmpeg + "-filter_complex " +
         ShellQuoted(graph + inputs + quillet::Format("amerge=inputs=%d,", channels) + pan +
                     "[a]") +
         " -map '[a]' -ar 48000 " + codec + " && ";
}

// 960x720 shown 1280 wide, with two tracks told apart by their tone: AAC stereo at 440 Hz
// (default, Japanese) and AC3 5.1 at 1000 Hz in steps (English).
std::string TwoTrackFilm() {
  return ShelvedFilm("Mon été 2009.mkv",
                     Picture("960x720", 3, ":ref=4") +
                         Tone(440, 2, 3, false, "-c:a aac -b:a 192k a.m4a") +
                         Tone(1000, 6, 3, true, "-c:a ac3 -b:a 448k b.ac3") +
                         "mkvmerge -q -o 'Mon été 2009.mkv' --display-dimensions 0:1280x720 v.mkv "
                         "--language 0:jpn --default-track 0:1 a.m4a --language 0:eng "
                         "--default-track 0:0 b.ac3");
}

// Bytes of a clip changed where a fault would be: each source packet of `pid` that starts a
// PES, with its payload (after the PES header), for the planting function to change.
void PlantInPes(const fs::path& clip, uint16_t pid,
                const std::function<void(uint8_t*, size_t)>& plant) {
  std::fstream file(clip, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<uint8_t> packet(192);
  for (std::streamoff at = 0;
       file.seekg(at) && file.read(reinterpret_cast<char*>(packet.data()), 192); at += 192) {
    uint8_t* ts = packet.data() + 4;
    if ((((ts[1] & 0x1F) << 8) | ts[2]) != pid || !(ts[1] & 0x40)) continue;
    const size_t pes = 4 + ((ts[3] & 0x20) ? 1 + ts[4] : 0);
    if (pes + 9 >= 188) continue;
    const size_t payload = pes + 9 + ts[pes + 8];
    if (payload >= 188) continue;
    plant(ts + payload, 188 - payload);
    file.seekp(at);
    file.write(reinterpret_cast<const char*>(packet.data()), 192);
  }
}

class Conversion : public ProgramTest {
 protected:
  // A copy of a folder the program made, with one fault planted, is named by the check.
  void ExpectPlantedFaultsNamed(const fs::path& made) {
    struct Plant {
      std::string rule;
      std::function<void(const fs::path& clip)> plant;
    };
    const Plant plants[] = {
        // The clip is cut short of a whole aligned unit.
        {"aligned-units",
         [](const fs::path& clip) { fs::resize_file(clip, fs::file_size(clip) - 5 * 192); }},
        // Every key frame but the first loses its sequence and picture parameter sets.
        {"parameter-sets",
         [](const fs::path& clip) {
           int seen = 0;
           PlantInPes(clip, 0x1011, [&](uint8_t* es, size_t size) {
             bool key = false;
             for (size_t i = 0; i + 3 < size; ++i)
               key = key ||
                     (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1 && (es[i + 3] & 0x1F) == 7);
             if (!key || seen++ == 0) return;
             for (size_t i = 0; i + 3 < size; ++i)
               if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1 &&
                   ((es[i + 3] & 0x1F) == 7 || (es[i + 3] & 0x1F) == 8))
                 es[i + 3] = 0x0C;  // filler data
           });
         }},
        // The AC3 frames say 44.1 kHz.
        {"sample-rate",
         [](const fs::path& clip) {
           PlantInPes(clip, 0x1100, [](uint8_t* es, size_t size) {
             if (size > 5 && es[0] == 0x0B && es[1] == 0x77)
               es[4] = static_cast<uint8_t>((es[4] & 0x3F) | 0x40);
           });
         }},
    };
    for (const Plant& p : plants) {
      const fs::path copy = work.path() / ("planted " + p.rule);
      fs::copy(made, copy, fs::copy_options::recursive);
      p.plant(copy / "BDMV" / "STREAM" / "00000.m2ts");
      std::set<std::string> broken;
      EXPECT_EQ(Verdict(copy.string(), "bluray", &broken), "remux") << p.rule;
      EXPECT_EQ(broken.count(p.rule), 1u) << p.rule;
    }
  }
};

// The PS3 gets the chosen (second, non-default) track as AAC 5.1 with every channel at its
// level, the picture with its level byte at 4.1 and its shape; and the check agrees.
TEST_F(Conversion, Mp4GetsTheChosenTrackInEveryChannelAndPlaysAsTheCheckSaid) {
  const std::string source = TwoTrackFilm();
  EXPECT_EQ(Verdict(source, "ps3"), "level-patch");
  const ProgramRun run = Run({"--audio", "2", source});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Holds(run.err, "Conversion done"));
  ASSERT_EQ(Entries(output), Args{"Mon été 2009.mp4"}) << run.err;
  EXPECT_EQ(Entries(start), Args{});
  const std::string result = Out("Mon été 2009.mp4");
  ExpectFacts(result,
              "video.codec_name=h264 video.profile=High video.level=41 video.width=960 "
              "video.height=720 video.sample_aspect_ratio=4:3 video.r_frame_rate=24000/1001 "
              "video.nb_frames=72 audio.codec_name=aac audio.channels=6 format.nb_streams=2");
  EXPECT_NEAR(ToneHertz(result), 1000, 50);
  const std::vector<double> sent = ChannelLevels(source, "0:a:1"),
                            heard = ChannelLevels(result, "0:a:0");
  ASSERT_EQ(heard.size(), 6u);
  ASSERT_EQ(sent.size(), 6u);
  for (size_t c = 0; c < 6; ++c) EXPECT_NEAR(heard[c], sent[c], 1.5) << "channel " << c + 1;
  ExpectLength(result, 3);
  EXPECT_TRUE(DecodesCleanly(result));
  EXPECT_EQ(Verdict(result, "ps3"), "plays");
}

// One command line on one film: the one result it leaves, what ffprobe says of it, the
// tone of its first channel and its length; the settings file's options as they were.
struct Road {
  std::string label;
  std::string (*film)();
  Args options;
  std::string result, facts;
  double hertz, seconds;
  std::string motion;  // mediainfo: quarter-pixel motion and GMC, which no console plays
  friend void PrintTo(const Road& road, std::ostream* os) { *os << road.label; }
};

class Roads : public ProgramTest, public ::testing::WithParamInterface<Road> {};

TEST_P(Roads, GiveWhatThePlayerPlays) {
  const Road& r = GetParam();
  Args args = r.options;
  args.push_back(r.film());
  const Args before = CrLfLines(ReadFile(program.folder() / "Quillet.conf"));
  const ProgramRun run = Run(args);
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Entries(output), Args{r.result}) << run.err;
  const std::string result = Out(r.result);
  ExpectFacts(result, r.facts);
  if (r.hertz > 0) EXPECT_NEAR(ToneHertz(result), r.hertz, r.hertz * 0.05);
  ExpectLength(result, r.seconds, 0.3);
  EXPECT_TRUE(DecodesCleanly(result));
  if (!r.motion.empty())
    EXPECT_EQ(MediaInfo(result, "%Format_Settings_QPel%|%Format_Settings_GMC%"), r.motion);
  // The program rewrites only its own lines (the tool paths).
  const Args after = CrLfLines(ReadFile(program.folder() / "Quillet.conf"));
  ASSERT_EQ(after.size(), 15u);
  for (size_t n : {3, 4, 5, 8, 10, 11, 12, 13, 14}) EXPECT_EQ(after[n], before[n]) << n + 1;
}

// AAC 5.1 at 440 Hz in every channel.
std::string Concert() {
  return ShelvedFilm("Concert.mkv", Picture("320x240", 4) +
                                        Tone(440, 6, 4, false, "-c:a aac a.m4a") +
                                        "mkvmerge -q -o Concert.mkv v.mkv a.m4a");
}
std::string Film() {
  return TestFilm("Film.mkv", "320x240", 4, "-c:v libx264 -preset ultrafast -c:a ac3 -ac 6");
}
const double k25 = 25 / 23.976;  // the speed-up, the sound lowered a semitone first

// clang-format off
const Road kRoads[] = {
    // The default track as AC3 stereo in a PS3 transport stream.
    {"M2tsForTheStereoPs3", TwoTrackFilm, {"--m2ts", "--target", "ps3-stereo"}, "Mon été 2009.mpg",
     "format.format_name=mpegts video.codec_name=h264 video.level=41 audio.codec_name=ac3 "
     "audio.channels=2", 440, 3, ""},
    // AAC 5.1 passed on is mixed down for the stereo PS3, and retimed at 25 fps.
    {"Ps3StereoMixesDownSurroundAac", Concert, {"--target", "ps3-stereo"}, "Concert.mp4",
     "audio.codec_name=aac audio.channels=2", 440, 4, ""},
    {"At25FpsTheSoundKeepsInSync", Concert, {"--25fps"}, "Concert.mp4",
     "audio.codec_name=aac audio.channels=2", 440 * k25 / 1.059463, 4 / k25, ""},
    {"XvidWithTheSourcesAc3", Film, {"--recode", "xvid"}, "Film.avi",
     "format.format_name=avi video.codec_tag_string=XVID video.width=320 audio.codec_name=ac3 "
     "audio.channels=6", 0, 4, "No|0"},
    {"Mpeg2ForTheStereoPs3", Film, {"--recode", "mpeg2", "--target", "ps3-stereo"}, "Film.mpg",
     "format.format_name=mpegts video.codec_name=mpeg2video video.width=320 "
     "audio.codec_name=ac3 audio.channels=2", 0, 4, ""},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Conversion, Roads, ::testing::ValuesIn(kRoads),
                         [](const auto& info) { return info.param.label; });

// The chosen AC3 track carried over as it is, the subtitle file given drawn as a PGS
// stream, a size the players may refuse warned about, and a folder libbluray reads.
TEST_F(Conversion, AvchdFolderCarriesTheChosenTrackAndTheSubtitlesGiven) {
  const std::string source = TwoTrackFilm();
  const std::string subs = (work.path() / "other name.srt").string();
  WriteFile(subs, "1\r\n00:00:00,500 --> 00:00:02,000\r\nQUILLET TEST\r\n");
  const ProgramRun run = Run({"--avchd", "--audio", "2", "--subs", subs, source});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Holds(run.err, "AVCHD info.: Incorrect AVCHD resolution"));
  ASSERT_EQ(Entries(output), Args{"Mon été 2009"}) << run.err;
  const fs::path folder = output / "Mon été 2009";
  const std::string clip = (folder / "BDMV" / "STREAM" / "00000.m2ts").string();
  ExpectFacts(clip,
              "video.codec_name=h264 video.level=41 audio.codec_name=ac3 audio.channels=6 "
              "audio.bit_rate=448000 subtitle.codec_name=hdmv_pgs_subtitle");
  auto packets = [](const std::string& path, const std::string& track) {
    return Quiet(Around("ffmpeg -nostdin -v error -i", path, "-map " + track + " -c copy -f md5 -"))
        .out;
  };
  EXPECT_EQ(packets(clip, "0:a:0"), packets(source, "0:a:1"));
  ExpectLength(clip, 3, 0.5);
  const toolkit::ToolResult titles = Quiet({"bd_list_titles", "-l", folder.string()});
  EXPECT_TRUE(Holds(titles.out, "V:1 A:1  PG:1"));
  EXPECT_TRUE(Holds(titles.out, "eng")) << titles.out;
  EXPECT_FALSE(Holds(titles.out, "und")) << titles.out;
  EXPECT_EQ(Verdict(folder.string(), "bluray"), "plays");
  ExpectPlantedFaultsNamed(folder);
}

// German AAC at 44.1 kHz goes into the folder as AC3 at 48 kHz, its tone and language kept;
// the subtitle file's name gives the subtitles' language.
TEST_F(Conversion, AvchdFolderTakesSoundAt48kHzAndKeepsTheLanguages) {
  const std::string source = ShelvedFilm(
      "Lied.mkv", Picture("1280x720", 3) + Tone(440, 2, 3, false, "-ar 44100 -c:a aac a.m4a") +
                      "mkvmerge -q -o Lied.mkv v.mkv --language 0:ger a.m4a");
  EXPECT_EQ(Probe(source, "a:0", "sample_rate"), "44100");
  const std::string subs = (work.path() / "Lied.French.srt").string();
  WriteFile(subs, "1\r\n00:00:00,500 --> 00:00:02,000\r\nQUILLET TEST\r\n");
  const ProgramRun run = Run({"--avchd", "--subs", subs, source});
  EXPECT_EQ(run.status, 0) << run.err;
  const fs::path folder = output / "Lied";
  const std::string clip = (folder / "BDMV" / "STREAM" / "00000.m2ts").string();
  ExpectFacts(clip, "audio.codec_name=ac3 audio.sample_rate=48000 audio.channels=2");
  EXPECT_NEAR(ToneHertz(clip), 440, 22);
  ExpectLength(clip, 3, 0.5);
  const std::string titles = Quiet({"bd_list_titles", "-l", folder.string()}).out;
  EXPECT_TRUE(Holds(titles, "AUD: ger") && Holds(titles, "PG : fre")) << titles;
}

// The transport stream carries the subtitle file kept beside the film, named in the output,
// as a subtitle stream in the language its name gives.
TEST_F(Conversion, TransportStreamCarriesTheSubtitlesBesideTheFilm) {
  fs::create_directories(work.path() / "films");
  const fs::path source = work.path() / "films" / "Film.mkv";
  fs::copy_file(Film(), source);
  WriteFile(work.path() / "films" / "Film.he.srt", "1\r\n00:00:00,500 --> 00:00:02,000\r\nQ\r\n");
  const std::string said = (work.path() / "said.txt").string();
  const ProgramRun run = program.Run({"--m2ts", source.string()}, start.string(), "", said);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(said), "Subtitles: Film.he.srt\n");
  EXPECT_EQ(Probe(Out("Film.mpg"), "s:0", "codec_name"), "hdmv_pgs_subtitle");
  EXPECT_EQ(ProbeEntry(Out("Film.mpg"), "stream_tags=language", "s:0"), "heb");
}

// Sixteen reference frames overflow the level 4.1 buffer at 1024x576: the checker asks
// for a re-encode and, with no format chosen, H264 is taken; the Xbox 360 gets stereo AAC
// of the Vorbis track, and the check finds the result playable.
TEST_F(Conversion, AnOverflowingStreamIsReencodedWithNoFormatChosen) {
  const std::string source = TestFilm("sixteen refs.mkv", "1024x576", 1,
                                      "-c:v libx264 -preset ultrafast -x264-params ref=16 "
                                      "-profile:v high -level 5.1 -c:a libvorbis -ac 6");
  EXPECT_EQ(Verdict(source, "xbox360"), "re-encode");
  program.WriteSettings({output.string() + "/", work.str() + "/", 1, false, -1});
  const ProgramRun run = Run({source});
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Entries(output), Args{"sixteen refs.mp4"}) << run.err;
  const std::string result = Out("sixteen refs.mp4");
  ExpectFacts(result,
              "video.codec_name=h264 video.level=41 video.width=1024 audio.codec_name=aac "
              "audio.channels=2");
  ExpectLength(result, 1);
  EXPECT_EQ(Verdict(result, "xbox360"), "plays");
}

// MPEG-2 films are repacked into a program stream; AAC sound cannot go there and is
// refused with a box, while the other film of the same call is made.
TEST_F(Conversion, Mpeg2IsRepackedAndAacInItRefused) {
  const std::string mpeg2 = "-c:v mpeg2video -b:v 3M -ac 2 -c:a ";
  const std::string mp2 = TestFilm("Old Film.mkv", "352x288", 4, mpeg2 + "mp2");
  const std::string aac = TestFilm("Old aac.mkv", "352x288", 4, mpeg2 + "aac");
  const ProgramRun run = Run({mp2, aac});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(Holds(run.err, "Audio error: "));
  EXPECT_TRUE(Holds(run.err, "cannot carry AAC"));
  ASSERT_EQ(Entries(output), Args{"Old Film.mpg"});
  ExpectFacts(Out("Old Film.mpg"),
              "format.format_name=mpeg video.codec_name=mpeg2video video.width=352 "
              "audio.codec_name=mp2 audio.channels=2");
  ExpectLength(Out("Old Film.mpg"), 4, 0.5);
}

// A picture no player decodes as it is, and what the refusal and the check say of it.
struct Undecodable {
  std::string name, size, video, reason, encoded;  // encoded: "width height" re-encoded
  friend void PrintTo(const Undecodable& u, std::ostream* os) { *os << u.name; }
};

class Undecodables : public Conversion, public ::testing::WithParamInterface<Undecodable> {};

// Copied into the MP4 it would not play: refused before any tool with the check's reason.
// Re-encoded, it becomes 8-bit 4:2:0 H.264 within 1920x1080, its shape and sound kept.
TEST_P(Undecodables, AreReencodedOrRefusedAsTheCheckSays) {
  const Undecodable& u = GetParam();
  const std::string film = TestFilm(u.name + ".mkv", u.size, 1, u.video + " -c:a ac3 -ac 2");
  EXPECT_EQ(Verdict(film, "ps3"), "re-encode");
  const ProgramRun copied = Run({film});
  EXPECT_EQ(copied.status, 1);
  EXPECT_TRUE(Holds(copied.err, "Video error: " + u.name + ".mkv: " + u.reason));
  EXPECT_FALSE(Holds(copied.err, "Extracting"));
  EXPECT_EQ(Entries(output), Args{});
  const ProgramRun run = Run({"--recode", "h264", film});
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Entries(output), Args{u.name + ".mp4"}) << run.err;
  const std::vector<std::string> size = Words(u.encoded);
  ExpectFacts(Out(u.name + ".mp4"),
              "video.codec_name=h264 video.profile=High video.level=41 "
              "video.pix_fmt=yuv420p video.width=" +
                  size[0] + " video.height=" + size[1] + " audio.codec_name=aac");
  // The encoder's padding around one second of AAC adds sign changes of its own.
  EXPECT_NEAR(ToneHertz(Out(u.name + ".mp4")), 440, 44);
  EXPECT_EQ(Verdict(Out(u.name + ".mp4"), "ps3"), "plays");
}

// clang-format off
const Undecodable kUndecodables[] = {
    {"hevc", "320x240", "-c:v libx265 -preset ultrafast -x265-params log-level=none", "video codec hevc: an MP4 file for this player holds h264, mpeg4", "320 240"},
    {"av1", "320x240", "-c:v libaom-av1 -cpu-used 8", "video codec av1", "320 240"},
    {"vp9", "320x240", "-c:v libvpx-vp9 -deadline realtime", "video codec vp9", "320 240"},
    {"high10", "320x240", "-c:v libx264 -preset ultrafast -pix_fmt yuv420p10le", "H.264 profile High 10: the player decodes", "320 240"},
    {"high422", "320x240", "-c:v libx264 -preset ultrafast -pix_fmt yuv422p", "H.264 profile High 4:2:2", "320 240"},
    {"uhd", "3840x2160", "-c:v libx264 -preset ultrafast", "frame size 3840x2160 is over 1920x1080", "1920 1080"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Conversion, Undecodables, ::testing::ValuesIn(kUndecodables),
                         [](const auto& info) { return info.param.name; });

// Sound only: no film to convert, said before any tool runs; the check finds no film
// either, in Matroska or MP4.
TEST_F(Conversion, SoundWithoutPictureIsRefused) {
  const auto sound = [](const std::string& name) {
    return ShelvedFilm(
        name, "ffmpeg -v error -f lavfi -i sine=r=48000 -t 1 -c:a aac " + ShellQuoted(name));
  };
  const ProgramRun run = Run({sound("sound only.mkv")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Holds(run.err, "Video error: sound only.mkv has no video track"));
  EXPECT_FALSE(Holds(run.err, "Extracting"));
  EXPECT_EQ(Entries(output), Args{});
  for (const std::string name : {"sound only.mkv", "sound only.mp4"})
    EXPECT_EQ(Verdict(sound(name), "ps3"), "remux") << name;
}

size_t BrightPixelsBelow(const std::string& film, double at) {
  const std::string grey = LowerThird(film, at);
  return std::count_if(grey.begin(), grey.end(), [](char c) { return uint8_t(c) > 160; });
}

// The subtitle file given is burnt into the H.264 re-encode of a black film while its cue
// shows, and only then.
TEST_F(Conversion, AnH264RecodeBurnsInTheSubtitlesOnTime) {
  const std::string source =
      TestFilm("dark.mkv", "320x240", 4, "-vf drawbox=c=black:t=fill -c:v libx264 -c:a ac3 -ac 2");
  const std::string subs = (work.path() / "dark subs.srt").string();
  WriteFile(subs, "1\r\n00:00:01,000 --> 00:00:02,000\r\nQUILLET TEST\r\n");
  const ProgramRun run = Run({"--recode", "h264", "--embed-subs", "--subs", subs, source});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string result = Out("dark.mp4");
  ASSERT_EQ(Entries(output), Args{"dark.mp4"}) << run.err;
  EXPECT_EQ(Probe(result, "v:0", "codec_name"), "h264");
  EXPECT_EQ(BrightPixelsBelow(source, 1.5), 0u);
  EXPECT_GT(BrightPixelsBelow(result, 1.5), 50u) << "no text burnt in while the cue shows";
  EXPECT_EQ(BrightPixelsBelow(result, 0.5), 0u) << "the cue came early";
  EXPECT_EQ(BrightPixelsBelow(result, 2.7), 0u) << "the cue stayed";
}

// A small tmpfs as the output folder: a disk that fills up (mounting needs root).
struct SmallDisk {
  explicit SmallDisk(const std::string& size) {
    fs::create_directories(point);
    mounted = ::mount("tmpfs", point.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted) ::umount2(point.c_str(), MNT_DETACH);
  }
  bool mounted = false;
  TempFolder root{"quillet-e2e-disk"};
  std::string point = (root.path() / "out disk").string();
};

// Ten seconds of AC3 5.1 sound.
std::string TenSeconds() {
  return TestFilm("film.mkv", "320x240", 10, "-c:v libx264 -preset ultrafast -c:a ac3 -ac 6");
}

TEST_F(Conversion, AConversionThatCannotFitIsRefusedBeforeAnyTool) {
  SmallDisk disk("70m");
  if (!disk.mounted) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  const std::string padded =  // 50 MB larger than it plays
      ShelvedFilm("padded film.mkv",
                  "head -c 50M /dev/urandom > pad.bin && mkvmerge -q -o "
                  "'padded film.mkv' --attach-file pad.bin " +
                      ShellQuoted(TenSeconds()));
  const ProgramRun run = Run({"--output", disk.point, padded});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_TRUE(Holds(run.err, "Disk space: Not enough free space in " + disk.point + "/: about 15"));
  EXPECT_TRUE(Holds(run.err, " MB needed, 73 MB free."));
  EXPECT_FALSE(Holds(run.err, "Extracting"));
  for (const std::string& name : Entries(disk.point)) EXPECT_EQ(name, "info.txt");
}

// Small films that pass the check of free space on a 200 kB disk, but whose results do
// not fit: the repaired AVI's sound at 160 kbit/s alone is 200 kB, and the MP4 road decodes
// the sound to 1.9 MB of WAV. No run says "done", each names its film, none leaves a result.
TEST_F(Conversion, AResultThatDoesNotFitTheDiskIsNoResult) {
  const struct {
    std::string film, result;
  } rows[] = {
      {ShelvedFilm("tiny.avi",
                   "ffmpeg -v error -f lavfi -i color=c=gray:size=64x48:rate=25 -f lavfi -i "
                   "sine=r=48000 -t 10 -pix_fmt yuv420p -c:v libxvid -b:v 20k -vtag XVID -c:a "
                   "libmp3lame -ac 1 -b:a 32k tiny.avi"),
       "QL_tiny.avi"},
      {ShelvedFilm("tiny.mkv",
                   "ffmpeg -v error -f lavfi -i color=c=gray:size=64x48:rate=24000/1001 -f lavfi "
                   "-i sine=r=48000 -t 10 -pix_fmt yuv420p -c:v libx264 -preset ultrafast -c:a "
                   "ac3 -ac 2 -b:a 32k tiny.mkv"),
       "tiny.mp4"},
  };
  for (const auto& row : rows) {
    SmallDisk disk("200k");
    if (!disk.mounted) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    const ProgramRun run = Run({"--output", disk.point, row.film});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(Holds(run.err, fs::path(row.film).stem().string())) << run.err;
    EXPECT_FALSE(Holds(run.err, "Conversion done"));
    EXPECT_FALSE(fs::exists(disk.point + "/" + row.result));
  }
}

TEST_F(Conversion, ASlotThatRunsOutOfSpaceSaysWhereAndLeavesNothing) {
  SmallDisk disk("3m");
  if (!disk.mounted) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  // Ten seconds of 5.1 sound decode to about 5.8 MB of WAV.
  const toolkit::ToolResult r = Quiet({(program.folder() / "TS" / "wavgrab.exe").string(),
                                       TenSeconds(), disk.point + "/movie.wav"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(Holds(r.err, "no space left in " + disk.point + ": 0.00 MB free"));
  EXPECT_EQ(Entries(disk.point), Args{});
}

// A film whose rate changes halfway (5 s at 60 fps, then 5 s at 30), with 10 s of sound: as
// an MP4 and as a transport stream each stream of the result lasts as long as the source's.
TEST_F(Conversion, AFilmOfVaryingRateKeepsItsLength) {
  const std::string source = ShelvedFilm(
      "Varying rate.mkv",
      kFfmpeg +
          "-f lavfi -i testsrc=size=320x240:rate=60:d=5 -f lavfi -i "
          "testsrc=size=320x240:rate=30:d=5 -f lavfi -i sine=d=10:sample_rate=48000 "
          "-filter_complex '[0][1]concat=n=2:v=1:a=0[v]' -map '[v]' -map 2 -c:v libx264 "
          "-preset ultrafast -pix_fmt yuv420p -fps_mode vfr -c:a ac3 -ac 2 "
          "'Varying rate.mkv'");
  const struct {
    std::string option, result;
  } roads[] = {{"--mp4", "Varying rate.mp4"}, {"--m2ts", "Varying rate.mpg"}};
  for (const auto& road : roads) {
    const ProgramRun run = Run({road.option, source});
    EXPECT_EQ(run.status, 0) << road.option << "\n" << run.err;
    ExpectLength(Out(road.result), 10, 0.5);
  }
}

}  // namespace
}  // namespace quillet::test
