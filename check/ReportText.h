#pragma once
// The pre-flight report for people: the film's facts, then one verdict line per player
// with its reasons and notes.

#include <string>

#include "check/CheckReport.h"

namespace quillet {

std::string ReportText(const CheckReport& report);
std::string FileReportText(const FileReport& file);
// One verdict: "PS3: needs a re-encode to H.264: MP4 (Target: PS3 (5.1), ...)" and one
// line per reason and note, each beginning with "  - " or "  note: ".
std::string VerdictText(const Verdict& verdict);
// The headline alone: "needs the level patch only", "plays as it is", ...
std::string VerdictHeadline(const Verdict& verdict);

}  // namespace quillet
