// The base the program and the toolkit share, on real files and child processes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/BitStream.h"
#include "base/Ffprobe.h"
#include "base/StopRequest.h"
#include "base/Text.h"
#include "sys/FileAPI.h"
#include "tests/support/StartedProgram.h"
#include "tests/support/TestApp.h"
#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "tools/PosixToolRunner.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& path) {
  return "\"" + path.string() + "\"";
}

class RunnerTest : public ::testing::Test {
 protected:
  // Every path goes through a folder with blanks in its name, as "My Films" would.
  fs::path Script(const std::string& relative, const std::string& body) {
    fs::path path = dir.path() / "my tools" / relative;
    WriteFile(path, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  std::string Output(const std::string& line, bool out = true, bool err = false) {
    return runner.GetCommandOutput(line, out, err, true);
  }
  // Whatever a test did, no child of ours may be left unreaped.
  void TearDown() override {
    ClearStopRequest();
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child was left behind";
    EXPECT_EQ(errno, ECHILD);
  }
  TempFolder dir{"quillet-base"};
  PosixToolRunner runner;
};

TEST_F(RunnerTest, ExitCodesStartFailuresAndArguments) {
  // 127 and 126 are ordinary exit codes, not start failures; a signal gives 128 + n.
  for (const auto& [body, code] : std::vector<std::pair<std::string, int>>{
           {"exit 3", 3}, {"exit 127", 127}, {"exit 126", 126}, {"kill -KILL $$", 128 + 9}})
    EXPECT_EQ(runner.RunTool(Quoted(Script("code.sh", body)), ToolPriority::Low), code) << body;
  WriteFile(dir.path() / "plain.txt", "not a program\n");
  WriteFile(dir.path() / "garbage.exe", "\x7f\x01garbage");
  fs::permissions(dir.path() / "garbage.exe", fs::perms::owner_all);
  for (const std::string& line :
       {Quoted(dir.path() / "missing.exe") + " -x", Quoted(dir.path() / "plain.txt"),
        Quoted(dir.path() / "garbage.exe"), Quoted(dir.path()), std::string(" ")}) {
    EXPECT_EQ(runner.RunTool(line, ToolPriority::Low), -1) << line;
    EXPECT_EQ(Output(line), kCreateProcessFailed) << line;
    EXPECT_NO_THROW(runner.RunToolHidden(line, ToolPriority::High));
  }
  fs::path args = Script("args.sh", R"(for a in "$@"; do printf '[%s]' "$a"; done)");
  EXPECT_EQ(Output(Quoted(args) + " -i " + Quoted(dir.path() / "a b.mkv") + "  \"x\"\"y\" \"\""),
            "[-i][" + (dir.path() / "a b.mkv").string() + "][x\"y][]");
  // Found without regard to case, a bare name in PATH; standard input reads nothing.
  Script("FFMpeg/faad.exe", "read x; echo \"faad $?\"");
  EXPECT_EQ(Output(Quoted(dir.path() / "MY TOOLS" / "ffmpeg" / "FAAD.exe")), "faad 1\n");
  EXPECT_EQ(Output("sh -c \"echo in path\""), "in path\n");
}

TEST_F(RunnerTest, CapturesCompletelyAndOnlyTheStreamsAskedFor) {
  std::string expected;
  for (int i = 0; i < 12000; ++i) expected += "line " + std::to_string(i) + " of the report\n";
  const std::string loop =
      "i=0; while [ $i -lt 12000 ]; do echo \"line $i of the report\"; i=$((i+1)); done";
  EXPECT_EQ(Output(Quoted(Script("long.sh", loop))), expected);
  fs::path tool = Script("streams.sh", "echo out1; echo err1 >&2; echo out2; echo err2 >&2");
  EXPECT_EQ(Output(Quoted(tool)), "out1\nout2\n");
  EXPECT_EQ(Output(Quoted(tool), false, true), "err1\nerr2\n");
  EXPECT_EQ(Output(Quoted(tool), true, true), "out1\nerr1\nout2\nerr2\n");
  fs::path marker = dir.path() / "ran";
  EXPECT_THROW(Output(Quoted(Script("touch.sh", "touch " + Quoted(marker))), false, false),
               std::invalid_argument);
  EXPECT_FALSE(fs::exists(marker));
}

// A stop ends the running tool with everything it started; no tool starts after it.
TEST_F(RunnerTest, AStopEndsTheToolsWholeGroup) {
  const std::string line = Quoted(Script(
      "work.sh", "set -- $(cat /proc/$$/stat)\nsleep 300 &\necho $! > " +
                     Quoted(dir.path() / "helper") + "\necho $5 > " + Quoted(dir.path() / "group") +
                     "\necho $$ > " + Quoted(dir.path() / "pid") + "\nwait\n"));
  runner.SetIdleCallback([this] {
    if (fs::exists(dir.path() / "pid") && !ReadFile(dir.path() / "pid").empty())
      RequestStop(SIGTERM);
  });
  RequestStop(SIGINT);
  EXPECT_THROW(runner.RunTool(line, ToolPriority::Low), RunStopped);
  EXPECT_FALSE(fs::exists(dir.path() / "pid"));
  EXPECT_EQ(StopExitStatus(), 130);
  for (int way = 0; way < 3; ++way) {
    ClearStopRequest();
    for (const char* name : {"pid", "helper", "group"}) fs::remove(dir.path() / name);
    if (way == 0) EXPECT_THROW(runner.RunTool(line, ToolPriority::Low), RunStopped);
    if (way == 1) EXPECT_THROW(runner.RunToolHidden(line, ToolPriority::Low), RunStopped);
    if (way == 2) EXPECT_THROW(Output(line, true, true), RunStopped);
    const pid_t pid = std::stoi(ReadFile(dir.path() / "pid"));
    const pid_t helper = std::stoi(AwaitFile((dir.path() / "helper").string(), 5));
    EXPECT_EQ(std::stoi(ReadFile(dir.path() / "group")), pid) << "a process group of its own";
    EXPECT_FALSE(ProcessRuns(pid) || ProcessRuns(helper)) << way;
    EXPECT_EQ(GroupMembers(pid), std::vector<pid_t>{});
    EXPECT_EQ(StopExitStatus(), 143);
  }
}

// Low runs ten steps nicer than us, High ahead where allowed, Normal and reports at ours.
TEST_F(RunnerTest, ToolsRunAtTheirPriority) {
  const int own = getpriority(PRIO_PROCESS, 0);
  const fs::path tool = Script("nice.sh", "set -- $(cat /proc/$$/stat); echo ${19} > \"$0.nice\"");
  const auto niceOf = [&](ToolPriority priority) {
    runner.RunTool(Quoted(tool), priority);
    return std::stoi(ReadFile(tool.string() + ".nice"));
  };
  EXPECT_EQ(niceOf(ToolPriority::Low), std::min(own + 10, 19));
  EXPECT_EQ(niceOf(ToolPriority::High), geteuid() == 0 ? std::max(own - 5, -20) : own);
  EXPECT_EQ(niceOf(ToolPriority::Normal), own);
  Output(Quoted(tool));
  EXPECT_EQ(std::stoi(ReadFile(tool.string() + ".nice")), own);
}

// The window repaints while a tool runs; a tool that stays on after its report is reaped later.
TEST_F(RunnerTest, IdleTicksAndLingeringChildrenAreReaped) {
  int idleCalls = 0;
  runner.SetIdleCallback([&] { ++idleCalls; });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(runner.RunTool(Quoted(Script("slow.sh", "sleep 0.5")), ToolPriority::Low), 0);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(idleCalls, 3);
  EXPECT_LE(idleCalls, waited / std::chrono::milliseconds(100) + 1);  // not a busy loop
  fs::path marker = dir.path() / "finished";
  fs::path tool =
      Script("linger.sh", "echo report; exec >&- 2>&-; sleep 2; touch " + Quoted(marker));
  EXPECT_EQ(Output(Quoted(tool), true, true), "report\n");
  EXPECT_FALSE(fs::exists(marker));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool childrenLeft = true;
  while (childrenLeft && std::chrono::steady_clock::now() < deadline) {
    runner.RunTool(Quoted(Script("quick.sh", "exit 0")), ToolPriority::Low);
    siginfo_t info{};  // looks without reaping: only the runner may reap its children
    childrenLeft = waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0;
    if (childrenLeft) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(childrenLeft);
  EXPECT_TRUE(fs::exists(marker));
}

TEST_F(RunnerTest, AToolkitToolGetsNoDescriptorOfOursAndSigtermWhenTheToolkitDies) {
  const std::string at = dir.str() + "/";
  const int held = dup(2);  // inherited, not close-on-exec
  const pid_t toolkit = fork();
  if (toolkit == 0) {
    toolkit::SetLogEnabled(false);
    toolkit::RunProgram({"sh", "-c",
                         "trap 'echo TERM > " + at +
                             "signal; kill $!; exit 0' TERM; [ -e /proc/$$/fd/" +
                             std::to_string(held) + " ] && echo open > " + at +
                             "fd || echo closed > " + at + "fd; sleep 30 & wait"});
    _exit(0);
  }
  close(held);
  ASSERT_GT(toolkit, 0);
  EXPECT_EQ(AwaitFile(at + "fd", 10), "closed\n");
  kill(toolkit, SIGKILL);
  waitpid(toolkit, nullptr, 0);
  EXPECT_EQ(AwaitFile(at + "signal", 10), "TERM\n");
}

TEST(BasePaths, FoundWithoutRegardToCaseAsWindowsFindsThem) {
  TempFolder dir("quillet-base");
  WriteFile(dir.path() / "FFMpeg" / "FFmpeg.exe", "x");
  const std::string b = dir.str();
  for (const auto& [asked, found] : std::vector<std::pair<std::string, std::string>>{
           {b + "/ffmpeg/ffmpeg.exe", b + "/FFMpeg/FFmpeg.exe"},
           {b + "/ffmpeg/", b + "/FFMpeg/"},
           {b + "/ffmpeg/faad.exe", b + "/ffmpeg/faad.exe"},  // no such file
           {b + "/ffmpeg/FFmpeg.exe. ", b + "/ffmpeg/FFmpeg.exe. "}})
    EXPECT_EQ(ResolvePathNoCase(asked), found) << asked;
  // The slots' rule: Windows drops the blanks and dots that end a name.
  EXPECT_EQ(LocateInput(b + "/ffmpeg/ffmpeg.exe. "), b + "/FFMpeg/FFmpeg.exe");
  EXPECT_EQ(LocateOutput(b + "/FFMPEG/new.wav "), b + "/FFMpeg/new.wav");
  EXPECT_EQ(LocateOutput(b + "/FFMPEG/ffmpeg.EXE"), b + "/FFMpeg/FFmpeg.exe");
}

TEST(BaseFiles, ExistenceAndSizes) {
  TempFolder dir("quillet-base");
  WriteFile(dir.path() / "Film.MKV", "data");
  WriteFile(dir.path() / "empty.srt", "");
  fs::create_directories(dir.path() / "Out" / "only-folder.mkv");
  const auto at = [&](const std::string& relative) { return dir.str() + "/" + relative; };
  const std::tuple<const char*, bool, bool> rows[] = {
      {"film.mkv", false, true},     {"FILM.*", false, true},   {"F?lm.mkv", false, true},
      {"*.avi", false, false},       {"Out", false, false},     {"Out", true, true},
      {"out/", true, true},          {"missing/", true, false}, {"out/only-*.mkv", false, false},
      {"out/only-*.mkv", true, true}};
  for (const auto& [relative, folders, exists] : rows)
    EXPECT_EQ(FileExists(at(relative), folders), exists) << relative << " " << folders;
  // FileHasLength: any file, empty too; FileHasData: at least one byte.
  EXPECT_TRUE(FileHasLength(at("empty.srt")) && FileHasLength(at("film.mkv")));
  EXPECT_FALSE(FileHasLength(at("Out")) || FileHasLength(at("missing")) || FileHasLength(""));
  EXPECT_TRUE(FileHasData(at("Film.MKV")) && !FileHasData(at("empty.srt")) &&
              !FileHasData(at("Out")));
  for (int64_t size : {int64_t{0}, int64_t{4294967295}, int64_t{4294967296}, int64_t{5000000000}}) {
    fs::resize_file(dir.path() / "Film.MKV", static_cast<uintmax_t>(size));  // sparse
    int handle = kInvalidFileHandle;
    int64_t got = -7;
    GetFileSize64(at("film.mkv"), handle, got);
    EXPECT_NE(handle, kInvalidFileHandle);
    EXPECT_EQ(got, size);
    CloseFile(handle);
    EXPECT_EQ(FileSize(at("Film.MKV")), size);
  }
  // A running program cannot be opened for writing, not even by root: only reading measures it.
  EXPECT_EQ(FileSize64("/proc/self/exe"), static_cast<int64_t>(fs::file_size("/proc/self/exe")));
  // What cannot be opened: size 0 and the invalid handle for the program, -1 for the slots.
  for (const std::string& path : {at("missing.mkv"), at("Out")}) {
    int handle = 99;
    int64_t size = -7;
    GetFileSize64(path, handle, size);
    EXPECT_EQ(handle, kInvalidFileHandle);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(FileSize64(path), 0);
    EXPECT_EQ(FileSize(path), -1);
  }
  DeleteFileQuietly(at("FILM.mkv"));
  DeleteFileQuietly(at("Out"));
  EXPECT_FALSE(fs::exists(dir.path() / "Film.MKV"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "Out"));
}

TEST(BaseFiles, ListingsDeletionAndTheDebugLog) {
  TempFolder dir("quillet-base");
  for (const char* name : {"b.mkv", "A.mkv", "a_b.MKV", "aab.mkv", "c.txt", "Split/part-2.mkv",
                           "Split/part-1.mkv", "Split/sub/readonly.srt"})
    WriteFile(dir.path() / name, "x");
  fs::create_directory(dir.path() / "dir.mkv");
  // NTFS order compares upper-cased: "AAB" < "A_B"; no match gives one empty name.
  for (const auto& [mask, names] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"*.mkv", {"A.mkv", "aab.mkv", "a_b.MKV", "b.mkv"}},
           {"?.MKV", {"A.mkv", "b.mkv"}},
           {"*.avi", {""}},
           {"dir.mkv", {""}},
           {"SPLIT/*.mkv", {"part-1.mkv", "part-2.mkv"}}})
    EXPECT_EQ(ListFiles(dir.str() + "/" + mask), names) << mask;
  fs::permissions(dir.path() / "Split" / "sub", fs::perms::owner_read | fs::perms::owner_exec);
  DeleteFolderTree((dir.path() / "Split").string());
  EXPECT_FALSE(fs::exists(dir.path() / "Split"));
  AppendDebugLog(dir.str(), "mkvextract \"a b.mkv\"");
  AppendDebugLog(dir.str(), std::vector<std::string>{"Video: 1", "", "Audio: 2"});
  EXPECT_EQ(ReadFile(dir.path() / "debug.log"),
            "mkvextract \"a b.mkv\"\r\nVideo: 1\r\n\r\nAudio: 2\r\n");
  EXPECT_NO_THROW(AppendDebugLog(dir.str() + "/missing", "lost"));
}

std::string Le(uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

// The WAV results of the slots: ffmpeg's JUNK, RF64, lengths never filled in or too long.
TEST(BaseFiles, SlotWavResultsAreJudgedByTheirHeader) {
  TempFolder dir("quillet-base");
  const std::string fmt = "fmt " + Le(16, 4) + Le(1, 2) + Le(2, 2) + Le(48000, 4) + Le(192000, 4) +
                          Le(4, 2) + Le(16, 2),
                    samples(4000, '\1');
  const std::string riff = "RIFF" + Le(0, 4) + "WAVE";
  for (const auto& [bytes, valid, data] : std::vector<std::tuple<std::string, bool, int>>{
           {riff + fmt + "data" + Le(4000, 4) + samples, true, 4000},
           {riff + "JUNK" + Le(28, 4) + std::string(28, '\0') + fmt + "data" + Le(4000, 4) +
                samples,
            true, 4000},
           {"RF64" + Le(0xFFFFFFFF, 4) + "WAVE" + "ds64" + Le(28, 4) + Le(0, 8) + Le(4000, 8) +
                std::string(12, '\0') + fmt + "data" + Le(0xFFFFFFFF, 4) + samples,
            true, 4000},
           {riff + fmt + "data" + Le(0, 4) + samples, true, 4000},
           {riff + fmt + "data" + Le(99999, 4) + samples, true, 4000},
           {riff + fmt + "data" + Le(0, 4), true, 0},
           {riff + "data" + Le(4000, 4) + samples, false, 0},
           {"\xFF\xF1\x50\x80" + samples, false, 0}}) {
    const std::string path = dir.str() + "/movie.wav";
    WriteFile(path, bytes);
    const toolkit::WavInfo info = toolkit::ReadWavInfo(path);
    EXPECT_EQ(info.valid, valid) << bytes.size();
    if (valid) EXPECT_EQ(info.dataBytes, data) << bytes.size();
    EXPECT_EQ(toolkit::CheckWav(path), valid && data > 0) << bytes.size();
  }
}

TEST(BaseBits, FieldsAndExpGolombCodesReadBackAsWritten) {
  const std::vector<uint32_t> unsignedCodes = {0, 1, 2, 7, 255, 65535, 4294967294u};
  const std::vector<int32_t> signedCodes = {0, 1, -1, 17, -17, 2147483647};
  BitWriter w;
  for (uint32_t v : unsignedCodes) w.Ue(v);
  for (int32_t v : signedCodes) w.Se(v);
  w.U16(0xBEEF);
  while (!w.Aligned()) w.Bits(0, 1);
  BitReader r(w.Bytes());
  for (uint32_t v : unsignedCodes) EXPECT_EQ(r.Ue(), v);
  for (int32_t v : signedCodes) EXPECT_EQ(r.Se(), v);
  EXPECT_EQ(r.U16(), 0xBEEFu);
  EXPECT_FALSE(r.Failed());
  // The codes as H.264 spells them: ue(1) = 010, ue(6) = 00111, se(-1) = 011.
  BitWriter spelled;
  for (uint32_t v : {1, 6}) spelled.Ue(v);
  spelled.Se(-1);
  spelled.Bits(0x1F, 5);
  EXPECT_EQ(spelled.Bytes(), std::vector<uint8_t>({0x47, 0x7F}));
  BitReader cut(std::vector<uint8_t>{0x00, 0x01});  // fifteen zeros, then the data ends
  cut.Ue();
  EXPECT_TRUE(cut.Failed());
}

TEST(BaseFfprobe, ReadsARealFilmInBothForms) {
  TempFolder dir("quillet-base");
  const std::string film = dir.str() + "/film.mkv";
  const std::string make =
      "ffmpeg -v error -f lavfi -i testsrc=s=160x120:r=25:d=1 -f lavfi -i "
      "sine=d=1:r=48000 -ac 2 -c:v mpeg4 -c:a ac3 -metadata:s:a language=ger ";
  ASSERT_EQ(std::system((make + film).c_str()), 0);
  toolkit::RunOptions capture;
  capture.captureOut = true;
  std::vector<std::string> argv = ProbeJsonArgv(film);
  const auto json = ParseProbeJson(toolkit::RunProgram(argv, capture).out);
  argv.end()[-2] = "flat";
  const ProbedFile flat = ParseProbeFlat(toolkit::RunProgram(argv, capture).out);
  ASSERT_TRUE(json.has_value());
  for (const ProbedFile& f : {*json, flat}) {
    ASSERT_EQ(f.streams.size(), 2u);
    EXPECT_NEAR(f.duration, 1.0, 0.1);
    const ProbedStream &v = f.streams[0], &a = f.streams[1];
    EXPECT_EQ(
        Format("%s %s %dx%d %.3f / %d %s %s %d %d", v.type.c_str(), v.codec.c_str(), v.width,
               v.height, v.fps, a.index, a.type.c_str(), a.codec.c_str(), a.channels, a.sampleRate),
        "video mpeg4 160x120 25.000 / 1 audio ac3 2 48000");
  }
  EXPECT_EQ(json->format + " " + json->streams[1].language, "matroska,webm ger");
  EXPECT_FALSE(ParseProbeJson("not json").has_value());
}

}  // namespace
}  // namespace quillet::test
