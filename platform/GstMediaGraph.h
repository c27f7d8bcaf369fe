#pragma once
// The media graph on GStreamer: registered element factories play the registered
// filters.

#include "sys/MediaGraph.h"

namespace quillet {

class GstMediaGraph : public MediaGraph {
 public:
  bool HasRegisteredFilter(const std::string& name) override;
  void ShowFilterPages(const std::string& name) override;
};

}  // namespace quillet
