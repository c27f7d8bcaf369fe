// Looking up registered filters in the GStreamer registry. The core elements ship with
// GStreamer itself, so they are present wherever the program can run.
#include <gtest/gtest.h>

#include "platform/GstMediaGraph.h"

namespace quillet {
namespace {

TEST(GstMediaGraph, FindsFactoriesByFeatureNameOrLongName) {
  GstMediaGraph graph;
  EXPECT_TRUE(graph.HasRegisteredFilter("fakesink"));
  EXPECT_TRUE(graph.HasRegisteredFilter("Fake Sink"));
  EXPECT_FALSE(graph.HasRegisteredFilter("fake sink"));  // exactly this name
  EXPECT_FALSE(graph.HasRegisteredFilter("AC3Filter"));
  EXPECT_FALSE(graph.HasRegisteredFilter(""));
}

TEST(GstMediaGraph, ShowingPagesOfAnyFilterIsHarmless) {
  GstMediaGraph graph;
  graph.ShowFilterPages("AC3Filter");
  graph.ShowFilterPages("fakesink");
}

}  // namespace
}  // namespace quillet
