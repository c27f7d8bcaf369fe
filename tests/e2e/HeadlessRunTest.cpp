// The quillet program run without a display, as a script or CI job runs it: the real
// executable in a program folder of its own, with stand-in tools that record how they
// were called and leave a hand-written Matroska report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/Program.h"
#include "tests/support/TestApp.h"

extern char** environ;

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

const fs::path kBuiltProgram = fs::path(QUILLET_PROGRAM_DIR) / "quillet";

// A report in the layout of the Matroska report tool: one H.264 track, one AC3 track.
constexpr const char* kReport = R"(+ EBML head
|+ Doc type: matroska
+ Segment, size 1048576
|+ Segment information
| + Timecode scale: 1000000
| + Duration: 120.040s (00:02:00.040)
|+ Segment tracks
| + A track
|  + Track number: 1
|  + Track UID: 1
|  + Track type: video
|  + Codec ID: V_MPEG4/ISO/AVC
|  + Default duration: 41.708ms (23.976 fps for a video track)
|  + Video track
|   + Pixel width: 1280
|   + Pixel height: 720
|   + Display width: 1280
|   + Display height: 720
| + A track
|  + Track number: 2
|  + Track UID: 2
|  + Track type: audio
|  + Codec ID: A_AC3
|  + Language: eng
|  + Audio track
|   + Sampling frequency: 48000
|   + Channels: 6
)";

// Each call appends one line to calls.log in the program folder: the tool's name and
// its arguments, separated by tabs.
constexpr const char* kRecordCall =
    "#!/bin/sh\n"
    "log=\"$(dirname \"$0\")/../calls.log\"\n"
    "printf '%s' \"$(basename \"$0\")\" >> \"$log\"\n"
    "for a in \"$@\"; do printf '\\t%s' \"$a\" >> \"$log\"; done\n"
    "printf '\\n' >> \"$log\"\n";

struct ProgramRun {
  int status = -1;
  std::string err;
};

class HeadlessRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kBuiltProgram))
      GTEST_SKIP() << "the quillet program is not built: " << kBuiltProgram;
    const fs::path exe = program.path() / "quillet";
    fs::copy_file(kBuiltProgram, exe);
    fs::permissions(exe, fs::perms::owner_all, fs::perm_options::add);

    ReportTool(kReport);
    Tool("Checker/x264_checker.exe", std::string(kRecordCall) + "echo 'dpb check: [OK]'\n");
    StoreSettings(SettingsLines());
  }

  // The report tool writes `report` to the path after "-o".
  void ReportTool(const std::string& report) {
    Tool("MKVToolnix/mkvinfo.exe",
         std::string(kRecordCall) +
             "out=''; prev=''\n"
             "for a in \"$@\"; do [ \"$prev\" = -o ] && out=\"$a\"; prev=\"$a\"; done\n"
             "[ -n \"$out\" ] && cat > \"$out\" <<'REPORT'\n" +
             report + "REPORT\n");
  }

  void Tool(const std::string& relative, const std::string& script) {
    const fs::path path = program.path() / relative;
    WriteFile(path, script);
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
  }

  // A settings file as a user might leave it: LF line ends, a short priority line.
  std::vector<std::string> SettingsLines() const {
    return {"C:\\old\\mkvextract.exe",
            "C:\\old\\ffmpeg.exe",
            "C:\\old\\MP4Box.exe",
            output.withSep(),
            " 0 ",
            " 1 ",
            "/films/",
            "",
            "2",
            "",
            " 0 ",
            " 0 ",
            " 0 ",
            "1",
            " 1 "};
  }
  void StoreSettings(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    WriteFile(program.path() / "Quillet.conf", text);
  }

  std::string Source(const std::string& name) {
    WriteFile(sources.path() / name, "not really a film");
    return (sources.path() / name).string();
  }

  // Runs the copied program without a display and waits for it (at most two minutes).
  ProgramRun Quillet(const std::vector<std::string>& args) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string var = *e;
      if (var.starts_with("DISPLAY=") || var.starts_with("WAYLAND_DISPLAY=") ||
          var.starts_with("HOME="))
        continue;
      env.push_back(var);
    }
    env.push_back("HOME=" + home.str());
    const std::string exe = (program.path() / "quillet").string();
    std::vector<std::string> argvText = {exe};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string errPath = (home.path() / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ProgramRun run;
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << exe << ": " << std::strerror(spawned);
      return run;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "quillet did not end";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(errPath);
    return run;
  }

  // The recorded calls of one tool, each as its argument list.
  std::vector<std::vector<std::string>> Calls(const std::string& tool) const {
    std::vector<std::vector<std::string>> calls;
    std::istringstream log(ReadFile(program.path() / "calls.log"));
    std::string line;
    while (std::getline(log, line)) {
      std::vector<std::string> fields;
      size_t start = 0;
      for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
      fields.push_back(line.substr(start));
      if (fields[0] != tool) continue;
      fields.erase(fields.begin());
      calls.push_back(fields);
    }
    return calls;
  }
  std::vector<std::string> ReportedSources() const {
    std::vector<std::string> seen;
    for (const auto& call : Calls("mkvinfo.exe"))
      if (!call.empty()) seen.push_back(call[0]);
    return seen;
  }

  TempFolder program{"quillet-e2e-program"};
  TempFolder output{"quillet-e2e-output"};
  TempFolder sources{"quillet-e2e-sources"};
  TempFolder home{"quillet-e2e-home"};
};

