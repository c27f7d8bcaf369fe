// Splitting one command-line string into argv by the Windows C runtime's rules: a tool
// must receive here exactly the arguments it would receive on Windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/CommandLine.h"

namespace quillet {
namespace {

struct SplitCase {
  const char* name;
  std::string line;
  std::vector<std::string> args;
};

class SplitCommandLineCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineCases, GivesTheArgumentsWindowsGives) {
  EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().args) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCommandLineCases,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"OnlyBlanks", " \t ", {}},
        SplitCase{"BlanksAndTabsSeparate", "tool  a\tb ", {"tool", "a", "b"}},
        SplitCase{
            "QuotedPathsWithBlanks",
            R"("/opt/my tools/mkvextract.exe" tracks "/out dir/a b.mkv" 1:"/out/movie.h264")",
            {"/opt/my tools/mkvextract.exe", "tracks", "/out dir/a b.mkv", "1:/out/movie.h264"}},
        // The doubled blanks of the tool lines must not produce empty arguments.
        SplitCase{"DoubledBlanksBetweenArguments",
                  R"("/p/aften.exe"  "/o/movie.wav"   -b 640 )",
                  {"/p/aften.exe", "/o/movie.wav", "-b", "640"}},
        SplitCase{"EmptyQuotedArgumentIsKept", R"(tool "" x)", {"tool", "", "x"}},
        SplitCase{"DoubledQuoteInsideQuotesIsOneQuote", R"(tool "a""b" c)", {"tool", "a\"b", "c"}},
        SplitCase{"BackslashesAreLiteralAwayFromQuotes",
                  R"(tool C:\dir\file a\\b)",
                  {"tool", R"(C:\dir\file)", R"(a\\b)"}},
        SplitCase{"OddBackslashesBeforeQuoteGiveALiteralQuote",
                  R"(tool a\"b \\\"c)",
                  {"tool", "a\"b", R"(\"c)"}},
        SplitCase{
            "EvenBackslashesBeforeQuoteHalveAndToggle", R"(tool "a\\" b)", {"tool", R"(a\)", "b"}},
        // The classic trap: a quoted folder ending in a backslash escapes the closing quote,
        // so the rest of the line joins the argument. (Our folders end in '/', not '\'.)
        SplitCase{"TrailingBackslashInQuotedPathEscapesTheQuote",
                  R"(tool "C:\dir\" next)",
                  {"tool", "C:\\dir\" next"}},
        SplitCase{"DoubledTrailingBackslashKeepsOne",
                  R"(tool "C:\dir\\" next)",
                  {"tool", R"(C:\dir\)", "next"}},
        SplitCase{
            "QuotesGroupInsideAWord", R"(tool -o"/out dir/x".mp4)", {"tool", "-o/out dir/x.mp4"}},
        SplitCase{"UnterminatedQuoteRunsToTheEnd", R"(tool "a b)", {"tool", "a b"}},
        // The program name ends at its closing quote; backslashes in it are never escapes.
        SplitCase{
            "ProgramNameKeepsBackslashes", R"("C:\tools\x.exe\" a)", {R"(C:\tools\x.exe\)", "a"}},
        SplitCase{"UnquotedProgramName", "/usr/bin/env  A=1", {"/usr/bin/env", "A=1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IsSafeForCommandLine, RefusesQuotesAndLineBreaksOnly) {
  EXPECT_TRUE(IsSafeForCommandLine("/home/u/My Films/a (1) 'x' & y.mkv"));
  EXPECT_TRUE(IsSafeForCommandLine(R"(C:\dir\)"));
  EXPECT_FALSE(IsSafeForCommandLine("a\"b.mkv"));
  EXPECT_FALSE(IsSafeForCommandLine("a\nb.mkv"));
  EXPECT_FALSE(IsSafeForCommandLine("a\rb.mkv"));
}

}  // namespace
}  // namespace quillet
