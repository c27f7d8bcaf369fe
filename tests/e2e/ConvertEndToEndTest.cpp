// Real conversions: small Matroska films made here with ffmpeg and mkvmerge, converted
// by the built program without a display, with the toolkit in its slots, and every
// result judged with ffprobe as a console would meet it: H.264 at level 4.1, AAC with the
// channels of the target, the pixel aspect of an anamorphic film, every frame and the
// whole length of sound and picture, and nothing but the MP4 left in the output folder.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/TestApp.h"
#include "base/JsonFields.h"
#include "toolkit/Process.h"
#include "base/Text.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Json = toolkit::JsonValue;
using toolkit::IntOf;
using toolkit::Member;
using toolkit::StringOf;
using Args = std::vector<std::string>;

enum class AudioKind { kAc3, kAac, kDts, kVorbis };

struct SampleFilm {
  std::string name;     // file name of the source, blanks included
  std::string size;     // coded frame size
  std::string rate;     // frame rate as a fraction
  std::string display;  // display size of an anamorphic film, else ""
  AudioKind audio;
  int channels;  // 6 (5.1) or 2
  double seconds;
  int referenceFrames = 1;  // more than the level 4.1 buffer holds at 1080p fail the check
};

struct Case {
  std::string label;
  SampleFilm film;
  int platform;      // 0 PS3 (5.1), 1 Xbox 360, 2 PS3 (2.0)
  int recodeFormat;  // -1 keep the source's video, 1 "H264", 3 "H264 (HQ)", -2 none chosen
  int channels;      // channels of the AAC track a console gets
};

// Tones of their own frequency and level in each channel, so a lost or swapped channel
// shows in the channel levels: 0, -4, -8, ... dB.
std::string TonesGraph(int channels, double seconds) {
  static const char* const kFrequencies[] = {"220", "330", "440", "60", "550", "660"};
  std::string graph, inputs, pan = channels == 6 ? "pan=5.1" : "pan=stereo";
  for (int c = 0; c < channels; ++c) {
    const std::string label = "[t" + std::to_string(c) + "]";
    graph += std::string("sine=f=") + kFrequencies[c] + ":d=" + toolkit::Format("%g", seconds) +
             label + ";";
    inputs += label;
    pan += toolkit::Format("|c%d=%.3f*c%d", c, std::pow(10.0, -4.0 * c / 20.0), c);
  }
  return graph + inputs + "amerge=inputs=" + std::to_string(channels) + "," + pan + "[a]";
}

// H.264 High at level 5.1 (the level the consoles refuse), with B-frames, and the audio
// of the given kind in a Matroska file made by mkvmerge.
::testing::AssertionResult MakeFilm(const SampleFilm& film, const fs::path& folder,
                                    std::string* path) {
  const std::string d = folder.string() + "/";
  const std::string seconds = toolkit::Format("%g", film.seconds);
  Args video =
      Words("ffmpeg -nostdin -y -v error -f lavfi -i testsrc=size=" + film.size +
            ":rate=" + film.rate + " -t " + seconds +
            " -c:v libx264 -preset ultrafast -x264-params cabac=1:8x8dct=1:bframes=2:ref=" +
            std::to_string(film.referenceFrames) + " -profile:v high -level 5.1 -pix_fmt yuv420p");
  video.push_back(d + "video.mkv");
  auto made = Made(video);
  if (!made) return made;

  // The encoder and file of each kind of audio, in the order of AudioKind.
  const std::pair<const char*, const char*> kinds[] = {{"-c:a ac3 -b:a 448k", "audio.ac3"},
                                                       {"-c:a aac -b:a 256k", "audio.m4a"},
                                                       {"-c:a dca -strict -2", "audio.dts"},
                                                       {"-c:a libvorbis", "audio.ogg"}};
  const auto& [codec, file] = kinds[static_cast<int>(film.audio)];
  const std::string audio = d + file;
  Args tones = Words("ffmpeg -nostdin -y -v error -filter_complex " +
                     TonesGraph(film.channels, film.seconds) + " -map [a] -ar 48000 " + codec);
  tones.push_back(audio);
  if (!(made = Made(tones))) return made;

  *path = d + film.name;
  Args merge = {"mkvmerge", "-q", "-o", *path};
  if (!film.display.empty())
    merge.insert(merge.end(), {"--display-dimensions", "0:" + film.display});
  merge.insert(merge.end(), {d + "video.mkv", audio});
  return Made(merge);
}

