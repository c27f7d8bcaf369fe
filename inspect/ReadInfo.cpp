// Inspecting a chosen source: the Matroska report, the track tables, the VC-1 option
// rule and the decoded-picture-buffer check of H.264 streams.
#include "inspect/ReadInfo.h"

#include <unistd.h>

#include <string>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "base/StopRequest.h"
#include "base/ToolSlots.h"
#include "inspect/TextPieces.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

constexpr const char* kDpbFailed = "dpb check: [FAILED]";
constexpr int kRecodeToH264 = 1;    // "H264" in "Re-encode to:"
constexpr int kRecodeToH264HQ = 3;  // "H264 (HQ)"

constexpr const char* kDpbWarning =
    "This AVC file is not playable on PS3 (black screen) or 360 (extreme artifacts).\r"
    "Recode to Xvid(both), MPEG2(PS3) or h264(both), to be able to play this file.\r"
    "The normal output format (MP4/AVCHD/M2TS) is  kept when recoding to h264.";

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// The players' decoders cannot show some H.264 streams; the checker tells which.
void CheckAvcStream(App& app, const std::string& source) {
  const std::string command =
      Quoted(ToolPath(app, slot::kX264Checker.program)) + " " + Quoted(source);
  const std::string output = GetCommandOutput(app, command, true, false, true);
  if (!Contains(output, kDpbFailed)) return;
  // Runs that go on without the user (a folder, the command line, the parts of a split
  // source, the copy with the subtitle file muxed in) do not stop for the warning.
  if (!app.bFolderMode && !app.bCommandLine && !app.form.bSplit && !app.form.bSRT)
    app.ctx.ui.MsgBox(kDpbWarning, MsgStyle::kOkOnly, kProgramTitle);
  app.form.chkMP2.SetValue(1);
  // With no format chosen, nothing would re-encode and the run would fail with a box that
  // says nothing about why. The warning promises the output format is kept when
  // recoding to H.264, so that is the format taken; a format the user chose stays.
  if (app.form.cmdConv.ListIndex < 0) {
    app.form.cmdConv.SetListIndex(kRecodeToH264);
    AppendDebugLog(app,
                   "Re-encode to: none chosen, H264 taken for the stream that fails the dpb check");
  }
}

// The MP4, transport-stream and AVCHD roads copy H.264 only: Xvid or DivX video in VFW mode
// goes through the H.264 encoder when no re-encode was chosen. An AVI (the Xvid road) or
// MPEG-2 re-encode the user chose stays.
void ChooseRecodeForMpeg4Part2(App& app) {
  Form1& form = app.form;
  if (form.chkMP2.Value == 1 && form.cmdConv.ListIndex >= 0) return;
  form.chkMP2.SetValue(1);
  if (form.cmdConv.ListIndex != kRecodeToH264HQ) form.cmdConv.SetListIndex(kRecodeToH264);
  const std::string line =
      "Xvid/DivX video in Matroska: re-encoding to H264, the players take no such video from "
      "this program but in an AVI (Re-encode to: Xvid)";
  AppendDebugLog(app, line);
  SetProgress(app, line);
}

}  // namespace

std::string ReportPath(const App& app) {
  return app.form.txtTMP.Text + "info." + std::to_string(getpid()) + ".txt";
}

void ReadInfo(App& app, const std::string& sourcePath) {
  Form1& form = app.form;
  form.txtTMP.Text = WithTrailingSep(AbsolutePath(form.txtTMP.Text));
  const std::string source = AbsolutePath(TrimBlanks(sourcePath));
  const std::string reportPath = ReportPath(app);

  // A report left behind by an earlier run must not pass for this source's report.
  DeleteFileQuietly(reportPath);
  const std::string command = Quoted(ToolPath(app, slot::kMkvInfo.program)) + " " + Quoted(source) +
                              " -o " + Quoted(reportPath);
  try {
    GetCommandOutput(app, command, true, false, true);
  } catch (const RunStopped&) {
    DeleteFileQuietly(reportPath);  // the parser, which deletes it, does not run
    throw;
  }

  ParseTrackReport(app);

  const std::string& codec = app.report.strVideoCodec;
  if (codec == "vc1") {
    form.chkVob.Enabled = false;
    form.chk25.Enabled = false;
    form.chkFF.Enabled = false;
  } else if (codec == "avc") {
    CheckAvcStream(app, source);
  } else if (codec == "mpeg4") {
    ChooseRecodeForMpeg4Part2(app);
  }
}

}  // namespace quillet
