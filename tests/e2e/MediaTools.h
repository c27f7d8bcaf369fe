#pragma once
// The Debian media tools as the end-to-end tests use them: run quietly, judged by their
// exit, and asked about the files they made.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TestApp.h"
#include "base/JsonFields.h"
#include "toolkit/Process.h"
#include "base/Text.h"

namespace quillet::test {

// Runs a tool with both outputs captured.
inline toolkit::ToolResult Quiet(const std::vector<std::string>& argv) {
  toolkit::SetLogEnabled(false);
  toolkit::RunOptions options;
  options.captureOut = true;
  options.captureErr = true;
  return toolkit::RunProgram(argv, options);
}

// A tool run that must succeed; what it said is shown when it does not.
inline ::testing::AssertionResult Made(const std::vector<std::string>& argv) {
  const toolkit::ToolResult r = Quiet(argv);
  if (r.Ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << toolkit::ShowCommand(argv) << "\n" << r.err;
}

// ffprobe's value of one entry ("codec_name") of one stream ("a:0").
inline std::string Probe(const std::string& path, const std::string& stream,
                         const std::string& entry) {
  const toolkit::ToolResult r =
      Quiet({"ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
             "stream=" + entry, "-of", "default=nw=1:nk=1", path});
  return toolkit::Trim(toolkit::Split(r.out, '\n')[0]);
}

// The whole file decodes without a complaint.
inline ::testing::AssertionResult DecodesCleanly(const std::string& path) {
  const toolkit::ToolResult r =
      Quiet({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
  if (r.Ok() && toolkit::Trim(r.err).empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << ": " << r.err;
}

// ffprobe's whole description of a file (streams and format) as JSON; null, and a test
// failure, when it cannot read the file.
inline toolkit::JsonValue ProbeJson(const std::string& path,
                                    const std::vector<std::string>& extra = {}) {
  std::vector<std::string> argv = {"ffprobe",      "-v",  "error", "-show_streams",
                                   "-show_format", "-of", "json"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.push_back(path);
  const toolkit::ToolResult r = Quiet(argv);
  std::string error;
  std::optional<toolkit::JsonValue> json = toolkit::ParseJson(r.out, &error);
  if (!r.Ok() || !json) {
    ADD_FAILURE() << "ffprobe " << path << ": " << r.err << error;
    return toolkit::JsonValue();
  }
  return *json;
}

// The first stream of a kind ("video", "audio") in ffprobe's description, or nullptr.
inline const toolkit::JsonValue* StreamOf(const toolkit::JsonValue& probe,
                                          const std::string& type) {
  for (const toolkit::JsonValue& stream : toolkit::Elements(toolkit::Member(probe, "streams")))
    if (toolkit::StringOf(toolkit::Member(stream, "codec_type")) == type) return &stream;
  return nullptr;
}

// A small film: test picture and a tone, H.264 and 5.1 AC3 in Matroska.
inline ::testing::AssertionResult MakeSmallFilm(const std::string& path, int seconds) {
  return Made({"ffmpeg",     "-nostdin", "-y",
               "-v",         "error",    "-f",
               "lavfi",      "-i",       "testsrc=size=160x120:rate=25",
               "-f",         "lavfi",    "-i",
               "sine=f=440", "-t",       std::to_string(seconds),
               "-c:v",       "libx264",  "-preset",
               "ultrafast",  "-pix_fmt", "yuv420p",
               "-c:a",       "ac3",      "-ac",
               "6",          "-ar",      "48000",
               path});
}

// An MPEG-4 AVI with MP3 stereo sound, as ffmpeg writes it: the start of the AVI films
// that mencoder turns into Xvid ones.
inline ::testing::AssertionResult MakeMpeg4Avi(const std::string& path, int seconds) {
  const std::string s = std::to_string(seconds);
  std::vector<std::string> argv =
      Words("ffmpeg -nostdin -y -f lavfi -i testsrc=size=320x240:rate=25:duration=" + s +
            " -f lavfi -i sine=frequency=440:duration=" + s +
            ":sample_rate=44100 -ac 2 -c:v mpeg4 -q:v 2 -c:a libmp3lame -b:a 128k");
  argv.push_back(path);
  return Made(argv);
}

// The duration ffprobe gives a stream ("v:0", "a:0"), in seconds; -1 when it gives none.
inline double StreamSeconds(const std::string& path, const std::string& stream) {
  return toolkit::ParseDecimal(Probe(path, stream, "duration")).value_or(-1);
}

// The names in a folder, sorted.
inline std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quillet::test