// ffprobe writes most numbers as text ("4.004000").
double Seconds(const Json& value) {
  return toolkit::NumberOf(value, -1);
}

// "00:00:04.004000000", the length mkvmerge records for each track.
double TagSeconds(const std::string& text) {
  const std::vector<std::string> parts = toolkit::Split(text, ':');
  if (parts.size() != 3) return -1;
  return std::stod(parts[0]) * 3600 + std::stod(parts[1]) * 60 + std::stod(parts[2]);
}

// The loudness of each channel of the first audio track, in dB.
std::vector<double> ChannelLevels(const std::string& path) {
  const toolkit::ToolResult r =
      Quiet({"ffmpeg", "-nostdin", "-i", path, "-map", "0:a:0", "-af",
             "astats=measure_overall=none:measure_perchannel=RMS_level", "-f", "null", "-"});
  std::vector<double> levels;
  for (const std::string& line : toolkit::Split(r.err, '\n')) {
    const size_t at = line.find("RMS level dB: ");
    if (at != std::string::npos) levels.push_back(std::stod(line.substr(at + 14)));
  }
  return levels;
}

// Keeps the source's video unless the checker finds the stream unplayable; "Re-encode
// to:" has no selection.
constexpr int kNoFormatChosen = -2;

class ConvertEndToEnd : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { RequireBuiltProgram(); }

  TempFolder work{"quillet-e2e-convert"};
};

TEST_P(ConvertEndToEnd, GivesAnMp4TheConsolePlays) {
  const Case& c = GetParam();
  const fs::path sources = work.path() / "films";
  const fs::path output = work.path() / "out folder";
  fs::create_directories(sources);
  fs::create_directories(output);

  std::string source;
  ASSERT_TRUE(MakeFilm(c.film, sources, &source));
  RealProgram program(work.path() / "program");
  EXPECT_EQ(program.SlotsOutsideTheCopy(), std::vector<std::string>{});
  ConversionSettings settings;
  settings.outputFolder = output.string() + "/";
  settings.sourceFolder = sources.string() + "/";
  settings.platform = c.platform;
  settings.recode = c.recodeFormat >= 0;
  settings.recodeFormat = c.recodeFormat == kNoFormatChosen ? -1 : std::max(c.recodeFormat, 0);
  program.WriteSettings(settings);

  const fs::path startFolder = work.path() / "started here";
  fs::create_directories(startFolder);
  const ProgramRun run = program.Convert(source, startFolder.string());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Conversion done"), std::string::npos) << run.err;

  // Nothing of the work is left beside the result.
  const std::string base = c.film.name.substr(0, c.film.name.size() - 4);
  const std::string result = (output / (base + ".mp4")).string();
  ASSERT_EQ(Entries(output), std::vector<std::string>{base + ".mp4"}) << run.err;
  EXPECT_EQ(Entries(startFolder), std::vector<std::string>{});

  const Json from = ProbeJson(source, {"-count_packets"});
  const Json to = ProbeJson(result);
  const Json* srcVideo = StreamOf(from, "video");
  const Json* srcAudio = StreamOf(from, "audio");
  ASSERT_TRUE(srcVideo && srcAudio);

  EXPECT_NE(StringOf(Member(Member(to, "format"), "format_name")).find("mp4"), std::string::npos);
  ASSERT_EQ(toolkit::Elements(Member(to, "streams")).size(), 2u)
      << "one picture and one sound track";
  const Json* video = StreamOf(to, "video");
  const Json* audio = StreamOf(to, "audio");
  ASSERT_TRUE(video && audio);

  // Picture: H.264 High at level 4.1, every frame at the source's rate and size.
  EXPECT_EQ(StringOf(Member(*video, "codec_name")), "h264");
  EXPECT_EQ(StringOf(Member(*video, "profile")), "High");
  EXPECT_EQ(IntOf(Member(*video, "level")), 41);
  EXPECT_EQ(IntOf(Member(*video, "width")), IntOf(Member(*srcVideo, "width")));
  EXPECT_EQ(IntOf(Member(*video, "height")), IntOf(Member(*srcVideo, "height")));
  EXPECT_EQ(StringOf(Member(*video, "r_frame_rate")), StringOf(Member(*srcVideo, "r_frame_rate")));
  EXPECT_EQ(StringOf(Member(*video, "nb_frames")), StringOf(Member(*srcVideo, "nb_read_packets")));
  const std::string sar = StringOf(Member(*video, "sample_aspect_ratio"));
  if (c.film.display.empty())
    EXPECT_TRUE(sar == "1:1" || sar == "0:1" || sar.empty()) << sar;
  else
    EXPECT_EQ(sar, "4:3");  // 1440 pixels shown 1920 wide

  // Sound: AAC with the target's channels, every source channel still heard.
  EXPECT_EQ(StringOf(Member(*audio, "codec_name")), "aac");
  EXPECT_EQ(IntOf(Member(*audio, "channels")), c.channels);
  const std::vector<double> heard = ChannelLevels(result);
  ASSERT_EQ(heard.size(), static_cast<size_t>(c.channels));
  if (c.channels == c.film.channels) {
    const std::vector<double> sent = ChannelLevels(source);
    ASSERT_EQ(sent.size(), heard.size());
    for (size_t ch = 0; ch < sent.size(); ++ch)
      EXPECT_NEAR(heard[ch], sent[ch], 1.5) << "channel " << ch + 1;
  } else {
    for (size_t ch = 0; ch < heard.size(); ++ch)
      EXPECT_GT(heard[ch], -40.0) << "channel " << ch + 1 << " of the down-mix is silent";
  }

  // Both tracks as long as the source's.
  const double srcVideoLength = TagSeconds(StringOf(Member(Member(*srcVideo, "tags"), "DURATION")));
  const double srcAudioLength = TagSeconds(StringOf(Member(Member(*srcAudio, "tags"), "DURATION")));
  EXPECT_NEAR(Seconds(Member(*video, "duration")), srcVideoLength, 0.2);
  EXPECT_NEAR(Seconds(Member(*audio, "duration")), srcAudioLength, 0.2);

  EXPECT_TRUE(DecodesCleanly(result));
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.label << " (" << c.film.name << ")";
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.label;
}

