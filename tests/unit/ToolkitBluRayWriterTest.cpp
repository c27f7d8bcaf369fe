// The Blu-ray navigation files, written and read back field by field: the EP map's
// coarse and fine entries, play item times, chapter marks, stream entries and the
// movie object's command; and the transport-stream scan on packets made here.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TestApp.h"
#include "base/BitStream.h"
#include "toolkit/bluray/BluRayFolder.h"
#include "toolkit/bluray/ClipInfoFile.h"
#include "toolkit/bluray/IndexFile.h"
#include "toolkit/bluray/MovieObjectFile.h"
#include "toolkit/bluray/PlaylistFile.h"
#include "toolkit/bluray/StreamCodes.h"
#include "toolkit/bluray/TsScan.h"

namespace quillet::toolkit::bluray {
namespace {

namespace fs = std::filesystem;
using quillet::test::TempFolder;

ClipStream Video(int width, int height, double fps, bool interlaced = false) {
  ClipStream s;
  s.pid = 0x1011;
  s.coding = StreamCoding::kH264;
  s.width = width;
  s.height = height;
  s.framesPerSecond = fps;
  s.interlaced = interlaced;
  return s;
}

ClipStream Audio(uint16_t pid, StreamCoding coding, int channels, int rate, std::string lang) {
  ClipStream s;
  s.pid = pid;
  s.coding = coding;
  s.channels = channels;
  s.sampleRate = rate;
  s.language = std::move(lang);
  return s;
}

ClipStream Subtitle(uint16_t pid, std::string lang) {
  ClipStream s;
  s.pid = pid;
  s.coding = StreamCoding::kPgs;
  s.language = std::move(lang);
  return s;
}

// --- EP map -------------------------------------------------------------------------

// A player rebuilds each entry from its coarse entry's high bits and its fine bits.
uint64_t RebuiltPts(const EpMap& map, size_t coarse, size_t fine) {
  return (uint64_t(map.coarse[coarse].pts) << 19) | (uint64_t(map.fine[fine].pts) << 9);
}
uint32_t RebuiltSpn(const EpMap& map, size_t coarse, size_t fine) {
  return (map.coarse[coarse].spn & ~0x1ffffu) | map.fine[fine].spn;
}

TEST(ToolkitBluRayEpMap, CoarseEntriesStartWhereHighBitsOfTimeOrPacketChange) {
  struct Case {
    const char* what;
    std::vector<EntryPoint> points;
    std::vector<uint32_t> coarseRefs;  // first fine entry of each coarse entry
  };
  const uint64_t kPtsStep = 1ull << 19;  // one step of the coarse time
  const uint32_t kSpnStep = 1u << 17;    // one step of the coarse packet number
  const std::vector<Case> cases = {
      {"all in one coarse span", {{100, 3, 10}, {20000, 500, 10}, {40000, 900, 10}}, {0}},
      {"time crosses bit 19",
       {{kPtsStep - 1000, 3, 1}, {kPtsStep + 1000, 700, 1}, {kPtsStep + 5000, 800, 1}},
       {0, 1}},
      {"packet number crosses bit 17",
       {{1000, kSpnStep - 5, 1}, {2000, kSpnStep + 5, 1}, {3000, kSpnStep + 90, 1}},
       {0, 1}},
      {"both, twice",
       {{0, 0, 1},
        {kPtsStep, 10, 1},
        {kPtsStep + 10, kSpnStep, 1},
        {3 * kPtsStep, kSpnStep + 1, 1}},
       {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const EpMap map = BuildEpMap(c.points);
    ASSERT_EQ(map.fine.size(), c.points.size());
    ASSERT_EQ(map.coarse.size(), c.coarseRefs.size());
    for (size_t i = 0; i < c.coarseRefs.size(); ++i) {
      EXPECT_EQ(map.coarse[i].refToFine, c.coarseRefs[i]);
      EXPECT_EQ(map.coarse[i].spn, c.points[c.coarseRefs[i]].spn);
    }
    for (size_t coarse = 0, fine = 0; fine < c.points.size(); ++fine) {
      if (coarse + 1 < map.coarse.size() && map.coarse[coarse + 1].refToFine == fine) ++coarse;
      EXPECT_EQ(RebuiltPts(map, coarse, fine), c.points[fine].pts & ~0x1ffull) << fine;
      EXPECT_EQ(RebuiltSpn(map, coarse, fine), c.points[fine].spn) << fine;
    }
  }
}

TEST(ToolkitBluRayEpMap, EndPositionOffsetGrowsWithThePictureSize) {
  const std::vector<std::pair<uint32_t, uint8_t>> cases = {{1, 1},    {682, 1},  {683, 2},
                                                           {1365, 2}, {1366, 3}, {3072, 5},
                                                           {6826, 6}, {6827, 7}, {100000, 7}};
  for (const auto& [packets, code] : cases)
    EXPECT_EQ(EndPositionOffsetCode(packets), code) << packets;
}

// --- Clip information ------------------------------------------------------------------

ClipInfo SampleClip() {
  ClipInfo clip;
  clip.sourcePackets = 300000;
  clip.tsRecordingRate = 4500000;
  clip.pmtPid = 0x1000;
  clip.pcrPid = 0x100;
  clip.firstPcrSpn = 2;
  clip.presentationStart = 63000;
  clip.presentationEnd = 63000 + 45000 * 65;
  clip.streams = {Video(1920, 1080, 24000.0 / 1001),
                  Audio(0x1100, StreamCoding::kAc3, 6, 48000, "ger"),
                  Audio(0x1101, StreamCoding::kDts, 2, 96000, "ENG"), Subtitle(0x1200, "fre")};
  for (uint32_t i = 0; i < 70; ++i)
    clip.entryPoints.push_back({126000 + uint64_t(i) * 90090, 3 + i * 4000, 300});
  return clip;
}

TEST(ToolkitBluRayClipInfo, ReadsBackWhatWasWritten) {
  const ClipInfo clip = SampleClip();
  ClipInfoView view;
  std::string error;
  ASSERT_TRUE(ReadClipInfo(WriteClipInfo(clip), &view, &error)) << error;
  EXPECT_EQ(view.streamType, 1);
  EXPECT_EQ(view.applicationType, 1);
  EXPECT_EQ(view.tsRecordingRate, clip.tsRecordingRate);
  EXPECT_EQ(view.sourcePackets, clip.sourcePackets);
  EXPECT_EQ(view.pcrPid, clip.pcrPid);
  EXPECT_EQ(view.stcStartSpn, clip.firstPcrSpn);
  EXPECT_EQ(view.presentationStart, clip.presentationStart);
  EXPECT_EQ(view.presentationEnd, clip.presentationEnd);
  EXPECT_EQ(view.pmtPid, clip.pmtPid);

  struct Expected {
    uint16_t pid;
    uint8_t coding, format, rate;
    std::string language;
  };
  const std::vector<Expected> streams = {{0x1011, 0x1b, 6, 1, ""},
                                         {0x1100, 0x81, 6, 1, "ger"},
                                         {0x1101, 0x82, 3, 4, "eng"},
                                         {0x1200, 0x90, 0, 0, "fre"}};
  ASSERT_EQ(view.streams.size(), streams.size());
  for (size_t i = 0; i < streams.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(view.streams[i].pid, streams[i].pid);
    EXPECT_EQ(view.streams[i].coding, streams[i].coding);
    EXPECT_EQ(view.streams[i].format, streams[i].format);
    EXPECT_EQ(view.streams[i].rate, streams[i].rate);
    EXPECT_EQ(view.streams[i].language, streams[i].language);
  }

  EXPECT_EQ(view.epPid, 0x1011);
  EXPECT_EQ(view.epStreamType, 1);
  const EpMap expected = BuildEpMap(clip.entryPoints);
  ASSERT_EQ(view.ep.coarse.size(), expected.coarse.size());
  ASSERT_EQ(view.ep.fine.size(), clip.entryPoints.size());
  for (size_t i = 0; i < expected.coarse.size(); ++i) {
    EXPECT_EQ(view.ep.coarse[i].refToFine, expected.coarse[i].refToFine);
    EXPECT_EQ(view.ep.coarse[i].pts, expected.coarse[i].pts);
    EXPECT_EQ(view.ep.coarse[i].spn, expected.coarse[i].spn);
  }
  for (size_t i = 0; i < expected.fine.size(); ++i) {
    EXPECT_EQ(view.ep.fine[i].pts, expected.fine[i].pts);
    EXPECT_EQ(view.ep.fine[i].spn, expected.fine[i].spn);
    EXPECT_EQ(view.ep.fine[i].endPositionOffset, 1);
  }
}

TEST(ToolkitBluRayClipInfo, ATruncatedFileIsRefused) {
  std::vector<uint8_t> bytes = WriteClipInfo(SampleClip());
  bytes.resize(bytes.size() - 40);
  ClipInfoView view;
  std::string error;
  EXPECT_FALSE(ReadClipInfo(bytes, &view, &error));
  EXPECT_FALSE(error.empty());
}

// --- Stream codes -----------------------------------------------------------------------

TEST(ToolkitBluRayStreamCodes, PictureRateLayoutAndLanguage) {
  struct VideoCase {
    int width, height;
    bool interlaced;
    uint8_t format;
  };
  for (const VideoCase& c : std::vector<VideoCase>{{720, 480, true, 1},
                                                   {720, 576, true, 2},
                                                   {720, 480, false, 3},
                                                   {1920, 1080, true, 4},
                                                   {1280, 720, false, 5},
                                                   {1920, 1080, false, 6},
                                                   {1920, 800, false, 6},
                                                   {320, 180, false, 3}})
    EXPECT_EQ(VideoFormatCode(c.width, c.height, c.interlaced), c.format) << c.height;
  for (const auto& [fps, code] : std::vector<std::pair<double, uint8_t>>{
           {23.976, 1}, {24, 2}, {25, 3}, {29.97, 4}, {50, 6}, {59.94, 7}})
    EXPECT_EQ(FrameRateCode(fps), code) << fps;
  EXPECT_EQ(AudioFormatCode(1), 1);
  EXPECT_EQ(AudioFormatCode(2), 3);
  EXPECT_EQ(AudioFormatCode(6), 6);
  EXPECT_EQ(SampleRateCode(48000), 1);
  EXPECT_EQ(SampleRateCode(96000), 4);
  EXPECT_EQ(SampleRateCode(192000), 5);
  EXPECT_EQ(LanguageCode("DEU"), "deu");
  EXPECT_EQ(LanguageCode(""), "und");
  EXPECT_EQ(LanguageCode("en"), "und");
  EXPECT_EQ(LanguageCode("e1g"), "und");
  EXPECT_EQ(FrameDuration90k(24000.0 / 1001), 3754u);
  EXPECT_EQ(FrameDuration90k(25), 3600u);
}

// --- Playlist ---------------------------------------------------------------------------

constexpr uint32_t kMinute = 45000 * 60;

TEST(ToolkitBluRayPlaylist, ChapterMarksFallInThePlayItemThatHoldsThem) {
  struct Case {
    const char* what;
    std::vector<PlayItem> items;
    int minutes;
    std::vector<PlaylistMark> marks;
  };
  const std::vector<Case> cases = {
      {"start only", {{"00000", 1000, 1000 + 12 * kMinute, 1}}, 0, {{0, 1000}}},
      {"every 5 minutes of 12",
       {{"00000", 1000, 1000 + 12 * kMinute, 1}},
       5,
       {{0, 1000}, {0, 1000 + 5 * kMinute}, {0, 1000 + 10 * kMinute}}},
      {"exactly 10 minutes: no mark at the very end",
       {{"00000", 0, 10 * kMinute, 1}},
       5,
       {{0, 0}, {0, 5 * kMinute}}},
      {"two clips of 7 minutes, each with its own start time",
       {{"00000", 63000, 63000 + 7 * kMinute, 1}, {"00001", 90000, 90000 + 7 * kMinute, 1}},
       5,
       {{0, 63000}, {0, 63000 + 5 * kMinute}, {1, 90000 + 3 * kMinute}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<PlaylistMark> marks = ChapterMarks(c.items, c.minutes);
    ASSERT_EQ(marks.size(), c.marks.size());
    for (size_t i = 0; i < marks.size(); ++i) {
      EXPECT_EQ(marks[i].playItem, c.marks[i].playItem) << i;
      EXPECT_EQ(marks[i].time, c.marks[i].time) << i;
    }
  }
}

TEST(ToolkitBluRayPlaylist, ReadsBackItemsStreamsAndMarks) {
  Playlist playlist;
  playlist.items = {{"00000", 63000, 63000 + 7 * kMinute, 1},
                    {"00001", 90000, 90000 + 4 * kMinute, 1}};
  // Stream order in the table is video, audio, subtitles whatever the clip's order.
  playlist.streams = {Subtitle(0x1200, "ger"), Video(1280, 720, 50),
                      Audio(0x1100, StreamCoding::kAc3, 6, 48000, "eng"),
                      Audio(0x1101, StreamCoding::kMpeg1Audio, 1, 48000, "und")};
  playlist.marks = ChapterMarks(playlist.items, 5);
  PlaylistView view;
  std::string error;
  ASSERT_TRUE(ReadPlaylist(WritePlaylist(playlist), &view, &error)) << error;
  EXPECT_EQ(view.playbackType, 1);
  ASSERT_EQ(view.items.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(view.items[i].item.clipName, playlist.items[i].clipName);
    EXPECT_EQ(view.items[i].item.inTime, playlist.items[i].inTime);
    EXPECT_EQ(view.items[i].item.outTime, playlist.items[i].outTime);
    EXPECT_EQ(view.items[i].item.connectionCondition, 1);
    const auto& s = view.items[i].streams;
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].kind, 0);
    EXPECT_EQ(s[0].pid, 0x1011);
    EXPECT_EQ(s[0].format, 5);
    EXPECT_EQ(s[0].rate, 6);
    EXPECT_EQ(s[1].kind, 1);
    EXPECT_EQ(s[1].pid, 0x1100);
    EXPECT_EQ(s[1].coding, 0x81);
    EXPECT_EQ(s[1].format, 6);
    EXPECT_EQ(s[1].language, "eng");
    EXPECT_EQ(s[2].pid, 0x1101);
    EXPECT_EQ(s[2].coding, 0x03);
    EXPECT_EQ(s[2].format, 1);
    EXPECT_EQ(s[2].language, "und");
    EXPECT_EQ(s[3].kind, 2);
    EXPECT_EQ(s[3].pid, 0x1200);
    EXPECT_EQ(s[3].coding, 0x90);
    EXPECT_EQ(s[3].language, "ger");
  }
  // 11 minutes: marks at 0 and 5 in the first item, 10 in the second one 3 minutes in.
  ASSERT_EQ(view.marks.size(), 3u);
  EXPECT_EQ(view.marks[2].mark.playItem, 1);
  EXPECT_EQ(view.marks[2].mark.time, 90000 + 3 * kMinute);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(view.marks[i].type, 1);
    EXPECT_EQ(view.marks[i].mark.playItem, playlist.marks[i].playItem);
    EXPECT_EQ(view.marks[i].mark.time, playlist.marks[i].time);
  }
}

// --- Index and movie objects -----------------------------------------------------------

TEST(ToolkitBluRayNavigation, IndexAndMovieObjectReadBack) {
  DiscIndex index;
  index.firstPlayObject = 0;
  index.topMenuObject = 1;
  index.titleObjects = {0, 2};
  DiscIndex read;
  std::string error;
  ASSERT_TRUE(ReadIndex(WriteIndex(index), &read, &error)) << error;
  EXPECT_EQ(read.firstPlayObject, 0);
  EXPECT_EQ(read.topMenuObject, 1);
  EXPECT_EQ(read.titleObjects, (std::vector<uint16_t>{0, 2}));

  MovieObject title;
  title.commands = {PlayPlaylistCommand(1900), PlayPlaylistCommand(0)};
  std::vector<MovieObject> objects;
  ASSERT_TRUE(ReadMovieObjects(WriteMovieObjects({title}), &objects, &error)) << error;
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_TRUE(objects[0].resumeIntention);
  ASSERT_EQ(objects[0].commands.size(), 2u);
  // PlayPL with an immediate playlist number, as discs spell it: 22 80 00 00.
  EXPECT_EQ(objects[0].commands[0].opcode, 0x22800000u);
  EXPECT_EQ(objects[0].commands[0].destination, 1900u);
  EXPECT_EQ(objects[0].commands[1].destination, 0u);
}

// --- Transport-stream scan ---------------------------------------------------------------

// A 192-byte source packet: 4 bytes of arrival time, then a TS packet.
std::vector<uint8_t> SourcePacket(uint16_t pid, bool unitStart, bool randomAccess,
                                  std::vector<uint8_t> payload) {
  std::vector<uint8_t> p(4, 0);
  p.push_back(0x47);
  p.push_back(uint8_t((unitStart ? 0x40 : 0) | (pid >> 8)));
  p.push_back(uint8_t(pid));
  const size_t room = 184 - 2;  // leave room for a small adaptation field
  payload.resize(std::min(payload.size(), room), 0xff);
  const size_t stuffing = 184 - 2 - payload.size();
  p.push_back(0x30);  // adaptation field and payload
  p.push_back(uint8_t(1 + stuffing));
  p.push_back(randomAccess ? 0x40 : 0x00);
  p.insert(p.end(), stuffing, 0xff);
  p.insert(p.end(), payload.begin(), payload.end());
  return p;
}

std::vector<uint8_t> PesWithPts(uint64_t pts, std::vector<uint8_t> es) {
  std::vector<uint8_t> pes = {0, 0, 1, 0xe0, 0, 0, 0x80, 0x80, 5};
  pes.push_back(uint8_t(0x21 | ((pts >> 29) & 0x0e)));
  pes.push_back(uint8_t(pts >> 22));
  pes.push_back(uint8_t(0x01 | ((pts >> 14) & 0xfe)));
  pes.push_back(uint8_t(pts >> 7));
  pes.push_back(uint8_t(0x01 | ((pts << 1) & 0xfe)));
  pes.insert(pes.end(), es.begin(), es.end());
  return pes;
}

const std::vector<uint8_t> kIdr = {0, 0, 0, 1, 0x09, 0xf0, 0, 0, 0, 1, 0x67, 0x64};
const std::vector<uint8_t> kSlice = {0, 0, 0, 1, 0x09, 0xf0, 0, 0, 0, 1, 0x41, 0x9a};

TEST(ToolkitBluRayTsScan, FindsKeyPicturesTimesAndCounts) {
  TempFolder dir("bluray-scan");
  const std::string path = (dir.path() / "clip.m2ts").string();
  std::ofstream out(path, std::ios::binary);
  auto put = [&](const std::vector<uint8_t>& p) {
    out.write(reinterpret_cast<const char*>(p.data()), std::streamsize(p.size()));
  };
  // PAT naming the PMT on 0x0100, then four pictures: key (by its flag), plain, key (by
  // its sequence parameters only), plain with a following data packet.
  put(SourcePacket(0, true, false,
                   {0, 0x00, 0xb0, 0x0d, 0, 1, 0xc1, 0, 0, 0, 1, 0xe1, 0x00, 0, 0, 0, 0}));
  put(SourcePacket(0x1011, true, true, PesWithPts(900000, kSlice)));
  put(SourcePacket(0x1011, false, false, {}));
  put(SourcePacket(0x1011, true, false, PesWithPts(903754, kSlice)));
  put(SourcePacket(0x1100, true, false, PesWithPts(800000, kIdr)));  // not the video
  put(SourcePacket(0x1011, true, false, PesWithPts(907508, kIdr)));
  put(SourcePacket(0x1011, false, false, {}));
  put(SourcePacket(0x1011, false, false, {}));
  put(SourcePacket(0x1011, true, false, PesWithPts(911262, kSlice)));
  out.close();

  TsScanResult scan;
  std::string error;
  ASSERT_TRUE(ScanTransportStream(path, 0x1011, StreamCoding::kH264, &scan, &error)) << error;
  EXPECT_EQ(scan.sourcePackets, 9u);
  EXPECT_EQ(scan.pmtPid, 0x0100);
  EXPECT_TRUE(scan.hasVideoPts);
  EXPECT_EQ(scan.firstVideoPts, 900000u);
  EXPECT_EQ(scan.lastVideoPts, 911262u);
  ASSERT_EQ(scan.entryPoints.size(), 2u);
  EXPECT_EQ(scan.entryPoints[0].pts, 900000u);
  EXPECT_EQ(scan.entryPoints[0].spn, 1u);
  EXPECT_EQ(scan.entryPoints[0].packets, 2u);
  EXPECT_EQ(scan.entryPoints[1].pts, 907508u);
  EXPECT_EQ(scan.entryPoints[1].spn, 5u);
  EXPECT_EQ(scan.entryPoints[1].packets, 3u);

  // A file that is not made of 192-byte packets is refused with its reason.
  std::ofstream(path, std::ios::app) << "x";
  EXPECT_FALSE(ScanTransportStream(path, 0x1011, StreamCoding::kH264, &scan, &error));
  EXPECT_NE(error.find("192-byte"), std::string::npos) << error;
}

TEST(ToolkitBluRayTsScan, KeyPicturesOfEachVideoCoding) {
  struct Case {
    StreamCoding coding;
    std::vector<uint8_t> payload;
    bool key;
  };
  const std::vector<Case> cases = {
      {StreamCoding::kH264, {0, 0, 1, 0x65, 0x88}, true},  // IDR slice
      {StreamCoding::kH264, {0, 0, 1, 0x09, 0x10, 0, 0, 1, 0x67}, true},
      {StreamCoding::kH264, {0, 0, 1, 0x41, 0, 0, 1, 0x67}, false},  // slice first
      {StreamCoding::kMpeg2Video, {0, 0, 1, 0xb3, 0x14}, true},
      {StreamCoding::kMpeg2Video, {0, 0, 1, 0x00, 0, 0, 1, 0xb3}, false},
      {StreamCoding::kVc1, {0, 0, 1, 0x0f, 0xca}, true},
      {StreamCoding::kVc1, {0, 0, 1, 0x0d, 0x00}, false},
  };
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(StartsKeyPicture(cases[i].payload.data(), cases[i].payload.size(), cases[i].coding),
              cases[i].key)
        << i;
}

// --- The folder writer's refusals -------------------------------------------------------

TEST(ToolkitBluRayFolderErrors, UnreadableClipsLeaveNoTree) {
  TempFolder dir("bluray-errors");
  const fs::path folder = dir.path() / "disc";
  const std::string audioOnly = (dir.path() / "audio.m2ts").string();
  {
    std::ofstream out(audioOnly, std::ios::binary);
    const std::vector<uint8_t> p = SourcePacket(0x1100, true, false, PesWithPts(1000, kIdr));
    out.write(reinterpret_cast<const char*>(p.data()), std::streamsize(p.size()));
  }
  struct Case {
    const char* what;
    std::vector<Clip> clips;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"no clips", {}, "no clips"},
      {"no video stream named",
       {{audioOnly, {Audio(0x1100, StreamCoding::kAc3, 2, 48000, "eng")}}},
       "no video stream"},
      {"video PID without packets", {{audioOnly, {Video(320, 180, 25)}}}, "no time stamps"},
      {"missing file",
       {{(dir.path() / "none.m2ts").string(), {Video(320, 180, 25)}}},
       "cannot read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(WriteBluRayFolder(folder.string(), c.clips, TitleOptions(), &error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "BDMV"));
    EXPECT_TRUE(fs::exists(audioOnly));
  }
}

}  // namespace
}  // namespace quillet::toolkit::bluray

namespace quillet::toolkit::bluray {
namespace {

// A tiny clip of two key pictures a second apart, enough for the writer.
std::string SyntheticClip(const fs::path& dir, const std::string& name) {
  const std::string path = (dir / name).string();
  std::ofstream out(path, std::ios::binary);
  for (uint64_t pts : {900000ull, 990000ull}) {
    const std::vector<uint8_t> p = SourcePacket(0x1011, true, true, PesWithPts(pts, kIdr));
    out.write(reinterpret_cast<const char*>(p.data()), std::streamsize(p.size()));
  }
  return path;
}

std::vector<MovieObject> MovieObjectsIn(const fs::path& folder) {
  std::ifstream in(folder / "BDMV/MovieObject.bdmv", std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<MovieObject> objects;
  std::string error;
  EXPECT_TRUE(ReadMovieObjects(bytes, &objects, &error)) << error;
  return objects;
}

TEST(ToolkitBluRayBlankPlaylist, PlayedBeforeTheFilmOnlyWhenAskedAndSubtitlesExist) {
  struct Case {
    bool insert;
    bool subtitles;
    std::vector<uint32_t> playlists;  // what the title's movie object plays, in order
  };
  const std::vector<Case> cases = {{false, true, {0}}, {true, false, {0}}, {true, true, {1900, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.insert) + std::to_string(c.subtitles));
    TempFolder dir("bluray-blank");
    Clip clip{SyntheticClip(dir.path(), "clip.m2ts"), {Video(1920, 800, 24)}};
    if (c.subtitles) clip.streams.push_back(Subtitle(0x1200, "eng"));
    TitleOptions options;
    options.insertBlankPlaylist = c.insert;
    std::string error;
    ASSERT_TRUE(WriteBluRayFolder((dir.path() / "disc").string(), {clip}, options, &error))
        << error;
    const std::vector<MovieObject> objects = MovieObjectsIn(dir.path() / "disc");
    ASSERT_EQ(objects.size(), 1u);
    std::vector<uint32_t> played;
    for (const NavigationCommand& command : objects[0].commands) {
      EXPECT_EQ(command.opcode, PlayPlaylistCommand(0).opcode);
      played.push_back(command.destination);
    }
    EXPECT_EQ(played, c.playlists);
    EXPECT_EQ(fs::exists(dir.path() / "disc/BDMV/PLAYLIST/01900.mpls"), c.playlists.size() == 2);
    EXPECT_EQ(fs::exists(dir.path() / "disc/BDMV/BACKUP/PLAYLIST/01900.mpls"),
              c.playlists.size() == 2);
  }
}

}  // namespace
}  // namespace quillet::toolkit::bluray
