// Level 5.1 to 4.1: the in-place patch of the parameter sets' level byte, and the header
// tool with its ini file.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>

#include "inspect/SetHeaderMod.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

using Bytes = std::string;

// A stream of `size` filler bytes with `pattern` written at each 1-based position.
struct Placed {
  int position;
  Bytes pattern;
};

Bytes Stream(int size, std::initializer_list<Placed> placed) {
  Bytes bytes(size, '\x11');
  for (const Placed& p : placed) bytes.replace(p.position - 1, p.pattern.size(), p.pattern);
  return bytes;
}

const Bytes kHigh51("\x64\x00\x33", 3);
const Bytes kMain51("\x4D\x40\x33", 3);
const Bytes kExtended51("\x58\xA0\x33", 3);
const Bytes kBaseline51("\x42\xC0\x33", 3);
const Bytes kHigh41("\x64\x00\x29", 3);
const Bytes kHigh40("\x64\x00\x28", 3);
// Start code and NAL header of a sequence parameter set, then the High 5.1 bytes.
const Bytes kSpsHigh51 = Bytes("\x00\x00\x00\x01\x67", 5) + kHigh51;

struct PatchCase {
  const char* name;
  Bytes stream;
  std::vector<int> levelBytes;  // 1-based positions expected to hold 0x29 afterwards
};

