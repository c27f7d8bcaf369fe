// The clean-up procedures: each deletes its branch's working files from the output
// folder; a file that is missing or cannot be deleted is skipped.

#include <initializer_list>

#include "base/Files.h"
#include "convert/Convert.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"

namespace quillet {
namespace {

void DeleteFromOutputFolder(App& app, std::initializer_list<const char*> names) {
  const std::string folder = app.form.txtTMP.Text;
  for (const char* name : names) IgnoringErrors([&] { DeleteFileQuietly(folder + name); });
}

}  // namespace

void ClearStaleTsFiles(const ConvertRun& run) {
  // A working file that a failed earlier run left for inspection would be taken for this
  // run's: an old track is not extracted again, an old AC3 or stream would be muxed.
  for (const std::string& name :
       {std::string(work::kH264), std::string(work::kRawH264), std::string(work::kWav),
        std::string(work::kWav48k), std::string(work::kAc3), std::string(work::kMeta),
        work::Audio(run.strAudioExt)})
    DeleteWorkFile(run, name);
}

void CleanMp4TempFiles(App& app) {
  DeleteFromOutputFolder(
      app, {"movie.aac", "movie.h264", "movie.264", "movie.avi", "movie_video.h264", "movie.srt",
            "movie.ssa", "movie.ass", "movie.ac3", "movie.dts", "movie.mp3", "movie.mp2",
            "movie.ogg", work::kTimestamps});
}

void CleanVc1TempFiles(App& app) {
  DeleteFromOutputFolder(
      app, {"movie.avi", "movie.wav", "movie.ac3", "movie.vc1", "movie.srt", "movie.meta"});
}

void CleanTsTempFiles(App& app) {
  DeleteFromOutputFolder(
      app, {"movie.aac", "movie.h264", "movie.avi", "movie_video.h264", "movie.264", "movie.meta",
            "movie.srt", "movie.ssa", "movie.ass", "movie.ac3", "movie.dts", "movie.mp3",
            "movie.mp2", "movie.ogg", "movie_raw.h264"});
}

}  // namespace quillet