// Targets and video modes as the settings file names them.
constexpr int kPs3Surround = 0, kXbox360 = 1, kPs3Stereo = 2;
constexpr int kKeepVideo = -1, kH264 = 1, kH264TwoPasses = 3;

// clang-format off
// The source's own H.264 stream, its level rewritten to 4.1.
const Case kStreamCopy[] = {
    {"Ac3SurroundToPs3Surround",
     {"Holiday 2009.mkv", "320x240", "24000/1001", "", AudioKind::kAc3, 6, 4}, kPs3Surround, kKeepVideo, 6},
    {"AacSurroundToXbox360",
     {"aac film.mkv", "320x240", "24000/1001", "", AudioKind::kAac, 6, 4}, kXbox360, kKeepVideo, 2},
    {"DtsSurroundToPs3Stereo",
     {"dts film.mkv", "320x240", "24000/1001", "", AudioKind::kDts, 6, 4}, kPs3Stereo, kKeepVideo, 2},
    {"DtsSurroundToPs3Surround",
     {"dts.mkv", "320x240", "24000/1001", "", AudioKind::kDts, 6, 4}, kPs3Surround, kKeepVideo, 6},
    {"VorbisSurroundToPs3Surround",
     {"vorbis film.mkv", "320x240", "25", "", AudioKind::kVorbis, 6, 4}, kPs3Surround, kKeepVideo, 6},
    {"AnamorphicAc3ToPs3Surround",
     {"wide film.mkv", "1440x1080", "25", "1920x1080", AudioKind::kAc3, 6, 3}, kPs3Surround, kKeepVideo, 6},
};

