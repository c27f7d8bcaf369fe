// MKVToolnix/mkvmerge.exe -o OUT [options] SOURCE [options] SOURCE ... [--split size:NK]
// Track ids of Matroska sources move from the old 1-based numbers to today's 0-based
// ids; other sources (a subtitle file's track 0) keep theirs. The output (or the parts of
// a split) appear only when mkvmerge succeeded.

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/TrackIds.h"
#include "toolkit/progress/ProgressParsers.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

bool SourceIsMatroska(const std::string& source) {
  std::string located = LocateInput(source);
  if (FileHasData(located)) return IsMatroskaFile(located);
  // Not readable: go by the name, mkvmerge will report the file itself.
  return IEndsWith(source, ".mkv") || IEndsWith(source, ".mka") || IEndsWith(source, ".mks") ||
         IEndsWith(source, ".webm");
}

}  // namespace

int RunMkvmerge(const SlotCall& call) {
  std::string error;
  auto translated = TranslateMkvmergeArgs(call.args, SourceIsMatroska, &error);
  if (!translated) {
    Log(error);
    return 2;
  }
  MkvmergeCall merge = *translated;
  for (int index : merge.sources) merge.args[index] = LocateInput(merge.args[index]);

  Staging staging;
  std::string target = LocateOutput(merge.args[merge.outputIndex]);
  std::string temp = staging.Add(target);
  if (temp.empty()) return 1;
  merge.args[merge.outputIndex] = temp;

  std::vector<std::string> argv = {"mkvmerge"};
  argv.insert(argv.end(), merge.args.begin(), merge.args.end());
  MkvToolNixProgress progress;
  RunOptions options;
  options.progress = &progress;
  ToolResult r = RunProgram(argv, options);
  // mkvmerge: 0 done, 1 done with warnings, 2 failed.
  if (!r.started || r.signal != 0 || (r.exitCode != 0 && r.exitCode != 1)) return 1;
  if (staging.FileCount() == 0) {
    Log("mkvmerge wrote nothing");
    return 1;
  }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
