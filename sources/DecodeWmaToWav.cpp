// The WMA sound of a WMV source decoded to "movie.wav" through the media graph, with the
// bytes written shown while the graph runs.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "convert/PathNames.h"
#include "convert/StepHelpers.h"
#include "sources/Sources.h"
#include "sys/MediaGraph.h"

namespace quillet {
namespace {

// How often the wait looks for a stop.
constexpr int kStopCheckMs = 100;

enum class WaitEnd { kStoppedGrowing, kGraphEnded, kGraphFailed, kNoData };

struct WavWait {
  WaitEnd end = WaitEnd::kStoppedGrowing;
  int64_t bytes = 0;
  std::string error;
};

// One poll interval, waited in short steps: a stop leaves at once, and the graph, ended by
// its owner on the way out, writes no more.
void WaitOnePoll(App& app) {
  for (int waited = 0; waited < kWavPollMs; waited += kStopCheckMs) {
    ThrowIfStopRequested();
    IgnoringErrors([&] { app.ctx.ui.Sleep(std::min(kStopCheckMs, kWavPollMs - waited)); });
  }
  ThrowIfStopRequested();
}

// Polls every two seconds. The file is taken as finished once it holds data and has not
// grown for one interval; the graph's own end or error and a long silence end it too, so
// a graph that never writes cannot hold the window for ever.
WavWait WaitForWav(App& app, AudioGraph& graph, const std::string& wavPath) {
  WavWait wait;
  int64_t previous = -1, current = 0;
  int quietMs = 0;
  for (;;) {
    if (current != 0 && current == previous) return wait;
    previous = current;
    AudioGraph::State state = AudioGraph::State::kRunning;
    IgnoringErrors([&] { state = graph.Poll(&wait.error); });
    int64_t size = 0;
    if (CanOpenFile(wavPath, &size)) current = size;
    quietMs = current > previous ? 0 : quietMs + kWavPollMs;
    WaitOnePoll(app);
    wait.bytes = current;
    SetProgress(app, std::to_string(current) + " Bytes WAV written");
    if (state == AudioGraph::State::kEnded) wait.end = WaitEnd::kGraphEnded;
    if (state == AudioGraph::State::kFailed) wait.end = WaitEnd::kGraphFailed;
    if (state != AudioGraph::State::kRunning) return wait;
    if (quietMs >= kWavQuietLimitMs) {
      wait.end = WaitEnd::kNoData;
      return wait;
    }
  }
}

void ReportWaitEnd(App& app, const WavWait& wait, const std::string& wavPath) {
  const std::string bytes = std::to_string(wait.bytes);
  switch (wait.end) {
    case WaitEnd::kStoppedGrowing:
      AppendDebugLog(app, "WAV decoding: " + wavPath + " stopped growing at " + bytes + " bytes");
      break;
    case WaitEnd::kGraphEnded:
      AppendDebugLog(app, "WAV decoding: end of stream, " + bytes + " bytes in " + wavPath);
      break;
    case WaitEnd::kGraphFailed:
      SetProgress(app, "WAV decoding failed: " + wait.error);
      AppendDebugLog(app, "WAV decoding failed after " + bytes + " bytes: " + wait.error);
      break;
    case WaitEnd::kNoData:
      SetProgress(app, "WAV decoding stopped: no data for 60 seconds");
      AppendDebugLog(app, "WAV decoding stopped: " + wavPath + " got no byte for 60 s (" + bytes +
                              " bytes written)");
      break;
  }
}

}  // namespace

void DecodeWmaToWav(App& app, const std::string& source, const std::string& folder) {
  const std::string wavPath = folder + work::kWav;
  std::string missing;
  std::unique_ptr<AudioGraph> graph;
  IgnoringErrors([&] { graph = app.ctx.media.RunWmaToWavGraph(source, wavPath, &missing); });
  if (!graph) {
    AppendDebugLog(app, "WAV decoding: no graph for " + source + ", missing " +
                            (missing.empty() ? std::string("an unnamed part") : missing));
    return;
  }
  const WavWait wait = WaitForWav(app, *graph, wavPath);
  IgnoringErrors([&] { graph->Stop(); });
  ReportWaitEnd(app, wait, wavPath);
}

}  // namespace quillet
