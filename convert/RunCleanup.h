#pragma once
// What a stopped conversion undoes. There is one per conversion of a source (the parts of
// a split source and the subtitle-remuxed copy belong to the conversion that made them);
// the conversion guard keeps it in App::cleanup while the conversion runs. A branch
// registers what it makes or moves, one line each, right after doing so:
//
//   RegisterOutputFolder(app, run.folder);          // the working names of PathNames.h
//   RegisterPartialResult(app, path);               // a result being written
//   RegisterSetAside(app, asidePath, resultPath);   // an earlier result moved out of the way
//   RegisterWorkFolder(app, path);                  // a folder of this run's, deleted whole
//   ForgetSetAside(app, asidePath);                 // settled: nothing to put back
//   RegisterReplaced(app, asidePath);               // replaced: deleted when the run ends
//
// Outside a conversion (no guard) the calls do nothing. Undo deletes the working files,
// partial results and work folders and puts every earlier result back in its place, the
// replaced ones too: a stop in a later part undoes the whole conversion. Commit, at the
// end of a run that was not stopped, deletes the replaced earlier results. The source
// and the settings file are never registered.

#include <string>
#include <utility>
#include <vector>

#include "app/App.h"

namespace quillet {

class RunCleanup {
 public:
  void AddOutputFolder(const std::string& folder);
  void AddPartialResult(const std::string& path);
  void AddSetAside(const std::string& aside, const std::string& original);
  void AddWorkFolder(const std::string& folder);
  void ForgetSetAside(const std::string& aside);
  void AddReplaced(const std::string& aside);

  // Undoes the run as far as it got; errors are skipped so the rest still goes.
  void Undo();
  // The run ended: deletes the replaced earlier results and forgets everything else.
  void Commit();

 private:
  std::vector<std::string> outputFolders_;  // each ends in the separator
  std::vector<std::string> partialResults_;
  std::vector<std::pair<std::string, std::string>> setAside_;  // aside, original
  std::vector<std::string> workFolders_;
  std::vector<std::string> replaced_;  // asides also in setAside_
};

void RegisterOutputFolder(App& app, const std::string& folder);
void RegisterPartialResult(App& app, const std::string& path);
void RegisterSetAside(App& app, const std::string& aside, const std::string& original);
void RegisterWorkFolder(App& app, const std::string& folder);
void ForgetSetAside(App& app, const std::string& aside);
// False outside a conversion: the caller deletes the replaced result itself.
bool RegisterReplaced(App& app, const std::string& aside);

}  // namespace quillet
