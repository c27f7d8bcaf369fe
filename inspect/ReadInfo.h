#pragma once
// Inspecting a source: the Matroska report, the track tables and the decoded-picture
// buffer check of H.264 streams.

#include <string>

#include "app/App.h"

namespace quillet {

// Runs the report tool on the source, parses its report into app.report and the
// window's stream controls, and checks H.264 sources against the players' decoder.
void ReadInfo(App& app, const std::string& sourcePath);

// Where the report tool writes its report: "info.<our pid>.txt" in the output folder.
// Inspection takes no lock (it does not wait for a running conversion), so each running
// program has a report name of its own.
std::string ReportPath(const App& app);

// Reads the report (ReportPath), fills app.report and the stream controls, copies the
// report into the debug log and deletes the report file.
void ParseTrackReport(App& app);

// The audio list's click rule: selects the format button and track id of the chosen row.
void cmbAudio_Click(App& app);

}  // namespace quillet
