#pragma once
// The steps both folder runs share: choosing and listing the folder, the question where
// the results go, the running count, the tests for files already done, and the end of
// the run. Internal to batch/.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "app/App.h"

namespace quillet {

struct FolderRun {
  std::string folder;               // the chosen folder
  std::vector<std::string> names;   // its files of the run's kind, in listing order
  std::string outputFolder;         // txtTMP at the start, or the chosen folder
  int recode = 0;                   // chkMP2 as the user left it, put back before each file
  std::vector<std::string> failed;  // files whose conversion did not end as it should
};

// Asks for the folder with `prompt` and lists its files matching `pattern` ("*.mkv").
// False when the picker was cancelled.
bool ChooseFolder(App& app, const std::string& prompt, const std::string& pattern, FolderRun& run);

// The listing found no file.
bool NoFiles(const FolderRun& run);

// "Store resulting files in source folder ?": Yes makes the chosen folder the output
// folder (txtTMP too); No keeps txtTMP.
void AskWhereResultsGo(App& app, FolderRun& run);

// lblMulti reads "2 of 7" for the second of seven files; shown, window repainted.
void ShowCounter(App& app, size_t index, size_t count);

// Full path of a listed file.
std::string SourcePath(const FolderRun& run, const std::string& name);

// An earlier result is a file with something in it: an empty one is what a failed run
// leaves, and must not mark its source as done.
bool HasResult(const std::string& path);

// Output folder + name, the folder given its separator when it lacks one.
std::string InOutputFolder(const FolderRun& run, const std::string& name);

// Records a file that failed, in the run and in the debug log.
void NoteFailure(App& app, FolderRun& run, const std::string& path);

// True when the listed name is no file a tool can read (a FIFO, a device, a folder): the
// progress line says so, and it is noted as failed; the run goes on with the next file.
bool SkipNonSource(App& app, FolderRun& run, const std::string& path);

// Runs `convertOne` on each listed file's index in turn. A stop ends the run once the
// film's own cleanup is done: the counter goes, txtTMP is the run's output folder again,
// the progress text says how many films were done, and the stop goes on up.
void ForEachListed(App& app, const FolderRun& run, const std::function<void(size_t)>& convertOne);

// The end of a run: lblMulti hidden, txtTMP set to the output folder, the failures
// named in the progress text, and the one shutdown when "Shutdown after conversion."
// is ticked.
void EndFolderRun(App& app, const FolderRun& run);

}  // namespace quillet
