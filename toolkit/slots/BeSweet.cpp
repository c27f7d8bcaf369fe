// besweet/BeSweet.exe -core( -input IN.wav [-2ch] -output OUT.wav ) -ota( -r FROM TO )
// The time scale FROM -> TO is a change of speed: the sound plays TO/FROM times faster,
// its pitch rising with it (soundstretch lowered it by a semitone beforehand). -2ch
// gives stereo.

#include <cmath>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

std::optional<BeSweetCall> ParseBeSweetArgs(const std::vector<std::string>& args,
                                            std::string* error) {
  auto fail = [&](const std::string& message) -> std::optional<BeSweetCall> {
    if (error) *error = message;
    return std::nullopt;
  };
  BeSweetCall call;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-core(" || a == "-ota(" || a == ")") continue;
    if (a == "-input" || a == "-output") {
      if (i + 1 >= args.size()) return fail(a + " needs a file name");
      (a == "-input" ? call.input : call.output) = args[++i];
    } else if (a == "-2ch") {
      call.stereo = true;
    } else if (a == "-r") {
      if (i + 2 >= args.size()) return fail("-r needs two rates");
      auto from = ParseInt(args[i + 1]), to = ParseInt(args[i + 2]);
      if (!from || !to || *from <= 0 || *to <= 0)
        return fail("-r needs two positive rates, not " + args[i + 1] + " " + args[i + 2]);
      call.from = *from;
      call.to = *to;
      i += 2;
    } else {
      return fail("unsupported argument " + a);
    }
  }
  if (call.input.empty() || call.output.empty()) return fail("-input and -output are needed");
  return call;
}

long long SpeedChangedRate(long long sampleRate, long long from, long long to) {
  if (from <= 0 || to <= 0) return sampleRate;
  return std::llround(static_cast<double>(sampleRate) * static_cast<double>(to) /
                      static_cast<double>(from));
}

int RunBeSweet(const SlotCall& call) {
  std::string error;
  auto parsed = ParseBeSweetArgs(call.args, &error);
  if (!parsed) {
    Log(error);
    return 2;
  }
  std::string input = LocateInput(parsed->input);
  WavInfo wav = ReadWavInfo(input);
  if (!wav.valid) {
    Log(input + " is no WAV file");
    return 1;
  }
  std::vector<std::string> filters;
  if (parsed->from > 0 && parsed->from != parsed->to) {
    long long rate = SpeedChangedRate(wav.sampleRate, parsed->from, parsed->to);
    filters.push_back(Format("asetrate=%lld", rate));
    filters.push_back(Format("aresample=%d", wav.sampleRate));
  }
  Staging staging;
  std::string temp = staging.Add(LocateOutput(parsed->output));
  if (temp.empty()) return 1;
  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y",  "-v",   "error",
                                   "-stats", "-i",       input, "-map", "0:a:0"};
  if (!filters.empty()) argv.insert(argv.end(), {"-af", Join(filters, ",")});
  if (parsed->stereo) argv.insert(argv.end(), {"-ac", "2"});
  argv.insert(argv.end(), {"-c:a", "pcm_s16le", "-rf64", "auto", "-f", "wav", temp});
  ToolResult r = RunProgram(argv);
  if (!r.Ok() || !CheckWav(temp)) return 1;
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