// The video encoded anew at level 4.1: the slower cases, the encoder runs once or twice.
const Case kReencode[] = {
    {"NtscVorbisStereoToXbox360",
     {"ntsc vorbis.mkv", "320x240", "30000/1001", "", AudioKind::kVorbis, 2, 4}, kXbox360, kH264, 2},
    {"AnamorphicAacStereoToPs3Stereo",
     {"wide aac.mkv", "1440x1080", "25", "1920x1080", AudioKind::kAac, 2, 3}, kPs3Stereo, kH264, 2},
    {"NtscAc3SurroundToPs3StereoInTwoPasses",
     {"ntsc ac3.mkv", "640x360", "30000/1001", "", AudioKind::kAc3, 6, 4}, kPs3Stereo, kH264TwoPasses, 2},
    // Eight reference frames overflow the level 4.1 buffer at 1080p: the checker asks for a
    // re-encode and, with no format chosen, H264 is taken.
    {"EightReferenceFramesAt1080pAreRecodedWithNoFormatChosen",
     {"eight refs.mkv", "1920x1080", "24000/1001", "", AudioKind::kAc3, 6, 1.5, 8}, kPs3Surround, kNoFormatChosen, 6},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(StreamCopy, ConvertEndToEnd, ::testing::ValuesIn(kStreamCopy), CaseName);
INSTANTIATE_TEST_SUITE_P(Reencode, ConvertEndToEnd, ::testing::ValuesIn(kReencode), CaseName);

// A small tmpfs as the output folder: a disk that fills up. Mounting needs root; where
// it is not permitted the test says so and is skipped.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& size) {
    fs::create_directories(point_);
    mounted_ = ::mount("tmpfs", point_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(point_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  std::string path() const { return point_.string(); }

 private:
  TempFolder root_{"quillet-e2e-disk"};
  fs::path point_ = root_.path() / "out disk";
  bool mounted_ = false;
};

// A short Matroska film with AC3 5.1, made larger than it plays by an attachment.
::testing::AssertionResult MakePaddedFilm(const fs::path& folder, int padMegabytes,
                                          std::string* path) {
  const std::string d = folder.string() + "/";
  auto made =
      Made(Words("ffmpeg -nostdin -y -v error -f lavfi -i testsrc=size=320x240:rate=25 "
                 "-f lavfi -i sine -t 10 -ac 6 -c:v libx264 -preset ultrafast -c:a ac3 " +
                 d + "film.mkv"));
  if (!made || padMegabytes == 0) {
    *path = d + "film.mkv";
    return made;
  }
  if (RunShell("head -c " + std::to_string(padMegabytes) + "M /dev/urandom > " +
               ShellQuoted(d + "pad.bin"))
          .status != 0)
    return ::testing::AssertionFailure() << "cannot write " << d << "pad.bin";
  *path = d + "padded film.mkv";
  return Made({"mkvmerge", "-q", "-o", *path, "--attach-file", d + "pad.bin", d + "film.mkv"});
}

TEST(FullDisk, AConversionThatCannotFitIsRefusedBeforeAnyTool) {
  SmallDisk disk("70m");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  TempFolder work{"quillet-e2e-space"};
  std::string source;
  ASSERT_TRUE(MakePaddedFilm(work.path(), 50, &source));
  RealProgram program(work.path() / "program");
  ConversionSettings settings;
  settings.outputFolder = disk.path() + "/";
  settings.sourceFolder = work.str() + "/";
  settings.recodeFormat = 0;
  program.WriteSettings(settings);

  const ProgramRun run = program.Convert(source, work.str());
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("Disk space: Not enough free space in " + disk.path() + "/: about 0.1"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("Extracting"), std::string::npos) << run.err;
  // Inspection wrote its report; no conversion tool left anything.
  for (const std::string& name : Entries(disk.path())) EXPECT_EQ(name, "info.txt");
}

TEST(FullDisk, ASlotThatRunsOutOfSpaceSaysWhereAndLeavesNothing) {
  SmallDisk disk("3m");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  TempFolder work{"quillet-e2e-space"};
  std::string source;
  ASSERT_TRUE(MakePaddedFilm(work.path(), 0, &source));
  // Ten seconds of 5.1 sound decode to about 5.8 MB of WAV.
  const std::string wav = disk.path() + "/movie.wav";
  const toolkit::ToolResult r =
      Quiet({(RealProgram::BuiltFolder() / "TS" / "wavgrab.exe").string(), source, wav});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("no space left in " + disk.path() + ": 0.00 MB free"), std::string::npos)
      << r.err;
  EXPECT_EQ(Entries(disk.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace quillet::test
