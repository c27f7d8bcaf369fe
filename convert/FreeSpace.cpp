// Room for a conversion in the output folder, checked before the first tool runs: a
// full disk half-way through a two-hour film costs the user the time and leaves a
// broken file.

#include "convert/FreeSpace.h"

#include <sys/statvfs.h>

#include <cmath>
#include <cstdio>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "base/Files.h"
#include "convert/ConvertSteps.h"
#include "sys/FileAPI.h"

namespace quillet {
namespace {

// The most the output folder holds at once on each road, as a multiple of the source's
// size: the extracted streams, the decoded sound, the re-encode and the result side by
// side. Measured as the peak of the output folder while the toolkit converted a 10 s film
// (1080p H.264 at 8 Mbit/s with AC3 5.1 at 448 kbit/s in Matroska, 10.8 MB): MP4 2.70,
// M2TS 3.05, AVCHD 2.96, Xvid 1.31, MPEG-2 recode 3.67; an MPEG-2 Matroska film repacked
// 1.01, an Xvid AVI with MP3 sound repaired 1.00 (the video repair aims at the source's
// size). No Debian tool makes VC-1, so the WMV road is taken to be the AVCHD road it
// mirrors. Each figure is rounded up by a tenth for films whose sound takes a larger share
// once decoded.
struct RoadPeak {
  Road road;
  double peakOfSource;
};
constexpr RoadPeak kRoadPeaks[] = {
    {Road::kMp4, 3.0},       {Road::kM2ts, 3.4},        {Road::kAvchd, 3.3},
    {Road::kXvid, 1.5},      {Road::kMpeg2Recode, 4.0}, {Road::kMpeg2Repack, 1.2},
    {Road::kAviRepair, 1.2}, {Road::kWmvToAvchd, 3.3},
};

double PeakOfSource(Road road) {
  for (const RoadPeak& peak : kRoadPeaks)
    if (peak.road == road) return peak.peakOfSource;
  return kRoadPeaks[0].peakOfSource;
}

int64_t SpaceNeeded(const App& app, int64_t sourceBytes, Road road) {
  const Form1& form = app.form;
  int64_t needed = static_cast<int64_t>(std::ceil(PeakOfSource(road) * sourceBytes));
  // A split source's parts are written first and stay until every part is converted.
  if (road != Road::kAviRepair && road != Road::kWmvToAvchd &&
      SourceWillBeSplit(form, sourceBytes, app.splitThreshold))
    needed += sourceBytes;
  return needed;
}

// Free bytes for an ordinary user, or -1 when the file system cannot be asked.
int64_t FreeBytes(const std::string& folder) {
  struct statvfs st {};
  if (statvfs(folder.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}

}  // namespace

Road MatroskaRoad(const App& app) {
  const Form1& form = app.form;
  const bool recode = form.chkMP2.Value == 1;
  if (app.report.strVideoCodec == "mpeg2") return Road::kMpeg2Repack;
  if (recode && form.cmdConv.ListIndex == 0) return Road::kMpeg2Recode;
  if (recode && form.cmdConv.ListIndex == 2) return Road::kXvid;
  if (form.chkAVCHD.Value == 1) return Road::kAvchd;
  if (form.chkVob.Value == 1) return Road::kM2ts;
  return Road::kMp4;
}

std::string SizeText(int64_t bytes) {
  const double b = static_cast<double>(bytes);
  char text[32];
  if (b < 1e6)
    std::snprintf(text, sizeof text, "%.0f kB", b / 1e3);
  else if (b < 1e9)
    std::snprintf(text, sizeof text, b < 1e7 ? "%.1f MB" : "%.0f MB", b / 1e6);
  else
    std::snprintf(text, sizeof text, b < 1e10 ? "%.2f GB" : "%.0f GB", b / 1e9);
  return text;
}

bool EnoughFreeSpace(App& app, const std::string& source, const std::string& folder, Road road) {
  int64_t sourceBytes = 0;
  IgnoringErrors([&] { sourceBytes = FileSize64(source); });
  const int64_t freeBytes = FreeBytes(folder);
  const int64_t needed = SpaceNeeded(app, sourceBytes, road);
  if (freeBytes < 0 || sourceBytes <= 0 || needed <= freeBytes) return true;
  AppendDebugLog(app, "Free space: " + std::to_string(needed) + " bytes needed, " +
                          std::to_string(freeBytes) + " free in " + folder);
  app.ctx.ui.MsgBox("Not enough free space in " + folder + ": about " + SizeText(needed) +
                        " needed, " + SizeText(freeBytes) + " free.",
                    MsgStyle::kCritical, "Disk space");
  return false;
}

}  // namespace quillet
