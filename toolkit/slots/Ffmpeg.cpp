// FFMpeg/FFmpeg.exe [options] -i INPUT ... OUTPUT
// Today's ffmpeg with the old spellings translated: the libfaac encoder is the native
// AAC encoder, "224kb" is "224k", and "-f mp2" before an input names the MPEG audio
// demuxer. Outputs appear only when ffmpeg succeeded; an existing one is replaced.

#include <algorithm>
#include <set>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/progress/ProgressParsers.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

// ffmpeg options that take no value (with or without a stream specifier).
bool IsFlag(const std::string& option) {
  static const std::set<std::string> flags = {"y",
                                              "n",
                                              "nostdin",
                                              "stdin",
                                              "hide_banner",
                                              "copyts",
                                              "start_at_zero",
                                              "shortest",
                                              "vn",
                                              "an",
                                              "sn",
                                              "dn",
                                              "re",
                                              "stats",
                                              "nostats",
                                              "benchmark",
                                              "benchmark_all",
                                              "accurate_seek",
                                              "noaccurate_seek",
                                              "dump",
                                              "hex",
                                              "ignore_unknown",
                                              "copy_unknown",
                                              "xerror",
                                              "debug_ts",
                                              "intra",
                                              "psnr",
                                              "qphist",
                                              "report",
                                              "autorotate",
                                              "noautorotate",
                                              "autoscale",
                                              "noautoscale",
                                              "bitexact",
                                              "seek_timestamp",
                                              "stream_loop_off",
                                              "sameq",
                                              "same_quant",
                                              "abort_on_empty_output"};
  std::string name = option.substr(1, option.find(':') - 1);
  return flags.count(name) > 0;
}

std::string OptionName(const std::string& option) {
  return option.substr(0, option.find(':'));
}

bool IsBitrateOption(const std::string& option) {
  static const std::set<std::string> names = {"-ab",      "-b",       "-vb",
                                              "-maxrate", "-minrate", "-bufsize"};
  return names.count(OptionName(option)) > 0;
}

bool IsCodecOption(const std::string& option) {
  static const std::set<std::string> names = {"-acodec", "-c", "-codec"};
  return names.count(OptionName(option)) > 0;
}

// "224kb" -> "224k" (today's ffmpeg reads a trailing "b" as an error).
std::string FixBitrate(const std::string& value) {
  if (!IEndsWith(value, "kb") || value.size() < 3) return value;
  std::string number = value.substr(0, value.size() - 2);
  if (!ParseDecimal(number)) return value;
  return number + "k";
}

// How long the output will be: the first input's length, or less when "-t" says so.
// 0 when unknown.
double ExpectedSeconds(const FfmpegCall& ff) {
  if (ff.inputs.empty()) return 0;
  double seconds = ProbeSeconds(ff.args[static_cast<size_t>(ff.inputs.front())]).value_or(0);
  for (size_t i = 0; i + 1 < ff.args.size(); ++i)
    if (ff.args[i] == "-t")
      if (auto limit = ParseDecimal(ff.args[i + 1]); limit && *limit > 0 && seconds > 0)
        seconds = std::min(seconds, *limit);
  return seconds;
}

}  // namespace

FfmpegCall TranslateFfmpegArgs(const std::vector<std::string>& args) {
  FfmpegCall call;
  int pendingFormat = -1;  // position of the value of the last -f
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 1 && a[0] == '-' && a != "-") {
      if (a == "-n") call.noOverwrite = true;
      if (a == "-y" || a == "-n") continue;  // the adapter decides about overwriting
      call.args.push_back(a);
      if (IsFlag(a) || i + 1 >= args.size()) continue;
      std::string value = args[++i];
      if (a == "-i") {
        if (pendingFormat >= 0 && call.args[static_cast<size_t>(pendingFormat)] == "mp2")
          call.args[static_cast<size_t>(pendingFormat)] = "mp3";
        pendingFormat = -1;
        call.args.push_back(value);
        call.inputs.push_back(static_cast<int>(call.args.size() - 1));
        continue;
      }
      if (IsBitrateOption(a)) value = FixBitrate(value);
      if (IsCodecOption(a) && value == "libfaac") value = "aac";
      call.args.push_back(value);
      if (a == "-f") pendingFormat = static_cast<int>(call.args.size() - 1);
      continue;
    }
    // Anything else is an output file.
    call.args.push_back(a);
    pendingFormat = -1;
    call.outputs.push_back(static_cast<int>(call.args.size() - 1));
  }
  return call;
}

int RunFfmpeg(const SlotCall& call) {
  FfmpegCall ff = TranslateFfmpegArgs(call.args);
  if (ff.outputs.empty()) {
    Log("no output file");
    return 2;
  }
  for (int index : ff.inputs)
    ff.args[static_cast<size_t>(index)] = LocateInput(ff.args[static_cast<size_t>(index)]);
  Staging staging;
  std::vector<std::string> temps;
  for (int index : ff.outputs) {
    std::string& out = ff.args[static_cast<size_t>(index)];
    if (out == "-" || StartsWith(out, "pipe:")) continue;
    std::string target = LocateOutput(out);
    if (ff.noOverwrite && FileSize(target) >= 0) {
      Log(target + " exists and -n was given");
      return 1;
    }
    std::string temp = staging.Add(target);
    if (temp.empty()) return 1;
    temps.push_back(temp);
    out = temp;
  }
  // How far it is comes on a pipe of its own; the status line it would rewrite on
  // standard error would only fill the log.
  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-nostats", "-progress", "pipe:3"};
  argv.insert(argv.end(), ff.args.begin(), ff.args.end());
  FfmpegProgress progress(ExpectedSeconds(ff));
  RunOptions options;
  options.progress = &progress;
  options.progressOnFd3 = true;
  ToolResult r = RunProgram(argv, options);
  if (!r.Ok()) return 1;
  for (const std::string& temp : temps)
    if (!FileHasData(temp)) {
      Log("ffmpeg wrote nothing to " + NameOf(temp));
      return 1;
    }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
