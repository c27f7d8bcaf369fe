#pragma once
// The media graph on GStreamer: registered element factories play the registered
// filters.

#include "sys/MediaGraph.h"

namespace quillet {

class GstMediaGraph : public MediaGraph {
 public:
  bool HasRegisteredFilter(const std::string& name) override;
  void ShowFilterPages(const std::string& name) override;
  std::unique_ptr<AudioGraph> RunWmaToWavGraph(const std::string& source,
                                               const std::string& wavPath,
                                               std::string* missing) override;
};

}  // namespace quillet
