#pragma once
// Folder conversion: every Matroska file of a chosen folder converted, or every AVI file
// of it checked and repaired, with files already done skipped, a running count in
// lblMulti and one shutdown at the end.

#include <cstddef>
#include <functional>
#include <string>

#include "app/App.h"

namespace quillet {

// The folder window's buttons: each hides the window and starts its run.
void frmFolder_cmdMKV_Click(App& app);    // "MKV folder"
void frmFolder_Command2_Click(App& app);  // "AVI Folder"

// Converts a chosen folder of Matroska files with the window's current options.
void folderMKV(App& app);

// What a folder run does with one AVI file that is not done yet (strFullname and txtFile
// name it): check it, and repair it when the consoles cannot play it.
using AviFileStep = std::function<void(App&)>;
// The check and repair of the "Convert" button's road for an AVI source.
void CheckAndRepairAvi(App& app);

// Checks a chosen folder of AVI files and repairs those that need it.
void folderAVI(App& app, const AviFileStep& checkAndRepair = CheckAndRepairAvi);
// The same for a folder given on the command line: no question, the results go to the
// output folder. Sets app.nothingToConvert when no file needed a check.
void folderAVI(App& app, const std::string& folder,
               const AviFileStep& checkAndRepair = CheckAndRepairAvi);

// "Conversion stopped. 2 of 5 films done.": the progress text of a run over several films
// that a stop ended after `done` of its `total` films.
std::string StoppedRunText(size_t done, size_t total);

}  // namespace quillet
