#pragma once
// The toolkit's slots as the end-to-end tests start them: through their links in the built
// program folder, with the command lines the program writes, on films made here with
// ffmpeg, each result judged by ffprobe.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/support/TestApp.h"
#include "toolkit/Files.h"
#include "toolkit/Text.h"

namespace quillet::test {

using Args = std::vector<std::string>;
inline const std::string kProgram = QUILLET_PROGRAM_DIR;

// Starts a slot ("TS/tsmuxer.exe") through its link, as the program's runner does.
inline toolkit::ToolResult Slot(const std::string& slot, const Args& args) {
  Args argv = {kProgram + "/" + slot};
  argv.insert(argv.end(), args.begin(), args.end());
  return Quiet(argv);
}

inline ::testing::AssertionResult SlotOk(const std::string& slot, const Args& args) {
  const toolkit::ToolResult r = Slot(slot, args);
  if (r.Ok()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << slot << " failed:\n" << r.err;
}

// ffmpeg making sample media: the words of its command line, then the output file.
inline ::testing::AssertionResult Ffmpeg(const std::string& words, const std::string& output) {
  Args argv = Words("ffmpeg -nostdin -y -v error " + words);
  argv.push_back(output);
  return Made(argv);
}

// ffprobe's value of one format entry ("format_name", "duration").
inline std::string FormatEntry(const std::string& path, const std::string& entry) {
  return toolkit::Trim(Quiet({"ffprobe", "-v", "error", "-show_entries", "format=" + entry, "-of",
                              "default=nw=1:nk=1", path})
                           .out);
}

inline double Seconds(const std::string& path) {
  return toolkit::ParseDecimal(FormatEntry(path, "duration")).value_or(-1);
}

// The video frames ffprobe decodes; a transport stream lists the count twice.
inline long long VideoFrames(const std::string& path) {
  const toolkit::ToolResult r =
      Quiet({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=nb_read_frames", "-of", "default=nw=1:nk=1", path});
  return toolkit::ParseInt(toolkit::Trim(toolkit::Split(r.out, '\n')[0])).value_or(-1);
}

// The language tag of a stream ("s:0").
inline std::string Language(const std::string& path, const std::string& stream) {
  return toolkit::Trim(Quiet({"ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
                              "stream_tags=language", "-of", "default=nw=1:nk=1", path})
                           .out);
}

// The last line a failed slot said holds `named`.
inline ::testing::AssertionResult FailedNaming(const toolkit::ToolResult& r,
                                               const std::string& named) {
  const std::vector<std::string> said = toolkit::Split(toolkit::Trim(r.err), '\n');
  if (!r.Ok() && said.back().find(named) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no failure naming " << named << ":\n" << r.err;
}

// A test's own output folder.
class SlotTest : public ::testing::Test {
 protected:
  TempFolder out{"toolkit-out"};
  std::string O(const std::string& name) const { return out.str() + "/" + name; }
};

}  // namespace quillet::test
