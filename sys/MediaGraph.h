#pragma once
// The media-graph service: looking up registered filters by name, and (for WMV
// sources) decoding WMA audio to a WAV file.

#include <memory>
#include <string>

namespace quillet {

// A running graph that writes a WAV file. Poll it for its state; it stops when
// destroyed.
class AudioGraph {
 public:
  enum class State { kRunning, kEnded, kFailed };
  virtual ~AudioGraph() = default;
  // Handles what the graph reported since the last call. On kFailed, *error says why.
  virtual State Poll(std::string* error) = 0;
  virtual void Stop() = 0;
};

class MediaGraph {
 public:
  virtual ~MediaGraph() = default;
  // True when a filter of exactly this name is registered.
  virtual bool HasRegisteredFilter(const std::string& name) = 0;
  // Shows the property pages of the named registered filter. Failures are silent.
  virtual void ShowFilterPages(const std::string& name) = 0;

  // Builds and starts the graph that decodes the first audio stream of a Windows Media
  // file ("Raw Audio 0") with the WMA decoder into a WAV writer and a file writer at
  // wavPath. nullptr when a filter is missing; *missing names it.
  virtual std::unique_ptr<AudioGraph> RunWmaToWavGraph(const std::string& source,
                                                       const std::string& wavPath,
                                                       std::string* missing) = 0;
};

}  // namespace quillet
