// A source named like an option ("-o.mkv"), given relative from its own folder, with and
// without "--" before it: the tools must get it as a file, and the film must convert.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

class RelativeName : public ::testing::Test {
 protected:
  void SetUp() override { RequireBuiltProgram(); }

  TempFolder work{"quillet-e2e-dash"};
};

TEST_F(RelativeName, ASourceNamedLikeAnOptionIsConverted) {
  const fs::path sources = work.path() / "films";
  fs::create_directories(sources);
  ASSERT_TRUE(MakeSmallFilm((sources / "-o.mkv").string(), 3));
  RealProgram program(work.path() / "program");

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-o.mkv"}, std::vector<std::string>{"--", "-o.mkv"}}) {
    SCOPED_TRACE(args.front());
    const fs::path output = work.path() / ("out " + std::to_string(args.size()));
    fs::create_directories(output);
    ConversionSettings settings;
    settings.outputFolder = output.string() + "/";
    settings.sourceFolder = sources.string() + "/";
    program.WriteSettings(settings);

    const ProgramRun run = program.Run(args, sources.string());
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(Entries(output), std::vector<std::string>{"-o.mp4"}) << run.err;
    const std::string result = (output / "-o.mp4").string();
    EXPECT_NEAR(StreamSeconds(result, "v:0"), 3, 0.2);
    EXPECT_NEAR(StreamSeconds(result, "a:0"), 3, 0.2);
  }
}

}  // namespace
}  // namespace quillet::test
