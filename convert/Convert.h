#pragma once
// The "Convert" button and the conversion driver.

#include "app/App.h"

namespace quillet {

// The "Convert" button: settles the target, saves the settings and hands the source to
// the road for its type. Also called directly for drops, command-line files, folder
// runs, split parts and the subtitle-remuxed copy.
void Command2_Click(App& app);

// The conversion of a Matroska source: opening, splitting, branch selection, closing.
void Convert(App& app);

// Deletion of the working files each output branch leaves.
void CleanMp4TempFiles(App& app);
void CleanVc1TempFiles(App& app);
void CleanTsTempFiles(App& app);

}  // namespace quillet
