// aften/aften.exe [-b KBPS] IN.wav OUT.ac3
// Encodes a WAV to AC3 with ffmpeg's encoder. Without -b the rate is aften's own choice
// by the channels (the LFE channel not counted): 96, 192, 256, 384 or 448 kbit/s.

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Probe.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

bool HasLfe(const ProbedStream& audio) {
  const std::string& layout = audio.channelLayout;
  if (layout.empty()) return audio.channels == 6;  // aften takes six channels as 5.1
  return layout.find(".1") != std::string::npos || layout.find("LFE") != std::string::npos;
}

}  // namespace

int AftenDefaultKbps(int channelsWithoutLfe) {
  static const int rates[] = {96, 96, 192, 256, 384, 448};
  if (channelsWithoutLfe < 1) return rates[0];
  return rates[channelsWithoutLfe > 5 ? 5 : channelsWithoutLfe];
}

std::optional<AftenCall> ParseAftenArgs(const std::vector<std::string>& args, std::string* error) {
  auto fail = [&](const std::string& message) -> std::optional<AftenCall> {
    if (error) *error = message;
    return std::nullopt;
  };
  AftenCall call;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-b") {
      auto kbps = i + 1 < args.size() ? ParseInt(args[i + 1]) : std::nullopt;
      if (!kbps || *kbps < 32 || *kbps > 640) return fail("-b takes a rate of 32 to 640 kbit/s");
      call.kbps = static_cast<int>(*kbps);
      ++i;
    } else if (StartsWith(args[i], "-") && args[i] != "-") {
      return fail("unknown option " + args[i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) return fail("usage: aften.exe [-b KBPS] IN.wav OUT.ac3");
  call.input = files[0];
  call.output = files[1];
  return call;
}

int RunAften(const SlotCall& call) {
  std::string error;
  auto parsed = ParseAftenArgs(call.args, &error);
  if (!parsed) {
    Log(error);
    return 2;
  }
  std::string input = LocateInput(parsed->input);
  if (!CheckWav(input)) return 1;
  auto streams = ProbeStreams(input);
  if (!streams || streams->empty() || (*streams)[0].type != "audio") {
    Log(input + " holds no sound ffmpeg can read");
    return 1;
  }
  const ProbedStream wav = (*streams)[0];
  int kbps =
      parsed->kbps > 0 ? parsed->kbps : AftenDefaultKbps(wav.channels - (HasLfe(wav) ? 1 : 0));
  Staging staging;
  std::string temp = staging.Add(LocateOutput(parsed->output));
  if (temp.empty()) return 1;
  ToolResult r =
      RunProgram({"ffmpeg", "-nostdin", "-y", "-v", "error", "-i", input, "-map", "0:a:0", "-c:a",
                  "ac3", "-b:a", std::to_string(kbps) + "k", "-f", "ac3", temp});
  if (!r.Ok()) return 1;
  auto written = ProbeStreams(temp);
  if (!written || written->size() != 1 || (*written)[0].codec != "ac3" ||
      (*written)[0].channels != wav.channels) {
    Log(Format("the AC3 written does not hold the %d channels of the WAV", wav.channels));
    return 1;
  }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
