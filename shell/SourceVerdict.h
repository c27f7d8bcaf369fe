#pragma once
// The pre-flight verdict in the window: when a source is chosen (File dialog, typed, dropped)
// it is read once, its verdict for the player the options aim at goes into the source box's
// tool tip and the debug log, and a film that cannot be read is refused. The verdict line
// under the source box is worked out again from the kept facts whenever the window is
// refreshed, without running a tool. No option of the window changes.

#include <map>
#include <string>
#include <vector>

#include "app/App.h"
#include "check/MediaFacts.h"
#include "check/PlayerLimits.h"

namespace quillet {

// The facts of the films chosen, each with the path it belongs to: reading a film runs
// the inspection tools, so it is done once per choice.
class FilmFacts {
 public:
  // Reads the film at `path` (an absolute path) and keeps its facts.
  const MediaFacts& Read(Context& ctx, const std::string& path);
  // The facts kept for `path`, or null when it was not read.
  const MediaFacts* Of(const std::string& path) const;
  // The film read last ("" before the first).
  const std::string& LastRead() const { return lastRead_; }

 private:
  std::map<std::string, MediaFacts> facts_;
  std::string lastRead_;
};

// The player the window's options aim at: AVCHD output for a Blu-ray player, else the
// "Target:" list as the "Convert" button reads it (PS3 for item 0, PS3 stereo for item 2,
// the Xbox 360 otherwise).
Player ChosenPlayer(const Form1& form);

// Reads the source in txtFile and shows its verdict for the chosen player in the tool tip
// and the debug log. A film that cannot be read is refused with one box; false then.
bool ShowSourceVerdict(App& app, FilmFacts& films);

// The verdict line (lblVerdict) for the source in txtFile from the facts kept, and
// "Convert" enabled for a source unless none is chosen or it was read as unreadable.
// Runs no tool.
void RefreshVerdictLine(App& app, const FilmFacts& films);

// "File": the file dialog, then the verdict when a source was chosen.
void FileButton_Click(App& app, FilmFacts& films);
// The source box once the user finished typing in it: a new path is taken as a File-dialog
// choice is.
void SourceTyped(App& app, FilmFacts& films);
// Files dropped on the window: each is read first; one that cannot be read is refused and
// skipped, the others are converted in drop order.
void DropFilms(App& app, FilmFacts& films, const std::vector<std::string>& paths);

}  // namespace quillet
