// A WMV film with VC-1 video made into an AVCHD folder without touching its picture: the
// VC-1 stream is taken out of the ASF file, the WMA sound goes through a WAV to AC3, and
// the muxer authors the folder named after the source.

#include <chrono>
#include <filesystem>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "base/Text.h"
#include "check/GatherFacts.h"
#include "convert/Convert.h"
#include "convert/FreeSpace.h"
#include "convert/MetaFile.h"
#include "convert/PathNames.h"
#include "convert/RunCleanup.h"
#include "convert/StepHelpers.h"
#include "convert/WholeResult.h"
#include "sources/Sources.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

void AsfToVc1(App& app, const std::string& source, const std::string& folder) {
  RunStep(app, Q(ToolPath(app, tool::kAsfToVc1)) + " " + Q(source) + " " + Q(folder + work::kVc1));
}

void WavToAc3(App& app, const std::string& folder) {
  RunStep(app, Q(ToolPath(app, tool::kEncWavToAc3)) + " " + Q(folder + work::kWav) + " -b 640 " +
                   Q(folder + work::kAc3));
  IgnoringErrors([&] { DeleteFileQuietly(folder + work::kWav); });
}

// The rate of the source's video as the job file writes it ("25", "23.976"). The VC-1
// stream's own header need not carry one, so the ASF file's rate is what the player keeps;
// 23.976 when ffprobe gives none.
std::string SourceFrameRateText(App& app, const std::string& source) {
  double fps = 0;
  IgnoringErrors([&] { fps = GatherMediaFacts(app.ctx, source).video.fps; });
  if (!(fps > 0)) return "23.976";
  std::string text = Format("%.3f", fps);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

// The job file splits at 4 GB.
void WriteVc1Meta(App& app, const std::string& name, const std::string& folder,
                  const std::string& fps) {
  meta::Lines lines;
  lines.options = meta::Vc1Options();
  lines.video = meta::Vc1FromFolder(folder, fps);
  // The road reads no track list of the source, so its sound names no language.
  lines.audio = meta::Ac3FromFolder(folder);
  IgnoringErrors([&] { meta::Write(folder, lines); });
  RunStep(app, Q(ToolPath(app, tool::kTsMuxer)) + " " + Q(folder + work::kMeta) + " " +
                   Q(folder + name.substr(0, name.size() >= 4 ? name.size() - 4 : 0)));
}

// The part of the authored folder that is missing or older than this run: the index, or
// a clip with data. "" when the folder is whole. A folder left by an earlier run counts
// only when the muxer wrote its index anew.
std::string MissingAvchdPart(const std::string& folder, fs::file_time_type runStart) {
  std::error_code ec;
  const fs::path bdmv = fs::path(folder) / "BDMV";
  const fs::path index = bdmv / "index.bdmv";
  if (!fs::is_regular_file(index, ec) || fs::last_write_time(index, ec) < runStart || ec)
    return index.string();
  for (fs::directory_iterator it(bdmv / "STREAM", ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec) && it->file_size(ec) > 0 && !ec) return "";
  return (bdmv / "STREAM" / "00000.m2ts").string();
}

// A moment just before the run, on the file system's clock; the margin covers file
// systems that stamp times coarsely.
fs::file_time_type RunStartStamp() {
  return fs::file_time_type::clock::now() - std::chrono::seconds(2);
}

// What a stop deletes: the working files, and the authored folder when this run makes it.
// A folder an earlier run left is written into (see MissingAvchdPart), so it stays.
void RegisterThisRunsFiles(App& app, const std::string& folder, const std::string& result) {
  RegisterOutputFolder(app, folder);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(result, ec)) && !ec) RegisterWorkFolder(app, result);
}

}  // namespace

void WmvToAvchd(App& app) {
  Form1& form = app.form;
  IgnoringErrors([&] { form.SetTopMost(false); });
  const std::string source = form.strFullname;
  const std::string name = FileNameFromPath(source);
  const std::string folder = form.txtTMP.Text;
  const std::string result = folder + name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
  const fs::file_time_type runStart = RunStartStamp();
  if (!EnoughFreeSpace(app, source, folder, Road::kWmvToAvchd)) {
    SetProgress(app, kConversionError);
    return;
  }
  RegisterThisRunsFiles(app, folder, result);

  SetProgress(app, "Extracting VC1 data");
  AsfToVc1(app, source, folder);
  SetProgress(app, "Extracting Audio data");
  IgnoringErrors([&] { DecodeWmaToWav(app, source, folder); });
  if (!ResampleWavTo48k(app, folder, 0)) return;
  SetProgress(app, "Converting to AC3");
  WavToAc3(app, folder);
  SetProgress(app, "Creating AVCHD format");
  WriteVc1Meta(app, name, folder, SourceFrameRateText(app, source));

  const std::string missing = MissingAvchdPart(result, runStart);
  if (!missing.empty()) {
    // The working files stay for a look at what went wrong.
    AppendDebugLog(app, "WMV to AVCHD: " + missing + " was not created");
    IgnoringErrors([&] {
      app.ctx.ui.MsgBox("Error: " + missing + " was not created.", MsgStyle::kCritical, "info");
    });
    SetProgress(app, kConversionError);
    return;
  }
  if (!JudgeWholeResult(app, {result})) return;
  CleanVc1TempFiles(app);
  SetProgress(app, kConversionDoneStop);
}

}  // namespace quillet
