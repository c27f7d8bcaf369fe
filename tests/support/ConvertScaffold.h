#pragma once
// A TestApp set up for a conversion of the MKV source "Film.mkv" (in its own folder),
// with the standard tools of the MP4 road scripted to leave the files a real tool
// would, and helpers that spell expected command lines with placeholders.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestApp.h"

namespace quillet::test {

// The command lines of a PS3 (5.1) run of the MP4 road on an AC3 source "Film.mkv" at
// 23.976 fps, in the placeholders of ConvertScaffold::X.
inline constexpr const char* kExtractVideo =
    R"("{app}/MKVToolnix/mkvextract.exe" tracks "{src}" 1:"{out}movie.h264")";
inline constexpr const char* kWavGrab = R"("{app}/TS/wavgrab.exe" "{src}" "{out}movie.wav")";
inline constexpr const char* kAacFromWav51 =
    R"("{app}/FFMpeg/FFmpeg.exe" -f wav -i "{out}movie.wav" -acodec libfaac -ab 224kb "{out}movie.aac")";
inline constexpr const char* kAacFromWavStereo =  // the same on a stereo target
    R"("{app}/FFMpeg/FFmpeg.exe" -f wav -i "{out}movie.wav" -acodec libfaac -ac 2 -ab 224kb "{out}movie.aac")";
inline constexpr const char* kMp4Box =
    R"("{app}/MP4Box/MP4Box.exe" -add "{out}movie.aac" -add "{out}movie.h264:fps=23.976" "{out}Film.mp4"  -tmp "{tmp}")";

struct ConvertScaffold : TestApp {
  ConvertScaffold();

  TempFolder sourceDir{"quillet-source"};
  std::string source;  // full path of the source

  // Replaces {app} (program folder), {out} (output folder with its separator), {tmp}
  // (output folder without it) and {src} (source path).
  std::string X(const std::string& text) const;
  std::vector<std::string> X(const std::vector<std::string>& texts) const;

  std::string Out(const std::string& name) const { return outputDir.withSep() + name; }
  bool OutputHas(const std::string& name) const;

  // The source file with the given size (sparse), also named in txtFile.
  void MakeSource(int64_t bytes = 1000);
  // An H.264 source as inspected: track ids 1 and 2, 23.976 fps, 1920x1080, 5400 s, the
  // given audio format selected.
  void Inspected(AudioType audio);
  // The inspected picture: 1440x1080 shown 1920 wide.
  void Anamorphic();
  // MakeSource(), Inspected(audio) and ScriptStandardTools(): a source ready to convert.
  void Ready(AudioType audio = kAudioAC3);
  // Creates a tool slot file in the program folder (e.g. "neroAacEnc.exe").
  void MakeTool(const std::string& relative);
  // Scripts the standard tools of the MP4 road.
  void ScriptStandardTools();
  // The tool runs and leaves nothing.
  void LeavesNothing(const std::string& tool);

  // Presses "Convert".
  void Convert();
  std::vector<std::string> Commands() const { return runner.CommandLines(); }
};

}  // namespace quillet::test
