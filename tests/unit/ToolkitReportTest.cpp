// The classic Matroska report written from mkvmerge's identification, read back the way
// the program reads it: by substrings and fixed character positions.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/ReportFixtures.h"
#include "tests/support/TestApp.h"
#include "toolkit/Identification.h"
#include "base/JsonFields.h"
#include "toolkit/LegacyReport.h"
#include "base/Text.h"

namespace quillet::toolkit {
namespace {

// mkvmerge -J of a film: anamorphic H.264, AC3, DTS without a language, two subtitles.
const char* kFilm = R"({
  "attachments": [{"content_type": "font/ttf", "file_name": "+ A track.ttf", "id": 0, "size": 10}],
  "chapters": [{"num_entries": 12}],
  "container": {
    "properties": {
      "duration": 5423123000000,
      "muxing_application": "libebml v1.4.4 + libmatroska v1.7.1",
      "segment_uid": "30e16f6e2adc2bcb66cfecf2e4d8396f",
      "timestamp_scale": 1000000,
      "title": "Language: xyz",
      "writing_application": "mkvmerge v74.0.0 ('You Oughta Know') 64-bit"
    },
    "recognized": true, "supported": true, "type": "Matroska"
  },
  "errors": [], "file_name": "film.mkv", "global_tags": [],
  "tracks": [
    {"codec": "AVC/H.264/MPEG-4p10", "id": 0, "type": "video", "properties": {
      "codec_id": "V_MPEG4/ISO/AVC", "codec_private_data": "01640033ffe1", "codec_private_length": 6,
      "default_duration": 41708333, "default_track": true, "display_dimensions": "1920x1080",
      "display_unit": 0, "enabled_track": true, "forced_track": false, "language": "und",
      "number": 1, "pixel_dimensions": "1440x1080", "track_name": "English subtitles",
      "uid": 18446744073709551615}},
    {"codec": "AC-3", "id": 1, "type": "audio", "properties": {
      "audio_channels": 6, "audio_sampling_frequency": 48000, "codec_id": "A_AC3",
      "default_duration": 32000000, "default_track": true, "language": "ger", "number": 2,
      "uid": 2}},
    {"codec": "DTS", "id": 2, "type": "audio", "properties": {
      "audio_channels": 6, "audio_sampling_frequency": 48000, "codec_id": "A_DTS",
      "default_track": false, "number": 3, "uid": 3}},
    {"codec": "SubRip/SRT", "id": 3, "type": "subtitles", "properties": {
      "codec_id": "S_TEXT/UTF8", "language": "fre", "number": 4,
      "track_name": "Director\u0027s comments\nCodec ID: A_AAC", "uid": 4}},
    {"codec": "SubStationAlpha", "id": 4, "type": "subtitles", "properties": {
      "codec_id": "S_TEXT/ASS", "language": "eng", "number": 5, "uid": 5}}
  ],
  "warnings": []
})";

// A VC-1 file in compatibility mode whose display size is stored as an aspect ratio.
const char* kVc1 = R"({
  "container": {"properties": {"duration": 59999999999}, "recognized": true, "type": "Matroska"},
  "tracks": [
    {"codec": "VC-1", "id": 0, "type": "video", "properties": {
      "codec_id": "V_MS/VFW/FOURCC",
      "codec_private_data": "28000000a0050000380400000100180057564331000000000000000000000000000000000000000000",
      "default_duration": 40000000, "display_dimensions": "16x9", "display_unit": 3,
      "number": 1, "pixel_dimensions": "1440x1080"}},
    {"codec": "AC-3", "id": 1, "type": "audio", "properties": {"codec_id": "A_AC3",
      "language": "eng", "number": 2}}
  ]
})";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines = Split(text, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

bool Has(const std::string& line, const char* text) {
  return line.find(text) != std::string::npos;
}

