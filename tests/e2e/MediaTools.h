#pragma once
// The Debian media tools as the end-to-end tests use them, and the shelf of sample films
// they share.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/JsonFields.h"
#include "base/Text.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestApp.h"
#include "toolkit/Process.h"

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
  return ::testing::AssertionFailure() << quillet::ShowCommand(argv) << "\n" << r.err;
}

// The text holds `part`; either way the whole text is shown when the test fails.
inline ::testing::AssertionResult Holds(const std::string& text, const std::string& part) {
  const bool held = text.find(part) != std::string::npos;
  return (held ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
         << (held ? "\"" : "no \"") << part << "\" in:\n"
         << text;
}

// The words of `before`, the path, then the words of `after`: a tool's argument list.
inline std::vector<std::string> Around(const std::string& before, const std::string& path,
                                       const std::string& after) {
  std::vector<std::string> argv = Words(before), rest = Words(after);
  argv.push_back(path);
  argv.insert(argv.end(), rest.begin(), rest.end());
  return argv;
}

// ffprobe's value of one entry ("codec_name") of one stream ("a:0").
inline std::string Probe(const std::string& path, const std::string& stream,
                         const std::string& entry) {
  const toolkit::ToolResult r =
      Quiet({"ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
             "stream=" + entry, "-of", "default=nw=1:nk=1", path});
  return quillet::Trim(quillet::Split(r.out, '\n')[0]);
}

// The duration ffprobe gives a stream ("v:0", "a:0"), in seconds; -1 when it gives none.
inline double StreamSeconds(const std::string& path, const std::string& stream) {
  return quillet::ParseDecimal(Probe(path, stream, "duration")).value_or(-1);
}

// The whole file decodes without a complaint.
inline ::testing::AssertionResult DecodesCleanly(const std::string& path) {
  const toolkit::ToolResult r =
      Quiet({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
  if (r.Ok() && quillet::Trim(r.err).empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << ": " << r.err;
}

// What ffprobe says of a file, each entry as text under "format.NAME" or, for the first
// stream of each kind, "video.NAME", "audio.NAME", "subtitle.NAME".
inline std::map<std::string, std::string> Facts(const std::string& path) {
  const toolkit::ToolResult r =
      Quiet(Around("ffprobe -v error -show_streams -show_format -of json", path, ""));
  const quillet::JsonValue probe = quillet::ParseJson(r.out).value_or(quillet::JsonValue());
  std::map<std::string, std::string> facts;
  if (!r.Ok()) ADD_FAILURE() << "ffprobe " << path << ": " << r.err;
  for (const auto& [key, value] : quillet::Member(probe, "format").items())
    facts["format." + key] = quillet::TextOf(value);
  for (const quillet::JsonValue& stream : quillet::Elements(quillet::Member(probe, "streams")))
    for (const auto& [key, value] : stream.items())
      facts.emplace(quillet::StringOf(quillet::Member(stream, "codec_type")) + "." + key,
                    quillet::TextOf(value));
  return facts;
}

// Every entry expected of the file ("video.level=41 audio.channels=6") has its value.
inline void ExpectFacts(const std::string& path, const std::string& expected) {
  const std::map<std::string, std::string> facts = Facts(path);
  for (const std::string& entry : Words(expected)) {
    const std::string key = entry.substr(0, entry.find('='));
    const auto found = facts.find(key);
    EXPECT_EQ(found == facts.end() ? "(none)" : found->second, entry.substr(key.size() + 1))
        << key << " of " << path;
  }
}

// Picture and sound each as long as `seconds` (the file's length where a stream has none).
inline void ExpectLength(const std::string& path, double seconds, double tolerance = 0.2) {
  std::map<std::string, std::string> facts = Facts(path);
  for (const std::string kind : {"video.duration", "audio.duration"}) {
    const std::string text = facts.count(kind) ? facts[kind] : facts["format.duration"];
    EXPECT_NEAR(quillet::ParseDecimal(text).value_or(-1), seconds, tolerance)
        << kind << " of " << path;
  }
}

// mediainfo's line of video `fields` ("%Format_Settings_QPel%").
inline std::string MediaInfo(const std::string& path, const std::string& fields) {
  return quillet::Trim(Quiet({"mediainfo", "--Inform=Video;" + fields, path}).out);
}

// The sound's length in seconds as mediainfo reads it from the file's headers.
inline double HeaderSoundSeconds(const std::string& path) {
  const std::string ms = quillet::Trim(Quiet({"mediainfo", "--Inform=Audio;%Duration%", path}).out);
  return quillet::ParseDecimal(ms).value_or(-1000) / 1000;
}

// The time ffmpeg reaches decoding the first sound track, in seconds; -1 when it says none.
inline double DecodedSoundSeconds(const std::string& path) {
  const std::string err =
      Quiet({"ffmpeg", "-nostdin", "-i", path, "-map", "0:a:0", "-f", "null", "-"}).err;
  const size_t at = err.rfind("time=");
  int hours = 0, minutes = 0;
  double seconds = -1;
  if (at == std::string::npos ||
      std::sscanf(err.c_str() + at, "time=%d:%d:%lf", &hours, &minutes, &seconds) != 3)
    return -1;
  return hours * 3600 + minutes * 60 + seconds;
}

// The frequency of the tone in the first channel of an audio track ("0:a:0"), counted
// from the sign changes of its samples: each period changes sign twice.
inline double ToneHertz(const std::string& path, const std::string& track = "0:a:0") {
  const std::string pcm =
      Quiet(Around("ffmpeg -nostdin -v error -i", path,
                   "-map " + track + " -af pan=mono|c0=c0 -ar 48000 -f s16le -"))
          .out;
  const size_t samples = pcm.size() / 2;
  int changes = 0;
  for (size_t i = 1; i < samples; ++i)
    changes += (pcm[2 * i + 1] < 0) != (pcm[2 * i - 1] < 0);  // the high byte holds the sign
  return samples ? changes / 2.0 / (samples / 48000.0) : -1;
}

// The loudness of each channel of an audio track ("0:a:0"), in dB.
inline std::vector<double> ChannelLevels(const std::string& path, const std::string& track) {
  const toolkit::ToolResult r = Quiet(Around(
      "ffmpeg -nostdin -i", path,
      "-map " + track + " -af astats=measure_overall=none:measure_perchannel=RMS_level -f null -"));
  std::vector<double> levels;
  for (const std::string& line : quillet::Split(r.err, '\n'))
    if (size_t at = line.find("RMS level dB: "); at != std::string::npos)
      levels.push_back(std::stod(line.substr(at + 14)));
  return levels;
}

// A sample film NAME made once by a shell recipe (run in a folder of its own) and kept in
// the build's film shelf under the hash of name and recipe, for tests to read only.
inline std::string ShelvedFilm(const std::string& name, const std::string& recipe) {
  namespace fs = std::filesystem;
  const fs::path shelf = fs::path(QUILLET_BINARY_DIR) / "tests" / "films";
  const std::string key = quillet::Format(
      "%016llx", static_cast<unsigned long long>(std::hash<std::string>{}(name + "\n" + recipe)));
  const fs::path film = shelf / key / name, work = shelf / (key + ".making");
  fs::create_directories(film.parent_path());
  const int lock = open((shelf / (key + ".lock")).c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
  flock(lock, LOCK_EX);  // another process making the same film finishes first
  if (!fs::exists(film)) {
    fs::remove_all(work);
    fs::create_directories(work);
    const ProgramRun run = RunShell("cd " + ShellQuoted(work.string()) + " && " + recipe);
    if (run.status == 0 && fs::exists(work / name))
      fs::rename(work / name, film);
    else
      ADD_FAILURE() << "cannot make " << name << ": " << recipe << "\n" << run.err;
    fs::remove_all(work);
  }
  close(lock);
  return fs::exists(film) ? film.string() : "";
}

// A shelved film of ffmpeg's test pictures of `size` at 23.976 fps and a tone, for
// `seconds`, made with ffmpeg's `options` (codecs, channels).
inline std::string TestFilm(const std::string& name, const std::string& size, int seconds,
                            const std::string& options) {
  return ShelvedFilm(name, "ffmpeg -v error -f lavfi -i testsrc=size=" + size +
                               ":rate=24000/1001 -f lavfi -i sine=r=48000 -t " +
                               std::to_string(seconds) + " -pix_fmt yuv420p " + options + " " +
                               ShellQuoted("./" + name));
}

// AVI films by mencoder's Xvid encoder (`options` added), from an MPEG-4 AVI by ffmpeg
// read through lavf: mencoder's own AVI reader turns it into one repeated picture.
inline std::string XvidAvi(const std::string& name, const std::string& options) {
  return ShelvedFilm(name,
                     "ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f "
                     "lavfi -i sine=duration=3:sample_rate=44100 -ac 2 -c:v mpeg4 -q:v 2 -c:a "
                     "libmp3lame base.avi && mencoder -really-quiet -demuxer lavf base.avi -ovc "
                     "xvid -xvidencopts bitrate=900" +
                         options + " -oac mp3lame -o " + ShellQuoted(name));
}

// A WMV film of `frames` at 25 fps of an advanced-profile VC-1 stream written by hand
// (Debian packages no VC-1 encoder): 320x240, a sequence header (profile 3, level 1, 4:2:0,
// frame rate 2 over 1000) and an entry point before an I frame each second, skipped frames
// between, filler after each frame header; WMA sound. Without `rateInHeader` the sequence
// header's FRAMERATE_FLAG is 0: only the ASF file tells the rate.
inline std::string Vc1Wmv(const std::string& name, int frames, bool rateInHeader = true) {
  using namespace std::string_literals;  // the headers hold zero bytes
  const std::string start = "\x00\x00\x01"s;
  const std::string sequence = start + "\x0F\xCA\x00\x09\xF0\x77\x0A\x09\xF8\x1D"s +
                               (rateInHeader ? "\xE8\x08\x48"s : "\xE1"s) + start +
                               "\x0E\x40\x00\x80"s;
  std::string stream;
  for (int i = 0; i < frames; ++i)
    stream += (i % 25 ? "" : sequence) + start + (i % 25 ? "\x0D\xF0\x08" : "\x0D\xC0\x10") +
              std::string(16, '\x55');
  std::string bytes;  // as printf writes them
  for (unsigned char c : stream) bytes += quillet::Format("\\%03o", c);
  return ShelvedFilm(name, "printf '" + bytes +
                               "' > picture.vc1 && ffmpeg -nostdin -v error -f vc1 -r 25 -i "
                               "picture.vc1 -f lavfi -i sine=d=" +
                               std::to_string(frames / 25) +
                               " -ac 2 -c:v copy -c:a wmav2 -shortest -f asf " + ShellQuoted(name));
}

// The grey levels of the lower third of the picture at second `at`.
inline std::string LowerThird(const std::string& film, double at) {
  return Quiet(Around("ffmpeg -nostdin -v error -ss " + quillet::Format("%g", at) + " -i", film,
                      "-frames:v 1 -vf crop=iw:ih/3:0:ih*2/3,format=gray -f rawvideo -"))
      .out;
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
