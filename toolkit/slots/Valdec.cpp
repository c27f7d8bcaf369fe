// ac3filter/valdec.exe INPUT -wav OUTPUT -spk:N -fmt:N [-drc+] [-gain:DB] [-drc_power:N]
// Decodes AC3 or DTS to WAV with ffmpeg. -spk: 0 keeps the source's channels (5.1 with
// back surround channels, as Windows names them), 1 to 6
// give mono, stereo, 3.0, quad, 5.0, 5.1. -drc+ applies the AC3 stream's dynamic range
// compression; -gain: raises the level by that many dB with a limiter in front of full
// scale, as AC3Filter's automatic gain control keeps the sound from clipping.

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

bool ValueAfter(const std::string& arg, const std::string& prefix, std::string& value) {
  if (!StartsWith(arg, prefix)) return false;
  value = arg.substr(prefix.size());
  return true;
}

bool IsAc3(const std::string& path) {
  auto head = ReadBytes(path, 2);
  return head && head->size() == 2 && static_cast<unsigned char>((*head)[0]) == 0x0B &&
         static_cast<unsigned char>((*head)[1]) == 0x77;
}

}  // namespace

std::optional<ValdecCall> ParseValdecArgs(const std::vector<std::string>& args,
                                          std::string* error) {
  auto fail = [&](const std::string& message) -> std::optional<ValdecCall> {
    if (error) *error = message;
    return std::nullopt;
  };
  ValdecCall call;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string value;
    if (a == "-wav") {
      if (i + 1 >= args.size()) return fail("-wav needs a file name");
      call.output = args[++i];
    } else if (ValueAfter(a, "-spk:", value)) {
      auto n = ParseInt(value);
      if (!n || *n < 0 || *n > 6) return fail("-spk: takes 0 to 6, not " + value);
      call.speakers = static_cast<int>(*n);
    } else if (ValueAfter(a, "-fmt:", value)) {
      auto n = ParseInt(value);
      if (!n || *n < 0 || *n > 3) return fail("-fmt: takes 0 to 3, not " + value);
      call.format = static_cast<int>(*n);
    } else if (a == "-drc+" || a == "-drc") {
      call.drc = true;
    } else if (a == "-drc-") {
      call.drc = false;
    } else if (ValueAfter(a, "-gain:", value)) {
      auto db = ParseDecimal(StartsWith(value, "-") ? value.substr(1) : value);
      if (!db) return fail("-gain: takes a number of dB, not " + value);
      call.gainDb = StartsWith(value, "-") ? -*db : *db;
    } else if (ValueAfter(a, "-drc_power:", value) || a == "-i" || a == "-auto_gain+" ||
               a == "-auto_gain-" || a == "-auto_gain") {
      // The compression strength and gain control of AC3Filter have no counterpart here;
      // the limiter below keeps the level in range.
    } else if (a == "-raw" || a == "-spdif" || a == "-d" || a == "-r" || a == "-p") {
      return fail("only -wav output is supported, not " + a);
    } else if (StartsWith(a, "-")) {
      return fail("unknown option " + a);
    } else if (call.input.empty()) {
      call.input = a;
    } else {
      return fail("more than one input: " + a);
    }
  }
  if (call.input.empty() || call.output.empty()) return fail("usage: valdec.exe INPUT -wav OUTPUT");
  return call;
}

std::vector<std::string> ValdecFfmpegArgv(const ValdecCall& call, bool ac3,
                                          const std::string& sourceLayout, const std::string& input,
                                          const std::string& output) {
  static const char* layouts[] = {"", "mono", "stereo", "3.0", "quad", "5.0", "5.1"};
  static const char* codecs[] = {"pcm_s16le", "pcm_s24le", "pcm_s32le", "pcm_f32le"};
  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-v", "error", "-stats"};
  if (ac3) argv.insert(argv.end(), {"-drc_scale", call.drc ? "1" : "0"});
  argv.insert(argv.end(), {"-i", input, "-map", "0:a:0", "-vn", "-sn", "-dn"});
  std::vector<std::string> filters;
  if (call.speakers > 0)
    filters.push_back(std::string("aformat=channel_layouts=") + layouts[call.speakers]);
  else if (std::string keep = BackSurroundFilter(sourceLayout); !keep.empty())
    filters.push_back(keep);
  if (call.gainDb != 0) {
    filters.push_back(Format("volume=%.2fdB", call.gainDb));
    filters.push_back("alimiter=limit=1:level=0:latency=1");
  }
  if (!filters.empty()) argv.insert(argv.end(), {"-af", Join(filters, ",")});
  argv.insert(argv.end(), {"-c:a", codecs[call.format], "-rf64", "auto", "-f", "wav", output});
  return argv;
}

int RunValdec(const SlotCall& call) {
  std::string error;
  auto parsed = ParseValdecArgs(call.args, &error);
  if (!parsed) {
    Log(error);
    return 2;
  }
  std::string input = LocateInput(parsed->input);
  Staging staging;
  std::string temp = staging.Add(LocateOutput(parsed->output));
  if (temp.empty()) return 1;
  std::string layout;
  if (parsed->speakers == 0)
    if (auto streams = ProbeStreams(input))
      for (const ProbedStream& s : *streams)
        if (s.type == "audio") {
          layout = s.channelLayout;
          break;
        }
  ToolResult r = RunProgram(ValdecFfmpegArgv(*parsed, IsAc3(input), layout, input, temp));
  if (!r.Ok() || !CheckWav(temp)) return 1;
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