void PrintTo(const PatchCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<PatchCase> Cases() {
  std::vector<PatchCase> cases = {
      {"HighFirstAndSecondSps", Stream(9000, {{1, kSpsHigh51}, {5990, kSpsHigh51}}), {8, 5997}},
      {"HighStartingAt6000", Stream(9000, {{6000, kHigh51}}), {6002}},
      {"HighStartingAt6001", Stream(9000, {{6001, kHigh51}}), {}},
      {"MainWithoutHigh", Stream(4000, {{6, kMain51}}), {8}},
      {"MainIgnoredWhenHighExists", Stream(9000, {{6, kMain51}, {5000, kHigh51}}), {5002}},
      {"MainStartingAt3000", Stream(4000, {{3000, kMain51}}), {3002}},
      {"MainStartingAt3001", Stream(4000, {{3001, kMain51}}), {}},
      {"ExtendedBeforeBaseline", Stream(4000, {{10, kBaseline51}, {20, kExtended51}}), {22}},
      {"BaselineAlone", Stream(4000, {{10, kBaseline51}}), {12}},
      {"BaselineStartingAt3001", Stream(4000, {{3001, kBaseline51}}), {}},
      {"Level41Unchanged", Stream(4000, {{6, kHigh41}}), {}},
      {"Level40Unchanged", Stream(4000, {{6, kHigh40}, {100, Bytes("\x4D\x40\x28", 3)}}), {}},
      // A first byte repeated, and a pattern that starts inside a failed one.
      {"RepeatedFirstByte", Stream(100, {{10, Bytes("\x64") + kHigh51}}), {13}},
      {"RestartInsideAFailedMatch", Stream(100, {{10, Bytes("\x64\x00", 2) + kHigh51}}), {14}},
      {"ShorterThanTheScan", kHigh51 + Bytes("\x11\x64\x00", 3), {3}},
      {"CutOffPattern", Bytes("\x11\x11\x64\x00", 4), {}},
      {"Empty", Bytes(), {}},
  };
  // Twelve parameter sets: the table holds eleven positions, the twelfth is left alone.
  Bytes twelve(2000, '\x11');
  std::vector<int> eleven;
  for (int n = 0; n < 12; ++n) {
    twelve.replace(100 + n * 50 - 1, 3, kHigh51);
    if (n < 11) eleven.push_back(100 + n * 50 + 2);
  }
  cases.push_back({"TwelveMatches", twelve, eleven});
  return cases;
}

class SetHeaderLevelCases : public ::testing::TestWithParam<PatchCase> {
 protected:
  TempFolder folder;
};

TEST_P(SetHeaderLevelCases, PatchesOnlyTheLevelBytesItFinds) {
  const PatchCase& c = GetParam();
  const std::filesystem::path path = folder.path() / "movie.h264";
  WriteFile(path, c.stream);

  SetHeaderLevel(path.string());

  Bytes expected = c.stream;
  for (int position : c.levelBytes) expected[position - 1] = '\x29';
  const Bytes after = ReadFile(path);
  ASSERT_EQ(after.size(), c.stream.size());
  EXPECT_TRUE(after == expected) << "the file differs from the expected bytes";
  for (std::size_t i = 0; i < after.size() && i < expected.size(); ++i)
    if (after[i] != expected[i]) ADD_FAILURE() << "byte " << i + 1 << " differs";
}

INSTANTIATE_TEST_SUITE_P(Streams, SetHeaderLevelCases, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SetHeaderLevel, MissingStreamIsNotCreated) {
  TempFolder folder;
  const std::string path = (folder.path() / "movie.h264").string();
  SetHeaderLevel(path);
  EXPECT_FALSE(std::filesystem::exists(path));
}

class RunH264InfoTest : public ::testing::Test {
 protected:
  std::string IniPath() const { return t.programDir.str() + "/h264info/h264info.ini"; }
  std::string Folder() const { return t.outputDir.withSep(); }
  std::string ExpectedIni(const std::string& folder) const {
    return "[Paths]\r\nInputPath=" + folder + "movie_raw.h264\r\nOutputPath=" + folder +
           "movie.h264\r\n";
  }
  TestApp t;
};

TEST_F(RunH264InfoTest, WritesTheIniRunsTheToolAndRemovesTheRawStream) {
  WriteFile(IniPath(), "[Paths]\r\nInputPath=C:\\old\\a very long earlier path\\x.h264\r\n");
  WriteFile(Folder() + "movie_raw.h264", kSpsHigh51);
  std::string iniWhenRun;
  t.runner.On("h264info/h264info.exe", [&](const std::vector<std::string>& argv) {
    EXPECT_EQ(argv.size(), 1u);
    iniWhenRun = ReadFile(IniPath());
    WriteFile(Folder() + "movie.h264", ReadFile(Folder() + "movie_raw.h264"));
    return std::string();
  });

  RunH264Info(t.app, Folder());

  EXPECT_EQ(iniWhenRun, ExpectedIni(Folder()));
  EXPECT_EQ(ReadFile(IniPath()), ExpectedIni(Folder()));
  ASSERT_EQ(t.runner.calls.size(), 1u);
  EXPECT_EQ(t.runner.calls[0].kind, CallKind::RunHidden);
  EXPECT_EQ(t.runner.calls[0].commandLine, "\"" + t.programDir.str() + "/h264info/h264info.exe\"");
  EXPECT_TRUE(std::filesystem::exists(Folder() + "movie.h264"));
  EXPECT_FALSE(std::filesystem::exists(Folder() + "movie_raw.h264"));
}

TEST_F(RunH264InfoTest, RawStreamIsRemovedEvenWhenTheToolDoesNothing) {
  WriteFile(Folder() + "movie_raw.h264", kSpsHigh51);
  RunH264Info(t.app, Folder());  // no tool answers
  EXPECT_EQ(t.runner.calls.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(Folder() + "movie_raw.h264"));
  EXPECT_FALSE(std::filesystem::exists(Folder() + "movie.h264"));
}

TEST_F(RunH264InfoTest, ProgramFolderWithABlankStillNamesTheTool) {
  const std::string programFolder = t.programDir.str() + "/Program Files/Quillet";
  std::filesystem::create_directories(programFolder + "/h264info");
  Context ctx{programFolder, t.runner, t.ui, t.power, t.components, t.media};
  App app(ctx);
  std::string program;
  t.runner.On("h264info.exe", [&](const std::vector<std::string>& argv) {
    program = argv.at(0);
    return std::string();
  });

  RunH264Info(app, Folder());

  EXPECT_EQ(program, programFolder + "/h264info/h264info.exe");
  EXPECT_EQ(ReadFile(programFolder + "/h264info/h264info.ini"), ExpectedIni(Folder()));
}

}  // namespace
}  // namespace quillet::test
