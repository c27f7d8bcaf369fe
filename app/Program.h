#pragma once
// What the front ends (the Qt window, the run without a display) call: start-up and
// the handlers of the window's buttons and drops.

#include <string>
#include <vector>

#include "app/App.h"

namespace quillet {

// Start-up: settings, then the command-line argument (a file or folder named there is
// converted now). Afterwards app.form.bUnload says whether the program should end.
void Form_Load(App& app, const std::string& argumentText);

void Command1_Click(App& app);         // "File": choose a source
void cmdSubs_Click(App& app);          // "Browse Subs"
void cmdTargetFolder_Click(App& app);  // "Set Output"
void cmdFolder_Click(App& app);        // "Folder": folder conversion
// Files dropped on the window or the source box, in drop order; each is converted.
void DropFiles(App& app, const std::vector<std::string>& paths);

// The command line of a run without a display: true when the argument text (quotes
// removed) names an existing ".mkv" file or an existing folder.
bool IsConvertibleArgument(const std::string& argumentText);
inline constexpr const char* kHeadlessUsage =
    "usage: quillet [--] FILE.mkv | FOLDER   (without a display: converts and exits)";
// Exit status of a run without a display: 0 when every conversion ended with its
// success text, 1 otherwise.
int HeadlessExitStatus(const App& app);

}  // namespace quillet