TEST_F(HeadlessRun, ArgumentsThatNameNothingToConvertGetTheUsageLine) {
  const std::string avi = Source("clip.avi");
  const std::vector<std::vector<std::string>> cases = {
      {}, {sources.str() + "/missing.mkv"}, {avi}, {"\"" + avi + "\""}};
  for (const auto& args : cases) {
    SCOPED_TRACE(args.empty() ? "(no argument)" : args[0]);
    ProgramRun run = Quillet(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(kHeadlessUsage), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(program.path() / "calls.log"));
}

TEST_F(HeadlessRun, AMatroskaPathWithBlanksReachesTheReportToolQuotedOrNot) {
  const std::string path = Source("my film.mkv");
  const std::vector<std::vector<std::string>> forms = {
      {path},                               // quoted by the shell: one argument
      {sources.str() + "/my", "film.mkv"},  // unquoted: split at the blank
      {"\"" + path + "\""},                 // the quotes themselves reach the program
  };
  for (const auto& args : forms) {
    SCOPED_TRACE(args[0]);
    fs::remove(program.path() / "calls.log");
    ProgramRun run = Quillet(args);
    // The stand-in tools cannot convert anything, so the run fails.
    EXPECT_EQ(run.status, 1) << run.err;
    const auto calls = Calls("mkvinfo.exe");
    ASSERT_FALSE(calls.empty()) << run.err;
    // The output folder comes from the settings file.
    EXPECT_EQ(calls[0], (std::vector<std::string>{path, "-o", output.withSep() + "info.txt"}));
    const auto checks = Calls("x264_checker.exe");
    ASSERT_FALSE(checks.empty());
    EXPECT_EQ(checks[0], std::vector<std::string>{path});
  }
}

TEST_F(HeadlessRun, TheSettingsFileIsReadAndRewrittenByItsRules) {
  const fs::path settings = program.path() / "Quillet.conf";
  const std::string stored = ReadFile(settings);
  const std::string path = Source("film.mkv");
  ProgramRun run = Quillet({path});
  EXPECT_EQ(ReportedSources(), std::vector<std::string>{path});

  const std::string after = ReadFile(settings);
  if (run.err.find("Conversion is not built yet.") != std::string::npos) {
    EXPECT_EQ(after, stored);  // nothing started a conversion, so nothing rewrote it
    return;
  }
  // "Convert" rewrote it: 15 lines ended by CR LF, numbers printed as the program
  // prints them, the short lines read by their rules.
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = after.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(after.substr(start, end - start));
  EXPECT_EQ(start, after.size()) << "the file ends with an unfinished line";
  ASSERT_EQ(lines.size(), 15u) << after;
  EXPECT_EQ(lines[3], output.withSep());
  EXPECT_EQ(lines[4], " 0 ");
  EXPECT_EQ(lines[5], " 1 ");
  EXPECT_EQ(lines[6], sources.withSep());  // the folder of the last source
  EXPECT_EQ(lines[8], " 0 ");              // "2" is not a stored index: MPEG2
  EXPECT_EQ(lines[10], " 0 ");
  EXPECT_EQ(lines[11], " 0 ");
  EXPECT_EQ(lines[12], " 0 ");
  EXPECT_EQ(lines[13], " 0 ");  // "1" is not a stored index: Low
  EXPECT_EQ(lines[14], " 1 ");
}

TEST_F(HeadlessRun, AFolderRunSkipsFilesWithEarlierResults) {
  for (const char* name : {"a film.mkv", "b.mkv", "c.MKV", "d.mkv", "e.avi"}) Source(name);
  WriteFile(output.path() / "b.mp4", "done");
  WriteFile(output.path() / "d.mpg", "done");
  ProgramRun run = Quillet({sources.str()});
  EXPECT_EQ(run.status, 1) << run.err;
  const std::string folder = sources.withSep();
  EXPECT_EQ(ReportedSources(), (std::vector<std::string>{folder + "a film.mkv", folder + "c.MKV"}));
}

// A report in the older layout of the report tool: an anamorphic H.264 track, an AAC
// track, an AC3 track, a text and an SSA subtitle track.
constexpr const char* kLegacyReport = R"(+ EBML head
|+ EBML version: 1
|+ Doc type: matroska
|+ Doc type version: 2
+ Segment, size 2147483648
|+ Seek head (subentries will be skipped)
|+ EbmlVoid (size: 4013)
|+ Segment information
| + Timecode scale: 1000000
| + Muxing application: libebml v0.7.7 + libmatroska v0.8.1
| + Writing application: mkvmerge v2.4.2 ('Oh My God') built on Jan 20 2009 12:00:00
| + Duration: 2711.360s (00:45:11.360)
|+ Segment tracks
| + A track
|  + Track number: 1
|  + Track UID: 3184726510
|  + Track type: video
|  + Enabled: 1
|  + Default flag: 1
|  + Lacing flag: 0
|  + Codec ID: V_MPEG4/ISO/AVC
|  + Codec's private data: size 40 (H.264 profile: High @L4.1)
|  + Default duration: 41.708ms (23.976 fps for a video track)
|  + Language: und
|  + Video track
|   + Pixel width: 1440
|   + Pixel height: 1080
|   + Interlaced: 0
|   + Display width: 1920
|   + Display height: 1080
| + A track
|  + Track number: 2
|  + Track UID: 2251093874
|  + Track type: audio
|  + Enabled: 1
|  + Default flag: 1
|  + Codec ID: A_AAC
|  + Codec's private data: size 5
|  + Default duration: 21.333ms (46.875 fps for a video track)
|  + Language: jpn
|  + Audio track
|   + Sampling frequency: 48000
|   + Channels: 2
| + A track
|  + Track number: 3
|  + Track UID: 951847362
|  + Track type: audio
|  + Enabled: 1
|  + Default flag: 0
|  + Codec ID: A_AC3
|  + Default duration: 32.000ms (31.250 fps for a video track)
|  + Language: eng
|  + Audio track
|   + Sampling frequency: 48000
|   + Channels: 6
| + A track
|  + Track number: 4
|  + Track UID: 1203948576
|  + Track type: subtitles
|  + Lacing flag: 0
|  + Codec ID: S_TEXT/UTF8
|  + Language: eng
| + A track
|  + Track number: 5
|  + Track UID: 1766120934
|  + Track type: subtitles
|  + Lacing flag: 0
|  + Codec ID: S_TEXT/SSA
|  + Codec's private data: size 712
|  + Language: ger
|+ EbmlVoid (size: 1115)
|+ Cluster
)";

