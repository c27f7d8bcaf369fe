#pragma once
// A job's options and the window: the window's source and options turned into a job
// ("Add to queue"), and a job put back into the window as the command line puts its
// options there (the same table, the same click rules).

#include <optional>
#include <string>

#include "app/App.h"
#include "queue/Job.h"
#include "queue/WindowOptions.h"
#include "shell/CommandLineOptions.h"

namespace quillet {

// The source the window holds, with every option it would convert it with.
Job JobFromWindow(const App& app);

// The job's words and its source read as a command line; `error` says what is wrong
// (a word the table refuses, a source or folder that is gone).
CommandLine JobCommandLine(const Job& job);

// Puts the window back to `base`, then applies the job's options as the command line
// does, and "Add Chapters" through its click rule. The reason when they cannot stand.
std::optional<std::string> ApplyJobOptions(App& app, const Job& job, const CommandLine& commandLine,
                                           const WindowOptions& base);

// After the source's inspection: the audio track, the subtitle file and track, as the
// job was added with them. The reason when the source lacks the audio track.
std::optional<std::string> ApplyJobSourceOptions(App& app, const Job& job,
                                                 const CommandLine& commandLine);

}  // namespace quillet
