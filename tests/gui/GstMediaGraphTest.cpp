// The media graph on GStreamer: registered filters are element factories, and the
// WMA-to-WAV graph decodes a real Windows Media file made here with ffmpeg.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/GstMediaGraph.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TestApp.h"

namespace quillet {
namespace {

using test::RunShell;
using test::ShellQuoted;
using test::TempFolder;

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

// Polls until the graph leaves kRunning, at most 30 s.
AudioGraph::State RunToEnd(AudioGraph& graph, std::string* error) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  AudioGraph::State state = AudioGraph::State::kRunning;
  while (state == AudioGraph::State::kRunning && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    state = graph.Poll(error);
  }
  return state;
}

double Seconds(const std::string& path, const std::string& stream) {
  const test::ProgramRun probe =
      RunShell("ffprobe -v error -select_streams " + stream +
               " -show_entries stream=duration -of csv=p=0 " + ShellQuoted(path) + " 1>&2");
  return probe.status == 0 ? std::atof(probe.err.c_str()) : -1;
}

TEST(GstMediaGraph, DecodesTheWmaOfAWindowsMediaFileToAWavOfItsLength) {
  TempFolder dir;
  const std::string wmv = dir.str() + "/film.wmv", wav = dir.str() + "/movie.wav";
  ASSERT_EQ(RunShell("ffmpeg -nostdin -y -v error -f lavfi -i testsrc=size=160x120:rate=25 "
                     "-f lavfi -i sine=f=440 -t 4.5 -c:v wmv2 -c:a wmav2 -ac 2 " +
                     ShellQuoted(wmv))
                .status,
            0);
  GstMediaGraph media;
  std::string missing, error;
  auto graph = media.RunWmaToWavGraph(wmv, wav, &missing);
  ASSERT_TRUE(graph) << missing;
  EXPECT_EQ(RunToEnd(*graph, &error), AudioGraph::State::kEnded) << error;
  graph.reset();
  EXPECT_NEAR(Seconds(wav, "a:0"), Seconds(wmv, "a:0"), 0.2);
}

TEST(GstMediaGraph, ASourceWithoutSoundOrUnreadableFailsAndSaysWhy) {
  TempFolder dir;
  const std::string silent = dir.str() + "/silent.wmv";
  ASSERT_EQ(RunShell("ffmpeg -nostdin -y -v error -f lavfi -i testsrc=size=160x120:rate=25 "
                     "-t 1 -c:v wmv2 " +
                     ShellQuoted(silent))
                .status,
            0);
  GstMediaGraph media;
  for (const std::string& source : {silent, dir.str() + "/missing.wmv"}) {
    SCOPED_TRACE(source);
    std::string missing, error;
    auto graph = media.RunWmaToWavGraph(source, dir.str() + "/movie.wav", &missing);
    ASSERT_TRUE(graph) << missing;
    EXPECT_EQ(RunToEnd(*graph, &error), AudioGraph::State::kFailed);
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace quillet
