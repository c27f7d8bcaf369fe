// The extraction table for every output the Matroska pipeline feeds (the transport
// stream and AVCHD rows included), and the encoder's pad filter for AVCHD.

#include <gtest/gtest.h>

#include "convert/ConvertSteps.h"
#include "tests/support/ConvertScaffold.h"

namespace quillet::test {
namespace {

// Opens a conversion of the prepared source and runs its extraction step alone.
void ExtractAndRecode(ConvertScaffold& s) {
  ConvertRun run;
  run.folder = s.outputDir.withSep();
  OpenConversion(s.app, run);
  ExtractAndRecode(s.app, run);
}

// The options of a case, set in this order.
enum Options { kVob = 1, kAvchd = 2, kNormalize = 4, kSafeSyncOrFastMux = 8, kXvidRecode = 16 };

struct ExtractionCase {
  const char* name;
  AudioType audio;
  int options;
  const char* command;  // "" when nothing is extracted
};

const char* const kVideo =
    R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.h264")";
const char* const kRawVideo =
    R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie_raw.h264")";

const ExtractionCase kExtractions[] = {
    {"VobSafeSyncTakesTheAudioOnly", kAudioDTS, kVob | kSafeSyncOrFastMux,
     R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 2:"{out}movie.dts")"},
    {"VobAc3TakesTheVideoOnly", kAudioAC3, kVob, kVideo},
    {"VobAc3NormalisedTakesBoth", kAudioAC3, kVob | kNormalize,
     R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.h264" 2:"{out}movie.ac3")"},
    {"VobDtsTakesBoth", kAudioDTS, kVob,
     R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.h264" 2:"{out}movie.dts")"},
    {"VobFastMuxAc3IsNotExtracted", kAudioAC3, kVob | kSafeSyncOrFastMux, ""},
    {"AvchdTakesTheRawVideoOnly", kAudioDTS, kAvchd, kRawVideo},
    {"AvchdFastMuxTakesBoth", kAudioDTS, kAvchd | kSafeSyncOrFastMux,
     R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.h264" 2:"{out}movie.dts")"},
    // AVCHD decodes a Vorbis track from the source itself.
    {"AvchdVorbisTakesTheRawVideoOnly", kAudioVorbis, kAvchd, kRawVideo},
    {"AvchdFastMuxVorbisIsNotExtracted", kAudioVorbis, kAvchd | kSafeSyncOrFastMux, ""},
    {"Mp4VorbisTakesBoth", kAudioVorbis, 0,
     R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.h264" 2:"{out}movie.ogg")"},
    {"RecodeReadsTheSourceItself", kAudioAC3, kXvidRecode, ""},
};

class Extraction : public ::testing::TestWithParam<ExtractionCase> {};

TEST_P(Extraction, ChoosesTheStreamsTheOutputNeeds) {
  const ExtractionCase& c = GetParam();
  ConvertScaffold s;
  s.MakeSource();
  s.Inspected(c.audio);
  Form1& f = s.form();
  if (c.options & kVob) f.chkVob.SetValue(1);
  if (c.options & kAvchd) f.chkAVCHD.SetValue(1);
  if (c.options & kNormalize) f.chkNorm.SetValue(1);
  if (c.options & kSafeSyncOrFastMux) f.chkFF.SetValue(1);
  if (c.options & kXvidRecode) {
    f.chkMP2.SetValue(1);
    f.cmdConv.SetListIndex(2);
  }

  ExtractAndRecode(s);

  if (*c.command)
    EXPECT_EQ(s.Commands(), std::vector<std::string>{s.X(c.command)});
  else
    EXPECT_TRUE(s.Commands().empty());
}

INSTANTIATE_TEST_SUITE_P(Outputs, Extraction, ::testing::ValuesIn(kExtractions),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PadFilter, LetterboxedHdIsPaddedForAvchdOnly) {
  struct Case {
    int width, height;
    bool avchd;
    const char* filter;
  };
  for (const Case& c :
       {Case{1920, 800, true, " -vf harddup,expand=1920:1080 "},
        Case{1280, 544, true, " -vf harddup,expand=1280:720 "},
        Case{1920, 1080, true, " -vf harddup \""}, Case{1920, 800, false, " -vf harddup \""}}) {
    ConvertScaffold s;
    s.MakeSource();
    s.Inspected(kAudioAC3);
    s.app.report.intPixelWidth = static_cast<int16_t>(c.width);
    s.app.report.intPixelHeight = static_cast<int16_t>(c.height);
    s.form().chkMP2.SetValue(1);
    s.form().cmdConv.SetListIndex(1);
    if (c.avchd) s.form().chkAVCHD.SetValue(1);

    ExtractAndRecode(s);

    ASSERT_EQ(s.Commands().size(), 1u);
    EXPECT_NE(s.Commands()[0].find(c.filter), std::string::npos) << c.width << "x" << c.height;
  }
}

}  // namespace
}  // namespace quillet::test
