// Room for a conversion in the output folder, checked before the first tool runs: a
// full disk half-way through a two-hour film costs the user the time and leaves a
// broken file.

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

// The most the output folder holds at once, as a multiple of the source's size,
// measured on a 10-minute film: the extracted streams, the decoded sound and the
// result side by side. Roads that keep more at once (a re-encode beside the extracted
// stream, a disc folder) add their own factor here.
constexpr double kPeakOfSource = 2.9;

int64_t SpaceNeeded(const App& app, int64_t sourceBytes) {
  const Form1& form = app.form;
  int64_t needed = static_cast<int64_t>(std::ceil(kPeakOfSource * sourceBytes));
  // A split source's parts are written first and stay until every part is converted.
  if (SourceWillBeSplit(form, sourceBytes, app.splitThreshold)) needed += sourceBytes;
  return needed;
}

// Free bytes for an ordinary user, or -1 when the file system cannot be asked.
int64_t FreeBytes(const std::string& folder) {
  struct statvfs st {};
  if (statvfs(folder.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}

std::string Gigabytes(int64_t bytes) {
  const double gb = static_cast<double>(bytes) / 1e9;
  char text[32];
  std::snprintf(text, sizeof text, gb < 10 ? "%.2f" : "%.0f", gb);
  return text;
}

}  // namespace

bool EnoughFreeSpace(App& app, const std::string& source, const std::string& folder) {
  int64_t sourceBytes = 0;
  IgnoringErrors([&] { sourceBytes = FileSize64(source); });
  const int64_t freeBytes = FreeBytes(folder);
  const int64_t needed = SpaceNeeded(app, sourceBytes);
  if (freeBytes < 0 || sourceBytes <= 0 || needed <= freeBytes) return true;
  AppendDebugLog(app, "Free space: " + std::to_string(needed) + " bytes needed, " +
                          std::to_string(freeBytes) + " free in " + folder);
  app.ctx.ui.MsgBox("Not enough free space in " + folder + ": about " + Gigabytes(needed) +
                        " GB needed, " + Gigabytes(freeBytes) + " GB free.",
                    MsgStyle::kCritical, "Disk space");
  return false;
}

}  // namespace quillet