TEST_F(HeadlessRun, ALegacyReportWithTwoAudioTracksIsLoggedAndItsFirstTrackExtracted) {
  ReportTool(kLegacyReport);
  Tool("MKVToolnix/mkvextract.exe", kRecordCall);
  const std::string path = Source("anime.mkv");
  ProgramRun run = Quillet({path});
  EXPECT_EQ(run.status, 1) << run.err;  // the stand-ins convert nothing
  ASSERT_EQ(ReportedSources(), std::vector<std::string>{path});

  // The log starts with the whole report, line by line, then what the parser found.
  std::vector<std::string> expected;
  std::istringstream report(kLegacyReport);
  for (std::string line; std::getline(report, line);) expected.push_back(line);
  expected.push_back("AVC mkv");
  expected.push_back("Video found on track 1");
  expected.push_back(
      "Video info: Pixel resolution: 1440x 1080. Display resolution adaptation: :par=1920:1440");
  const std::string log = ReadFile(program.path() / "debug.log");
  std::vector<std::string> logged;
  size_t start = 0;
  for (size_t end;
       logged.size() < expected.size() && (end = log.find("\r\n", start)) != std::string::npos;
       start = end + 2)
    logged.push_back(log.substr(start, end - start));
  EXPECT_EQ(logged, expected);

  // The first audio track is the one converted: track 2, as AAC, beside video track 1.
  const auto extractions = Calls("mkvextract.exe");
  ASSERT_FALSE(extractions.empty()) << run.err;
  const std::vector<std::string>& call = extractions[0];
  ASSERT_GE(call.size(), 3u);
  EXPECT_EQ(call[0], "tracks");
  EXPECT_EQ(call[1], path);
  EXPECT_NE(std::find(call.begin(), call.end(), "1:" + output.withSep() + "movie.h264"),
            call.end());
  EXPECT_NE(std::find(call.begin(), call.end(), "2:" + output.withSep() + "movie.aac"), call.end());
}

TEST_F(HeadlessRun, MessageBoxesAppearOnStandardErrorAsTitleAndText) {
  // A line break cannot travel inside a tool's command line: the source is refused.
  const std::string path = Source("two\nlines.mkv");
  ProgramRun run = Quillet({path});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Unsafe path: This source file cannot be used: its path holds a "
                         "double quote or a line break"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(program.path() / "calls.log"));
}

}  // namespace
}  // namespace quillet::test
