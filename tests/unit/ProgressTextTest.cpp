// How the progress of a step reads: the percentage, the time left, the time spent when
// the tool tells nothing, the film or part, and how a run without a display writes it to
// a terminal (one line rewritten) and to a log (a line per step, a few in between).
#include <gtest/gtest.h>

#include <sstream>

#include "app/ConsoleProgress.h"
#include "app/StepProgress.h"

namespace quillet::test {
namespace {

using Clock = StepProgress::Clock;
using std::chrono::seconds;

const Clock::time_point kStart = Clock::time_point() + std::chrono::hours(1);

StepProgress Running(std::optional<double> share, seconds toolFor, seconds stepFor) {
  StepProgress p;
  p.toolRunning = true;
  p.share = share;
  p.toolStart = kStart - toolFor;
  p.stepStart = kStart - stepFor;
  return p;
}

TEST(ProgressText, TheDetailSaysWhatIsKnown) {
  const struct {
    std::string label;
    StepProgress progress;
    std::string detail;
  } cases[] = {
      {"half done in a minute", Running(0.5, seconds(60), seconds(60)),
       "50 % \u2014 about 1 min left"},
      {"a quarter in 10 minutes", Running(0.25, seconds(600), seconds(600)),
       "25 % \u2014 about 30 min left"},
      {"a tenth in 20 minutes", Running(0.1, seconds(1200), seconds(1200)),
       "10 % \u2014 about 3 h 00 min left"},
      {"nearly done", Running(0.9, seconds(90), seconds(90)), "90 % \u2014 about 10 s left"},
      {"too early to judge the pace", Running(0.3, seconds(1), seconds(1)), "30 %"},
      {"too little done to judge", Running(0.01, seconds(60), seconds(60)), "1 %"},
      {"a tool that tells nothing", Running(std::nullopt, seconds(5), seconds(125)),
       "2 min 05 s in this step"},
      {"no tool at work", StepProgress{}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ProgressDetail(c.progress, kStart), c.detail) << c.label;
}

TEST(ProgressText, TheTimeLeftShrinksAsTheToolKeepsItsPace) {
  // A tool that does 1 % a second: at every moment the rest takes what it says.
  std::optional<seconds> before;
  for (int s = 5; s <= 95; s += 10) {
    StepProgress p = Running(s / 100.0, seconds(s), seconds(s));
    const auto left = TimeLeft(p, kStart);
    ASSERT_TRUE(left.has_value()) << s;
    EXPECT_EQ(left->count(), 100 - s);
    if (before) EXPECT_LT(*left, *before);
    before = left;
  }
}

TEST(ProgressText, TheOverallPositionNamesFilmAndPart) {
  StepProgress p;
  EXPECT_EQ(OverallPosition(p), "");
  p.part = PositionText("part", 1, 3);
  EXPECT_EQ(OverallPosition(p), "part 2 of 3");
  p.film = PositionText("film", 3, 7);
  EXPECT_EQ(OverallPosition(p), "film 4 of 7, part 2 of 3");
  p.part.clear();
  EXPECT_EQ(OverallPosition(p), "film 4 of 7");
}

class ConsoleOutput : public ::testing::Test {
 protected:
  ConsoleProgress Console(ConsoleProgress::Mode mode) {
    return ConsoleProgress(err, mode, [this] { return now; });
  }
  std::ostringstream err;
  Clock::time_point now = kStart;
};

// Into a log: the step once, then a line on its progress at most every 10 seconds, however
// often the window would repaint (every 100 ms).
TEST_F(ConsoleOutput, ALogGetsALinePerStepAndOneEveryTenSeconds) {
  ConsoleProgress console = Console(ConsoleProgress::Mode::Log);
  StepProgress p = Running(0.0, seconds(0), seconds(0));
  p.film = "film 2 of 7";
  for (int tenth = 0; tenth <= 250; ++tenth) {
    now = kStart + std::chrono::milliseconds(100 * tenth);
    p.share = tenth / 500.0;
    console.Show("Encoding H264", p);
  }
  console.Show("Muxing MP4", p);
  EXPECT_EQ(err.str(),
            "Encoding H264\n"
            "  20 % \u2014 about 40 s left \u2014 film 2 of 7\n"
            "  40 % \u2014 about 30 s left \u2014 film 2 of 7\n"
            "Muxing MP4\n");
}

TEST_F(ConsoleOutput, ALogGetsNoProgressLinesWhileNoToolRuns) {
  ConsoleProgress console = Console(ConsoleProgress::Mode::Log);
  console.Show("Checking the source", StepProgress{});
  now += seconds(60);
  console.Show("Checking the source", StepProgress{});
  EXPECT_EQ(err.str(), "Checking the source\n");
}

// On a terminal the status line of a step is rewritten in place (only when its text
// changes); the next step starts a line of its own.
TEST_F(ConsoleOutput, ATerminalLineRewritesItself) {
  ConsoleProgress console = Console(ConsoleProgress::Mode::Terminal);
  StepProgress p = Running(std::nullopt, seconds(0), seconds(0));
  console.Show("Extracting", p);
  console.Show("Extracting", p);  // nothing new to say
  now += seconds(4);
  p.share = 0.5;
  console.Show("Extracting", p);
  p.toolRunning = false;
  console.Show("Encoding H264", p);
  console.BreakLine();
  EXPECT_EQ(err.str(),
            "\rExtracting \u2014 0 s in this step\x1b[K"
            "\rExtracting \u2014 50 % \u2014 about 5 s left\x1b[K\n"
            "\rEncoding H264\x1b[K\n");
}

// A wrapped line could not be rewritten with "\r": it is cut to the terminal's width,
// counted in characters, never inside one.
TEST(ProgressText, AStatusLineFitsTheTerminal) {
  const struct {
    std::string text;
    int columns;
    std::string fitted;
  } cases[] = {
      {"Encoding H264", 0, "Encoding H264"},  {"Encoding H264", 80, "Encoding H264"},
      {"Encoding H264", 14, "Encoding H264"}, {"Encoding H264", 9, "Encoding"},
      {"a \u2014 b", 4, "a \u2014"},          {"a \u2014 b", 3, "a "},
      {"\u00e9t\u00e9", 3, "\u00e9t"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FitToColumns(c.text, c.columns), c.fitted) << c.text << " in " << c.columns;

  std::ostringstream err;
  ConsoleProgress console(
      err, ConsoleProgress::Mode::Terminal, [] { return kStart; }, 12);
  console.Show("Extracting video/audio stream", StepProgress{});
  EXPECT_EQ(err.str(), "\rExtracting \x1b[K");
}

}  // namespace
}  // namespace quillet::test
