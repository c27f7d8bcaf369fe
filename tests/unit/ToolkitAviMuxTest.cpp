// The AVI muxer slot's script language: the template the program ships, filled in as the
// program fills it, and the commands, option forms and errors around it.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "toolkit/AviMuxScript.h"
#include "toolkit/AviWrite.h"
#include "base/Text.h"

namespace quillet::toolkit {
namespace {

// Files the scripts may load: what each holds.
const std::map<std::string, AviMuxSourceInfo> kFiles = {
    {"/out/movie.avi", {true, 0}},
    {"/out/movie.ac3", {false, 1}},
    {"/out/dub.avi", {true, 2}},
    {"/out/two.mka", {false, 2}},
};

std::optional<AviMuxSourceInfo> FakeProbe(const std::string& path) {
  auto it = kFiles.find(path);
  if (it == kFiles.end()) return std::nullopt;
  return it->second;
}

std::string FakePath(const std::string& written) {
  return ScriptPath(written, "/out");
}

std::optional<AviMuxPlan> RunScript(const std::string& text, std::string* error) {
  return RunAviMuxScript(text, FakeProbe, FakePath, error);
}

// The template as it ships, with its lines rewritten the way the program does for the
// given MAXFILESIZE line, then the START line; every line ends with CR LF.
std::string FilledTemplate(const std::string& sizeLine, const std::string& folder) {
  std::ifstream in(std::string(QUILLET_PROGRAM_DIR) + "/avimux/quillet.amg");
  std::string line, script;
  while (std::getline(in, line)) {
    if (line.find("ENDOFFILE") != std::string::npos) break;
    if (line.find("MAXFILESIZE") != std::string::npos) line = sizeLine;
    for (size_t at = 0; (at = line.find("D:\\QUILLET\\", at)) != std::string::npos;
         at += folder.size())
      line.replace(at, 11, folder);
    script += line + "\r\n";
  }
  return script + "START " + folder + "Film.avi\r\n";
}

TEST(ToolkitAviMuxScript, TheShippedTemplateAsTheProgramFillsIt) {
  struct Case {
    const char* sizeLine;
    long long mb;
  } cases[] = {{"MAXFILESIZE 3350", 3350}, {"MAXFILESIZE 4500", 4500}, {"MAXFILESIZE OFF", 0}};
  for (const Case& c : cases) {
    std::string error;
    auto plan = RunScript(FilledTemplate(c.sizeLine, "/out/"), &error);
    ASSERT_TRUE(plan.has_value()) << c.sizeLine << ": " << error;
    EXPECT_EQ("/out/movie.avi", plan->video);
    ASSERT_EQ(1u, plan->audio.size());
    EXPECT_EQ("/out/movie.ac3", plan->audio[0].file);
    EXPECT_EQ(0, plan->audio[0].stream);
    EXPECT_EQ(c.mb, plan->maxFileSizeMb) << c.sizeLine;
    EXPECT_EQ("/out/Film.avi", plan->output);
  }
  // The template itself, not filled in, names a Windows folder and no size: it must not run.
  std::string error;
  EXPECT_FALSE(RunScript(FilledTemplate("MAXFILESIZE size", "D:\\QUILLET\\"), &error));
  EXPECT_NE(std::string::npos, error.find("LOAD")) << error;
}

TEST(ToolkitAviMuxScript, MaxFileSizeForms) {
  const std::string head = "LOAD movie.avi\nLOAD movie.ac3\nSELECT FILE 1\nADD VIDEOSOURCE\n";
  struct Case {
    const char* lines;
    long long mb;  // -1: refused
  } cases[] = {
      {"SET OPTION MAXFILESIZE 700\n", 700},
      {"MAXFILESIZE 2929\n", 2929},  // bare, as the program writes it outside a block
      {"WITH SET OPTION\nMAXFILESIZE 100\nMAXFILESIZE OFF\nEND WITH\n", 0},
      {"WITH SET OPTION\nMAXFILESIZE OFF\nMAXFILESIZE 100\nEND WITH\n", 100},
      {"SET OPTION MAXFILESIZE 100\nSET OPTION MAXFILESIZE OFF\nSET OPTION MAXFILESIZE ON\n", 100},
      {"set option maxfilesize 50\n", 50},  // Windows people write commands in any case
      {"SET OPTION MAXFILESIZE ON\n", -1},  // on, but no size
      {"MAXFILESIZE 0\n", -1},
      {"MAXFILESIZE -5\n", -1},
      {"MAXFILESIZE size\n", -1},
      {"MAXFILESIZE 10 20\n", -1},
      {"MAXFILESIZE\n", -1},
  };
  for (const Case& c : cases) {
    std::string error;
    auto plan = RunScript(head + c.lines + "START Film.avi\n", &error);
    if (c.mb < 0) {
      EXPECT_FALSE(plan.has_value()) << c.lines;
      EXPECT_NE(std::string::npos, Lower(error).find("maxfilesize")) << error;
      continue;
    }
    ASSERT_TRUE(plan.has_value()) << c.lines << error;
    EXPECT_EQ(c.mb, plan->maxFileSizeMb) << c.lines;
  }
}

TEST(ToolkitAviMuxScript, ErrorsNameTheCommandAndLine) {
  const std::string head = "LOAD movie.avi\nLOAD movie.ac3\n";
  struct Case {
    const char* lines;
    const char* named;
  } cases[] = {
      {"SELECT FILE 1\nADD VIDEOSOURCE\nMUX NOW\nSTART Film.avi\n", "line 5: unknown command MUX"},
      {"SELECT FILE 1\nADD VIDEOSOURCE\nSET OPTION SPEED 3\nSTART F.avi\n", "unknown option SPEED"},
      {"SELECT FILE 1\nADD SUBTITLESOURCE\nSTART F.avi\n", "unknown command ADD SUBTITLESOURCE"},
      {"SELECT FOLDER 1\n", "unknown command SELECT FOLDER"},
      {"SELECT FILE 3\n", "SELECT FILE 3: no such file"},
      {"SELECT FILE x\n", "SELECT FILE needs a number"},
      {"DESELECT AUDIO 2\n", "no such audio stream"},
      {"SELECT FILE 2\nADD VIDEOSOURCE\n", "holds no video"},
      {"SELECT FILE 0\nADD VIDEOSOURCE\n", "exactly one selected file (2 selected)"},
      {"ADD VIDEOSOURCE\n", "(0 selected)"},
      {"LOAD missing.avi\n", "LOAD: cannot read /out/missing.avi"},
      {"END WITH\n", "END WITH without WITH"},
      {"SELECT FILE 1\nADD VIDEOSOURCE\n", "no START line"},
      {"START Film.avi\n", "chose no video"},
      {"SELECT FILE 1\nADD VIDEOSOURCE\nWITH SET OPTION\nOPENDML yes\nEND WITH\nSTART F.avi\n",
       "OPENDML takes 0 or 1"},
      {"SELECT FILE 1\nADD VIDEOSOURCE\nSET OPTION AUDIO INTERLEAVE 1 MS\nSTART F.avi\n",
       "AUDIO INTERLEAVE"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(RunScript(head + c.lines, &error).has_value()) << c.lines;
    EXPECT_NE(std::string::npos, error.find(c.named)) << c.lines << " -> " << error;
    EXPECT_EQ(std::string::npos, error.find('\n')) << "one line: " << error;
  }
}

TEST(ToolkitAviMuxScript, AudioChoiceCommentsEndsAndPaths) {
  std::string error;
  // The video file's own audio and a second file's; deselecting all, then choosing.
  auto plan = RunScript(
      "\xEF\xBB\xBFREM dub\r\nLOAD dub.avi\r\nLOAD two.mka\r\n\r\nSELECT FILE 1\r\n"
      "ADD MMSOURCE\r\nDESELECT AUDIO 0\r\nSELECT AUDIO 2\r\nSELECT AUDIO 4\r\n"
      "START  \"sub\\Film Name.avi\"  \r\nLOAD is/never/read.avi\r\n",
      &error);
  ASSERT_TRUE(plan.has_value()) << error;
  EXPECT_EQ("/out/dub.avi", plan->video);
  ASSERT_EQ(2u, plan->audio.size());
  EXPECT_EQ("/out/dub.avi", plan->audio[0].file);
  EXPECT_EQ(1, plan->audio[0].stream);
  EXPECT_EQ("/out/two.mka", plan->audio[1].file);
  EXPECT_EQ(1, plan->audio[1].stream);
  EXPECT_EQ("/out/sub/Film Name.avi", plan->output);

  // CLEAR forgets what was loaded; ENDOFFILE ends the script like the end of the text.
  plan = RunScript(
      "LOAD dub.avi\nCLEAR\nLOAD movie.avi\nLOAD movie.ac3\nSELECT FILE 1\n"
      "ADD VIDEOSOURCE\nSTART F.avi\n",
      &error);
  ASSERT_TRUE(plan.has_value()) << error;
  ASSERT_EQ(1u, plan->audio.size());
  EXPECT_EQ("/out/movie.ac3", plan->audio[0].file);
  EXPECT_FALSE(RunScript("LOAD movie.avi\nSELECT FILE 1\nADD VIDEOSOURCE\nENDOFFILE\nSTART F.avi\n",
                         &error));
  EXPECT_NE(std::string::npos, error.find("no START line")) << error;
}

TEST(ToolkitAviMuxScript, PathsOfEitherSystem) {
  EXPECT_EQ("/tmp/out/movie.avi", ScriptPath("/tmp/out/movie.avi", "/s"));
  EXPECT_EQ("/tmp/out/movie.avi", ScriptPath("/tmp/out\\movie.avi", "/s"));
  EXPECT_EQ("/s/sub/movie.avi", ScriptPath("sub\\movie.avi", "/s"));
  EXPECT_EQ("/s/a b.avi", ScriptPath(" \"a b.avi\" ", "/s"));
  EXPECT_EQ("/s/D:/QUILLET/movie.avi", ScriptPath("D:\\QUILLET\\movie.avi", "/s"));
}

TEST(ToolkitAviWrite, PartNamesAndTheMuxLine) {
  EXPECT_EQ("Film.avi", AviPartName("Film.avi", 1));
  EXPECT_EQ("Film_002.avi", AviPartName("Film.avi", 2));
  EXPECT_EQ("My.Film_012.avi", AviPartName("My.Film.avi", 12));

  AviMuxPlan plan;
  plan.video = "/o/dub.avi";
  plan.audio = {{"/o/movie.ac3", 0}, {"/o/dub.avi", 1}, {"/o/two.mka", 1}};
  plan.output = "/o/Film.avi";
  EXPECT_EQ(Join(AviMuxArgv(plan, "/t/Film.avi"), " "),
            "ffmpeg -nostdin -y -v error -i /o/dub.avi -i /o/movie.ac3 -i /o/two.mka "
            "-map 0:v:0 -map 1:a:0 -map 0:a:1 -map 2:a:1 -c copy -f avi /t/Film.avi");
}

}  // namespace
}  // namespace quillet::toolkit
