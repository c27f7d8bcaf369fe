#pragma once
// Writing the AVI the muxer slot's script asks for: the video of one file and the chosen
// audio streams, copied by ffmpeg's AVI writer (audio interleaved by time, the legacy
// index of the first 1 GB and OpenDML indexes beyond it), cut at video key frames into
// parts of at most the given size.

#include <string>
#include <vector>

#include "toolkit/AviMuxScript.h"

namespace quillet::toolkit {

// The name of part number (from 1) of a split output: the first keeps the output's name,
// the others put _002, _003 ... before the extension ("Film.avi", "Film_002.avi").
std::string AviPartName(const std::string& outputName, int part);

// The ffmpeg argv that writes the plan's streams into one AVI file.
std::vector<std::string> AviMuxArgv(const AviMuxPlan& plan, const std::string& output);

// Writes the plan's output (and its further parts). The files appear only when all went
// well; parts of an earlier run of the same name that this run does not write again are
// removed, so that the folder holds one whole set.
bool WriteAvi(const AviMuxPlan& plan);

}  // namespace quillet::toolkit
