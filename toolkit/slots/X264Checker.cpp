// Checker/x264_checker.exe SOURCE
// Prints whether the H.264 stream's reference frames fit the decoded picture buffer of
// level 4.1 at its frame size; the program looks for "dpb check: [FAILED]". The answer
// comes from the stream's own sequence parameter set, whatever level it declares.

#include <iostream>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/H264.h"
#include "toolkit/Identification.h"
#include "toolkit/Process.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {

int RunX264Checker(const SlotCall& call) {
  if (call.args.size() != 1) {
    Log("usage: x264_checker.exe SOURCE");
    return 2;
  }
  std::string source = LocateInput(call.args[0]);
  std::vector<std::vector<uint8_t>> units;
  std::string trackText = "video";

  if (auto id = IdentifyFile(source)) {
    for (const MkvTrack& t : id->tracks) {
      if (t.type != "video" || t.codecId != "V_MPEG4/ISO/AVC") continue;
      units = SpsFromAvcC(t.codecPrivate);
      trackText = Format("track %lld", t.id + 1);
      break;
    }
  }
  if (units.empty()) {
    // No codec record (an elementary stream, or a container mkvmerge does not read):
    // take the first parameter sets of the stream itself.
    RunOptions options;
    options.captureOut = true;
    ToolResult r =
        RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", source, "-map", "0:v:0", "-c:v",
                    "copy", "-frames:v", "1", "-bsf:v", "h264_mp4toannexb", "-f", "h264", "-"},
                   options);
    if (r.Ok()) units = SpsFromAnnexB(r.out);
  }
  if (units.empty()) {
    Log("no H.264 sequence parameter set found in " + source);
    std::cout << "x264 checker: no H.264 video in " << source << "\n";
    return 1;
  }

  bool allFit = true;
  bool anyParsed = false;
  std::cout << "x264 checker: level 4.1 decoded picture buffer check\n";
  std::cout << "file: " << source << "\n";
  for (const auto& unit : units) {
    auto sps = ParseSps(unit);
    if (!sps) continue;
    anyParsed = true;
    DpbFit fit = CheckLevel41Dpb(*sps);
    std::cout << trackText << ": H.264 " << ProfileName(sps->profileIdc)
              << Format(" @L%d.%d, %dx%d (%dx%d macroblocks, %s)\n", sps->levelIdc / 10,
                        sps->levelIdc % 10, sps->width, sps->height, sps->widthInMbs,
                        sps->heightInMbs, sps->frameMbsOnly ? "progressive" : "interlaced");
    std::cout << Format("reference frames: %d\n", fit.refFrames);
    std::cout << Format("level 4.1 buffer: %d frames of %d macroblocks\n", fit.maxDpbFrames,
                        fit.frameMbs);
    allFit = allFit && fit.fits;
  }
  if (!anyParsed) {
    Log("the sequence parameter set of " + source + " cannot be read");
    return 1;
  }
  std::cout << (allFit ? "dpb check: [OK]" : "dpb check: [FAILED]") << std::endl;
  return 0;
}

}  // namespace quillet::toolkit
