#pragma once
// Writing a mux plan as Blu-ray transport-stream files: ffmpeg muxes to a pipe, and the
// packets are rewritten (clock PID, arrival times, parts) on their way to the files.

#include <functional>
#include <string>
#include <vector>

#include "toolkit/MuxInputs.h"

namespace quillet::toolkit {

// The name of part n (from 1) of a result: the first keeps the name, the others put
// their number before the extension: film.m2ts, film.2.m2ts, film.3.m2ts ...
std::string PartName(const std::string& path, int n);

// Muxes into parts of at most splitBytes (0: one file), part n written to pathOf(n).
// The paths written go to *parts. False with a one-line reason.
bool MuxToM2ts(const MuxPlan& plan, long long splitBytes,
               const std::function<std::string(int)>& pathOf, std::vector<std::string>* parts,
               std::string* error);

// The parts hold a transport stream with every planned stream, and together last as
// long as the sources. False with a one-line reason.
bool CheckM2tsParts(const std::vector<std::string>& parts, const MuxPlan& plan,
                    long long splitBytes, std::string* error);

}  // namespace quillet::toolkit