// The program's own reading of a report: by substrings and fixed character positions.
struct ReadBack {
  explicit ReadBack(const std::string& report) { quillet::test::ParseReport(t, report); }
  quillet::test::TestApp t;
  const TrackReport& r = t.app.report;
};

TEST(ToolkitReport, PositionsThatTheProgramReads) {
  auto id = ParseIdentification(kFilm);
  ASSERT_TRUE(id.has_value());
  std::string report = WriteLegacyReport(*id, EbmlHead{});
  std::vector<std::string> lines = Lines(report);
  for (const char* expected :
       {"|+ Segment tracks", "| + A track", "|  + Track type: video", "|  + Codec ID: A_AC3",
        "|  + Default duration: 41.708ms (23.976 fps for a video track)", "|   + Pixel width: 1440",
        "|   + Display width: 1920", "|  + Language: ger", "| + Duration: 5423.123s (01:30:23.123)",
        "|  + Track number: 1", "|  + Track UID: 18446744073709551615",
        "|  + CodecPrivate, length 6 (h.264 profile: High @L5.1)"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected << "\n"
                                                                            << report;
  EXPECT_EQ(std::string::npos, report.find('\r'));

  ReadBack read(report);
  EXPECT_EQ("avc", read.r.strVideoCodec);
  EXPECT_EQ("23.976", read.t.form().txtSFPS.Text);
  EXPECT_EQ(1440, read.r.intPixelWidth);
  EXPECT_EQ(1080, read.r.intPixelHeight);
  EXPECT_EQ(":par=1920:1440", read.r.strPar);  // the display width read back
  EXPECT_EQ(5423, read.r.lngDuration);
  EXPECT_EQ((std::vector<TrackRow>{{" ger", "0", "2"}, {"undefined", "1", "3"}}),
            quillet::test::Rows(read.r.strAudioTracks));
  EXPECT_EQ((std::vector<TrackRow>{{"fre", "srt", "4"}, {"eng", "ASS", "5"}}),
            quillet::test::Rows(read.r.strSubTracks));
}

TEST(ToolkitReport, FreeTextNeverReachesTheReport) {
  auto id = ParseIdentification(kFilm);
  ASSERT_TRUE(id.has_value());
  std::string report = WriteLegacyReport(*id, EbmlHead{});
  // Names that would pass for report lines ("... subtitles", "Codec ID:", "+ A track").
  EXPECT_EQ(std::string::npos, report.find("English subtitles"));
  EXPECT_EQ(std::string::npos, report.find("Director"));
  EXPECT_EQ(std::string::npos, report.find("A_AAC"));
  EXPECT_EQ(std::string::npos, report.find(".ttf"));
  EXPECT_EQ(std::string::npos, report.find("xyz"));
  int tracks = 0;
  for (const std::string& line : Lines(report)) tracks += Has(line, "A track");
  EXPECT_EQ(5, tracks);
}

TEST(ToolkitReport, Vc1InCompatibilityModeAndAspectRatioDisplaySize) {
  auto id = ParseIdentification(kVc1);
  ASSERT_TRUE(id.has_value());
  std::string report = WriteLegacyReport(*id, EbmlHead{});
  EXPECT_TRUE(Has(report, "|  + Codec ID: V_MS/VFW/FOURCC\n"));
  EXPECT_TRUE(Has(report, "(FourCC: WVC1, 0x31435657)"));
  EXPECT_TRUE(Has(report, "| + Duration: 60.000s (00:01:00.000)"));
  ReadBack read(report);
  EXPECT_EQ("vc1", read.r.strVideoCodec);
  EXPECT_EQ("25.000", read.t.form().txtSFPS.Text);
  EXPECT_EQ(1440, read.r.intPixelWidth);
  EXPECT_EQ(":par=1920:1440", read.r.strPar);  // 16:9 at 1080 lines, not "16"
}

TEST(ToolkitReport, DisplaySizeInPixels) {
  struct Case {
    int pw, ph, dw, dh, unit, expectW, expectH;
  } cases[] = {
      {1440, 1080, 1920, 1080, 0, 1920, 1080}, {1920, 1080, 1920, 1080, 0, 1920, 1080},
      {720, 576, 16, 9, 3, 1024, 576},         {720, 480, 4, 3, 3, 640, 480},
      {1920, 800, 0, 0, 0, 1920, 800},         {720, 576, 1050, 576, 0, 1050, 576},
  };
  for (const Case& c : cases) {
    MkvTrack t;
    t.pixelWidth = c.pw;
    t.pixelHeight = c.ph;
    t.displayWidth = c.dw;
    t.displayHeight = c.dh;
    t.displayUnit = c.unit;
    int w = 0, h = 0;
    DisplayInPixels(t, w, h);
    EXPECT_EQ(c.expectW, w) << c.pw << "x" << c.ph << " unit " << c.unit;
    EXPECT_EQ(c.expectH, h);
  }
}

TEST(ToolkitReport, EbmlHeadAndSegmentSize) {
  std::string head("\x1A\x45\xDF\xA3\xA3", 5);
  head += std::string("\x42\x86\x81\x01\x42\xF7\x81\x01\x42\xF2\x81\x04\x42\xF3\x81\x08", 16);
  head += std::string("\x42\x82\x88", 3) + "matroska";
  head += std::string("\x42\x87\x81\x04\x42\x85\x81\x02", 8);
  std::string known = head + std::string("\x18\x53\x80\x67\x01\x00\x00\x00\x00\x01\x23\x45", 12);
  EbmlHead parsed = ReadEbmlHead(known);
  ASSERT_TRUE(parsed.valid);
  EXPECT_EQ("matroska", parsed.docType);
  EXPECT_EQ(4u, parsed.docTypeVersion);
  EXPECT_EQ(2u, parsed.docTypeReadVersion);
  EXPECT_EQ(0x12345, parsed.segmentSize);
  std::string report = WriteLegacyReport(MkvIdentification{}, parsed);
  EXPECT_EQ(0u, report.find("+ EBML head\n|+ EBML version: 1\n"));
  EXPECT_TRUE(Has(report, "|+ Doc type: matroska\n|+ Doc type version: 4\n"));
  EXPECT_TRUE(Has(report, "+ Segment, size 74565\n"));

  std::string unknown = head + std::string("\x18\x53\x80\x67\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12);
  EXPECT_EQ(-1, ReadEbmlHead(unknown).segmentSize);
  EXPECT_FALSE(ReadEbmlHead("RIFF....WAVE").valid);
  EXPECT_FALSE(ReadEbmlHead(head.substr(0, 12)).valid);
}

// mkvmerge writes track UIDs above 63 bits and ffprobe writes numbers as text; a value
// of the wrong kind or a missing one takes the fallback instead of ending the slot.
TEST(ToolkitJson, UidsNumbersAsTextAndFallbacks) {
  auto doc =
      ParseJson(R"({"uid": 18446744073709551615, "rate": "48000", "flag": "yes", "list": {}})");
  ASSERT_TRUE(doc.has_value());
  EXPECT_EQ("18446744073709551615", TextOf(Member(*doc, "uid")));
  EXPECT_EQ(48000, IntOf(Member(*doc, "rate")));
  EXPECT_TRUE(BoolOf(Member(*doc, "flag"), true));
  EXPECT_TRUE(Elements(Member(*doc, "list")).empty());
  EXPECT_EQ(7, IntOf(Member(Member(*doc, "missing"), "deeper"), 7));

  std::string error;
  EXPECT_FALSE(ParseJson("{\"a\" 1}", &error).has_value());
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ParseIdentification("[1, 2]").has_value());
  EXPECT_FALSE(ParseIdentification("{\"tracks\": [").has_value());
}

}  // namespace
}  // namespace quillet::toolkit
