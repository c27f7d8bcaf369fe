#pragma once
// The media-graph service: looking up registered filters by name, and (for WMV
// sources) decoding WMA audio to a WAV file.

#include <string>

namespace quillet {

class MediaGraph {
 public:
  virtual ~MediaGraph() = default;
  // True when a filter of exactly this name is registered.
  virtual bool HasRegisteredFilter(const std::string& name) = 0;
  // Shows the property pages of the named registered filter. Failures are silent.
  virtual void ShowFilterPages(const std::string& name) = 0;
};

}  // namespace quillet
