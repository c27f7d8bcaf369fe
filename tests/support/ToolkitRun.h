#pragma once
// The toolkit's slots as the end-to-end tests start them: through their links in the built
// program folder, with the command lines the program writes, on films made here.

#include <gtest/gtest.h>

#include "convert/MetaFile.h"
#include "tests/e2e/MediaTools.h"
#include "toolkit/Files.h"

namespace quillet::test {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
inline const std::string kProgram = QUILLET_PROGRAM_DIR;

// Starts a slot ("TS/tsmuxer.exe") through its link, as the program's runner does.
inline toolkit::ToolResult Slot(const std::string& slot, Args args) {
  args.insert(args.begin(), kProgram + "/" + slot);
  return Quiet(args);
}

// A tool run that succeeded; what it said otherwise.
inline ::testing::AssertionResult Done(const toolkit::ToolResult& r) {
  if (r.Ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "failed:\n" << r.err;
}

// A failed slot whose last line names what was wrong.
inline ::testing::AssertionResult FailedNaming(const toolkit::ToolResult& r,
                                               const std::string& named) {
  if (!r.Ok() && quillet::Split(quillet::Trim(r.err), '\n').back().find(named) != std::string::npos)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no failure naming " << named << ":\n" << r.err;
}

// The words of a command line, "@" standing for `folder` ("1:@movie.h264").
inline Args At(const std::string& folder, const std::string& line) {
  Args words = Words(line);
  for (std::string& word : words)
    for (size_t at = 0; (at = word.find('@', at)) != std::string::npos; at += folder.size())
      word.replace(at, 1, folder);
  return words;
}

// ffmpeg making sample media: the words of its command line, then the output file.
inline ::testing::AssertionResult Ffmpeg(const std::string& words, const std::string& output) {
  return Made(Words("ffmpeg -nostdin -y -v error " + words + " " + output));
}

// ffprobe's value of one entry of a section ("format=duration", "stream_tags=language").
inline std::string ProbeEntry(const std::string& path, const std::string& entry,
                              const std::string& stream = "v:0",
                              const std::string& flag = "-hide_banner") {
  return quillet::Trim(Quiet({"ffprobe", flag, "-v", "error", "-select_streams", stream,
                              "-show_entries", entry, "-of", "default=nw=1:nk=1", path})
                           .out);
}

// Entries of every stream ("h264,0x1011 ac3,0x1100" for "codec_name,id"), each stream once
// (a transport stream's program lists them again) and without side data.
inline std::string Streams(const std::string& path, const std::string& entries = "codec_name") {
  std::string text, last;
  for (const std::string& line : quillet::Split(
           Quiet(Words("ffprobe -v error -of flat -show_entries stream=" + entries + " " + path))
               .out,
           '\n')) {
    const size_t dot = line.find('.', 15), equals = line.find('=');
    if (!quillet::StartsWith(line, "streams.stream.") || line.find('.', dot + 1) < equals) continue;
    std::string value = line.substr(equals + 1), index = line.substr(15, dot - 15);
    if (value[0] == '"') value = value.substr(1, value.size() - 2);
    text += (text.empty() ? "" : index == last ? "," : " ") + value;
    last = index;
  }
  return text;
}

inline double Seconds(const std::string& path) {
  return quillet::ParseDecimal(ProbeEntry(path, "format=duration")).value_or(-1);
}

// The video frames as the packets ffprobe reads; a transport stream lists the count twice.
inline long long VideoFrames(const std::string& path) {
  const std::string count = ProbeEntry(path, "stream=nb_read_packets", "v:0", "-count_packets");
  return quillet::ParseInt(quillet::Split(count, '\n')[0]).value_or(-1);
}

// A test's own output folder.
class SlotTest : public ::testing::Test {
 protected:
  TempFolder out{"toolkit-out"};
  std::string O(const std::string& name) const { return out.str() + "/" + name; }
  ::testing::AssertionResult Run(const std::string& slot, const std::string& line) {
    return Done(Slot(slot, At(out.withSep(), line))) << " (" << slot << ")";
  }
  // The muxer on a job file written as the program writes it, in the output folder.
  toolkit::ToolResult Mux(const meta::Lines& lines, const std::string& result) {
    WriteFile(O("movie.meta"), meta::Text(lines));
    return Slot("TS/tsmuxer.exe", {O("movie.meta"), result});
  }
};

}  // namespace quillet::test
