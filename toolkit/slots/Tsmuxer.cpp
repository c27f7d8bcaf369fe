// TS/tsmuxer.exe JOB.meta OUT
// Runs a muxer job file (MuxJob.h): OUT.m2ts becomes one Blu-ray transport stream, or
// several (film.m2ts, film.2.m2ts, ...) with --split-size; with --blu-ray OUT is a folder
// made to hold the BD-ROM structure around the clips.

#include <filesystem>

#include "toolkit/BluRayMux.h"
#include "toolkit/Files.h"
#include "toolkit/M2tsMux.h"
#include "toolkit/MuxJob.h"
#include "toolkit/Process.h"
#include "toolkit/StrictGate.h"
#include "toolkit/bluray/StrictTransportStream.h"
#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

namespace fs = std::filesystem;

int Failed(const std::string& why) {
  Log(why);
  return 1;
}

// Part files of an earlier, longer run (film.4.m2ts after a run that now made three
// parts) would be taken for parts of this one.
void RemoveStaleParts(const std::string& out, int made) {
  for (int n = made + 1;; ++n) {
    std::error_code ec;
    if (!fs::remove(PartName(out, n), ec)) break;
  }
}

int MuxTransportStream(const MuxJob& job, const MuxPlan& plan, const std::string& out,
                       Staging& staging) {
  auto pathOf = [&](int n) { return staging.Add(PartName(out, n)); };
  std::vector<std::string> parts;
  std::string error;
  if (!MuxToM2ts(plan, job.options.splitBytes, pathOf, &parts, &error) ||
      !CheckM2tsParts(parts, plan, job.options.splitBytes, &error))
    return Failed(error);
  for (const std::string& part : parts)
    if (!PassesStrictCheck(bluray::CheckTransportStreamFile(part, bluray::StreamUse::kPlainStream,
                                                            StrictOptionsFor(plan)),
                           &error))
      return Failed(error);
  if (!staging.Commit()) return 1;
  RemoveStaleParts(out, static_cast<int>(parts.size()));
  return 0;
}

}  // namespace

int RunTsmuxer(const SlotCall& call) {
  if (call.args.size() != 2) {
    Log("usage: tsmuxer.exe JOB.meta OUT");
    return 2;
  }
  std::string jobPath = LocateInput(call.args[0]);
  auto text = ReadBytes(jobPath);
  if (!text) return Failed("cannot read the job file " + call.args[0]);
  std::string error;
  auto job = ParseMuxJob(*text, &error);
  if (!job) return Failed(error);
  std::string out = LocateOutput(call.args[1]);
  Staging staging;
  std::string scratch = staging.Scratch(FolderOf(out));
  if (scratch.empty()) return Failed("cannot write beside " + out);
  auto plan = PlanMux(*job, scratch, &error);
  if (!plan) return Failed(error);
  if (job->options.bluRay)
    return MuxBluRayFolder(*job, *plan, out, staging, &error) ? 0 : Failed(error);
  return MuxTransportStream(*job, *plan, out, staging);
}

}  // namespace quillet::toolkit
