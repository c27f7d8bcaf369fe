#pragma once
// A ConvertScaffold for the transport-stream outputs: the muxer, the AC3 encoder and the
// header tool scripted to leave what the real tools would, and the job file kept as the
// muxer read it.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ConvertScaffold.h"

namespace quillet::test {

// The command lines of the transport-stream outputs, in ConvertScaffold::X placeholders.
inline constexpr const char* kHeaderTool = R"("{app}/h264info/h264info.exe")";
inline constexpr const char* kAc3At640 =
    R"("{app}/aften/aften.exe" "{out}movie.wav" -b 640 "{out}movie.ac3")";
inline constexpr const char* kAc3AtDefault =
    R"("{app}/aften/aften.exe" "{out}movie.wav" "{out}movie.ac3")";
inline constexpr const char* kNormalize = R"("{app}/Sounds/normalize.exe" "{out}movie.wav")";
inline constexpr const char* kMuxM2ts =
    R"("{app}/TS/tsmuxer.exe" "{out}movie.meta" "{out}Film.m2ts")";
inline constexpr const char* kAuthorAvchd =
    R"("{app}/TS/tsmuxer.exe" "{out}movie.meta" "{out}Film")";

// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

struct TsScaffold : ConvertScaffold {
  // A source ready to convert (ConvertScaffold::Ready) with the muxer tools scripted.
  void ReadyTs(AudioType audio = kAudioAC3);
  // Scripts the muxer, the AC3 encoder, the header tool and the AAC decoder.
  void ScriptTsTools();

  // The job file as the muxer found it on its last run, line by line.
  std::vector<std::string> MuxedMeta() const { return CrLfLines(muxedMeta); }
  std::string muxedMeta;
};

}  // namespace quillet::test
