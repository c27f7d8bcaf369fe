#pragma once
// Whether a result is the whole film: every kind of stream the source has, each as long
// as the source. A tool that runs out of disk, or stops half-way without saying so, leaves
// a file that opens and plays, but ends early or lacks its sound; "done" must never be said
// of that. The roads call JudgeWholeResult right before they say "Conversion done".

#include <string>
#include <vector>

#include "app/App.h"
#include "base/Ffprobe.h"

namespace quillet {

// What the result must hold, taken from the source.
struct WantedStreams {
  double seconds = 0;  // the source's length; 0 when unknown (then only the kinds count)
  double slack = 0.5;  // how far a stream's length may stray from it
  bool video = true;
  bool audio = false;
  bool subtitles = false;  // only where the road muxes them
};

// The length of each kind of stream a result holds, summed over its parts: each part
// counts its longest stream of the kind (the container's length when the stream gives
// none). -1 when no part holds the kind.
struct HeldLengths {
  double video = -1, audio = -1, subtitles = -1;
};
HeldLengths LengthsHeld(const std::vector<ProbedFile>& parts);

// The one-line reason the result is not whole, naming the result and the source's film;
// "" when it is whole.
std::string WholeResultFault(const std::string& resultName, const std::string& filmName,
                             const WantedStreams& wanted, const HeldLengths& held);

// The source's length and whether it has sound, from ffprobe; the inspection's whole
// seconds (with the slack they need) when ffprobe cannot read the source.
WantedStreams WantedFromSource(App& app, const std::string& source);

// Probes every result (a file, or an AVCHD/Blu-ray folder whose clips count in name
// order) and judges them against the source. When they are not whole it logs and shows
// the reason (no box in a folder run, which goes on to its next film), deletes the
// results, sets "Conversion error." and returns false.
bool JudgeWholeResult(App& app, const std::vector<std::string>& results,
                      const WantedStreams& wanted);
// The same, with what the source in the window is wanted to give.
bool JudgeWholeResult(App& app, const std::vector<std::string>& results);

}  // namespace quillet
