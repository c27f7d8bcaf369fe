#pragma once
// What the front ends (the Qt window, the run without a display) call: start-up and
// the handlers of the window's buttons and drops.

#include <string>
#include <vector>

#include "app/App.h"

namespace quillet {

void Command1_Click(App& app);  // "File": choose a source
// What "File" does with the file chosen: the source, its type by its extension and the
// options that type takes (a Matroska file is inspected).
void ChooseSourceByType(App& app, const std::string& path);
// A path typed into the source box, taken as the file dialog's choice is; false when the
// path is refused (its box shown).
bool ChooseTypedSource(App& app, const std::string& path);
// Shows "SRT Found !" when a subtitle file lies beside the source (SubtitleBesideSource),
// hides it otherwise; true when found.
bool FindSubtitleBeside(App& app, const std::string& source);
void cmdSubs_Click(App& app);  // "Browse Subs"
// What "Browse Subs" does with the file chosen (the path is safe for the tools).
void UseSubtitleFile(App& app, const std::string& path);
void cmdTargetFolder_Click(App& app);  // "Set Output"
void cmdFolder_Click(App& app);        // "Folder": folder conversion
// Files dropped on the window or the source box, in drop order; each is converted.
void DropFiles(App& app, const std::vector<std::string>& paths);

// Exit status of a run without a display: 0 when every conversion ended with its
// success text, 1 otherwise.
int HeadlessExitStatus(const App& app);

}  // namespace quillet
