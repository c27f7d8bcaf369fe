#include "toolkit/AviWrite.h"

#include <filesystem>
#include <map>

#include "base/Text.h"
#include "toolkit/Files.h"
#include "toolkit/Mp4Build.h"
#include "toolkit/Process.h"

namespace quillet::toolkit {
namespace fs = std::filesystem;
namespace {

// What an AVI adds to each packet: the chunk header (8 bytes), its legacy index entry
// (16), its OpenDML index entry (8) and a padding byte at most.
constexpr long long kAviPacketOverhead = 33;
constexpr long long kBytesPerMb = 1024 * 1024;

// The part number a file name gives for the output's name ("Film_004.avi" -> 4), 0 when
// it names no part of it.
int PartNumber(const std::string& outputName, const std::string& name) {
  fs::path output(outputName);
  std::string stem = output.stem().string(), extension = output.extension().string();
  if (name.size() < stem.size() + extension.size() + 4 || !StartsWith(name, stem + "_") ||
      !EndsWith(name, extension))
    return 0;
  std::string digits =
      name.substr(stem.size() + 1, name.size() - stem.size() - 1 - extension.size());
  if (digits.size() < 3 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return static_cast<int>(ParseInt(digits).value_or(0));
}

// Removes the parts of an earlier run beyond the ones this run wrote, so that a shorter
// set is not taken for a longer one.
void RemovePartsAfter(const fs::path& output, int parts) {
  std::error_code ec;
  std::vector<fs::path> stale;
  for (const auto& entry : fs::directory_iterator(output.parent_path(), ec))
    if (PartNumber(output.filename().string(), entry.path().filename().string()) > parts)
      stale.push_back(entry.path());
  for (const fs::path& file : stale) {
    Log("removing " + file.string() + ", a part of an earlier run");
    fs::remove(file, ec);
  }
}

// Cuts the whole file into parts in the result folder; their number, 0 on failure.
int CutIntoParts(const std::string& whole, const std::string& firstPart, long long limitBytes) {
  auto packets = ProbePackets(whole);
  if (!packets) return 0;
  std::vector<long long> cuts = PlanSplit(*packets, 0, limitBytes, kAviPacketOverhead);
  if (cuts.empty()) {
    std::error_code ec;
    fs::rename(whole, firstPart, ec);
    return ec ? 0 : 1;
  }
  fs::path first(firstPart);
  std::string stem = first.stem().string();
  std::string pattern = (first.parent_path() / (stem + "_%03d.avi")).string();
  std::vector<std::string> frames;
  for (long long cut : cuts) frames.push_back(std::to_string(cut));
  ToolResult r = RunProgram({"ffmpeg",
                             "-nostdin",
                             "-y",
                             "-v",
                             "error",
                             "-i",
                             whole,
                             "-map",
                             "0",
                             "-c",
                             "copy",
                             "-f",
                             "segment",
                             "-segment_format",
                             "avi",
                             "-segment_frames",
                             Join(frames, ","),
                             "-segment_start_number",
                             "1",
                             "-reset_timestamps",
                             "1",
                             pattern});
  if (!r.Ok()) return 0;
  std::error_code ec;
  fs::rename(first.parent_path() / (stem + "_001.avi"), first, ec);
  if (ec) {
    Log("ffmpeg wrote no first part");
    return 0;
  }
  int parts = static_cast<int>(cuts.size()) + 1;
  for (int part = 1; part <= parts; ++part) {
    fs::path file = first.parent_path() / AviPartName(first.filename().string(), part);
    long long size = FileSize(file.string());
    if (size <= 0) {
      Log("part " + std::to_string(part) + " is missing");
      return 0;
    }
    if (size > limitBytes) Log("part " + file.filename().string() + " is larger than the limit");
  }
  return parts;
}

}  // namespace

std::string AviPartName(const std::string& outputName, int part) {
  if (part <= 1) return outputName;
  fs::path name(outputName);
  return name.stem().string() + Format("_%03d", part) + name.extension().string();
}

std::vector<std::string> AviMuxArgv(const AviMuxPlan& plan, const std::string& output) {
  std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-v", "error", "-i", plan.video};
  std::map<std::string, int> inputs = {{plan.video, 0}};
  for (const AviMuxAudio& a : plan.audio)
    if (inputs.emplace(a.file, static_cast<int>(inputs.size())).second)
      argv.insert(argv.end(), {"-i", a.file});
  argv.insert(argv.end(), {"-map", "0:v:0"});
  for (const AviMuxAudio& a : plan.audio)
    argv.insert(argv.end(), {"-map", Format("%d:a:%d", inputs[a.file], a.stream)});
  argv.insert(argv.end(), {"-c", "copy", "-f", "avi", output});
  return argv;
}

bool WriteAvi(const AviMuxPlan& plan) {
  std::string output = LocateOutput(plan.output);
  Staging staging;
  std::string firstPart = staging.Add(output);
  std::string scratch = staging.Scratch(FolderOf(output));
  if (firstPart.empty() || scratch.empty()) return false;
  std::string whole = scratch + "/" + NameOf(output);
  ToolResult r = RunProgram(AviMuxArgv(plan, whole));
  if (!r.Ok() || !FileHasData(whole)) {
    Log("ffmpeg wrote no AVI");
    ReportFullDisk(FolderOf(output));
    return false;
  }
  long long limit = plan.maxFileSizeMb * kBytesPerMb;
  int parts = 1;
  if (limit > 0 && FileSize(whole) > limit) {
    parts = CutIntoParts(whole, firstPart, limit);
    if (parts == 0) return false;
  } else {
    std::error_code ec;
    fs::rename(whole, firstPart, ec);
    if (ec) return false;
  }
  if (!staging.Commit()) return false;
  RemovePartsAfter(output, parts);
  Log(Format("wrote %s in %d part(s)", output.c_str(), parts));
  return true;
}

}  // namespace quillet::toolkit
