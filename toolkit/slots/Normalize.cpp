// Sounds/normalize.exe [options] FILE.wav ...
// normalize-audio adjusts the files in place. It works here on copies beside them, which
// replace the originals only when it succeeded: normalize-audio ends with status 0 even
// when it could not read a file, so its messages and the WAV files are checked.

#include <filesystem>
#include <iostream>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

int RunNormalize(const SlotCall& call) {
  std::vector<std::string> options, files;
  static const std::vector<std::string> valued = {"-a",        "--amplitude",
                                                  "-g",        "--gain",
                                                  "-t",        "--adjust-threshold",
                                                  "-w",        "--output-bitwidth",
                                                  "-T",        "--fractional-threshold",
                                                  "--clipping"};
  bool newBitwidth = false;
  for (size_t i = 0; i < call.args.size(); ++i) {
    const std::string& a = call.args[i];
    newBitwidth = newBitwidth || a == "-w" || a == "--output-bitwidth";
    bool takesValue = false;
    for (const std::string& v : valued) takesValue = takesValue || a == v;
    if (takesValue && i + 1 < call.args.size()) {
      options.push_back(a);
      options.push_back(call.args[++i]);
    } else if (StartsWith(a, "-")) {
      options.push_back(a);
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    Log("usage: normalize.exe [options] FILE.wav ...");
    return 2;
  }

  Staging staging;
  std::vector<std::string> argv = {"normalize-audio", "-q"};
  argv.insert(argv.end(), options.begin(), options.end());
  std::vector<std::pair<std::string, WavInfo>> copies;
  for (const std::string& file : files) {
    std::string located = LocateInput(file);
    WavInfo before = ReadWavInfo(located);
    if (!before.valid || before.dataBytes == 0) {
      Log(located + " is no WAV file with sound");
      return 1;
    }
    std::string temp = staging.Add(located);
    if (temp.empty()) return 1;
    std::error_code ec;
    std::filesystem::copy_file(located, temp, ec);
    if (ec) {
      Log("cannot copy " + located + ": " + ec.message());
      return 1;
    }
    copies.emplace_back(temp, before);
    argv.push_back(temp);
  }

  RunOptions capture;
  capture.captureErr = true;
  ToolResult r = RunProgram(argv, capture);
  std::cerr << r.err;
  if (!r.Ok()) return 1;
  if (Lower(r.err).find("error") != std::string::npos) {
    Log("normalize-audio reported an error");
    return 1;
  }
  for (const auto& [temp, before] : copies) {
    WavInfo after = ReadWavInfo(temp);
    bool sizeChanged = !newBitwidth && after.dataBytes != before.dataBytes;
    if (!after.valid || after.dataBytes == 0 || after.channels != before.channels || sizeChanged) {
      Log("normalize-audio left a damaged file: " + NameOf(temp));
      return 1;
    }
  }
  return staging.Commit() ? 0 : 1;
}

}  // namespace quillet::toolkit
