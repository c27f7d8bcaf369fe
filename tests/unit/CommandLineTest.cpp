// Splitting one command-line string into argv by the Windows C runtime's rules: a tool
// must receive here exactly the arguments it would receive on Windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/CommandLine.h"

namespace quillet {
namespace {

TEST(SplitCommandLine, GivesTheArgumentsWindowsGives) {
  using Args = std::vector<std::string>;
  const std::pair<std::string, Args> cases[] = {
      {"", {}},
      {" \t ", {}},
      {"tool  a\tb ", {"tool", "a", "b"}},
      {R"("/opt/my tools/mkvextract.exe" tracks "/out dir/a b.mkv" 1:"/out/movie.h264")",
       {"/opt/my tools/mkvextract.exe", "tracks", "/out dir/a b.mkv", "1:/out/movie.h264"}},
      // The doubled blanks of the tool lines must not produce empty arguments.
      {R"("/p/aften.exe"  "/o/movie.wav"   -b 640 )",
       {"/p/aften.exe", "/o/movie.wav", "-b", "640"}},
      {R"(tool "" x)", {"tool", "", "x"}},
      {R"(tool "a""b" c)", {"tool", "a\"b", "c"}},
      // Backslashes are literal away from quotes; before a quote, odd ones give a quote,
      // even ones halve and the quote opens or closes.
      {R"(tool C:\dir\file a\\b)", {"tool", R"(C:\dir\file)", R"(a\\b)"}},
      {R"(tool a\"b \\\"c)", {"tool", "a\"b", R"(\"c)"}},
      {R"(tool "a\\" b)", {"tool", R"(a\)", "b"}},
      // The classic trap: a quoted folder ending in a backslash escapes the closing quote,
      // so the rest of the line joins the argument. (Our folders end in '/', not '\'.)
      {R"(tool "C:\dir\" next)", {"tool", "C:\\dir\" next"}},
      {R"(tool "C:\dir\\" next)", {"tool", R"(C:\dir\)", "next"}},
      {R"(tool -o"/out dir/x".mp4)", {"tool", "-o/out dir/x.mp4"}},
      {R"(tool "a b)", {"tool", "a b"}},  // an unterminated quote runs to the end
      // The program name ends at its closing quote; backslashes in it are never escapes.
      {R"("C:\tools\x.exe\" a)", {R"(C:\tools\x.exe\)", "a"}},
      {"/usr/bin/env  A=1", {"/usr/bin/env", "A=1"}},
  };
  for (const auto& [line, args] : cases) EXPECT_EQ(SplitCommandLine(line), args) << line;
}

TEST(IsSafeForCommandLine, RefusesQuotesAndLineBreaksOnly) {
  EXPECT_TRUE(IsSafeForCommandLine("/home/u/My Films/a (1) 'x' & y.mkv"));
  EXPECT_TRUE(IsSafeForCommandLine(R"(C:\dir\)"));
  EXPECT_FALSE(IsSafeForCommandLine("a\"b.mkv"));
  EXPECT_FALSE(IsSafeForCommandLine("a\nb.mkv") || IsSafeForCommandLine("a\rb.mkv"));
}

}  // namespace
}  // namespace quillet
