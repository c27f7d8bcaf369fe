// Two conversions started together into one output folder through one program folder:
// they share the working names there and the files the tools rewrite beside their slots,
// so the second must wait for the first, and each result must hold its own film.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"
#include "tests/support/StartedProgram.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

struct Film {
  std::string name;
  int seconds;
};

class ConcurrentConversion : public ::testing::Test {
 protected:
  void SetUp() override { RequireBuiltProgram(); }

  TempFolder work{"quillet-e2e-concurrent"};
};

TEST_F(ConcurrentConversion, TheSecondWaitsAndEachResultHoldsItsOwnFilm) {
  const fs::path sources = work.path() / "films";
  const fs::path output = work.path() / "out";
  fs::create_directories(sources);
  fs::create_directories(output);
  const std::vector<Film> films = {{"long film.mkv", 12}, {"short film.mkv", 5}};
  for (const Film& film : films)
    ASSERT_TRUE(MakeSmallFilm((sources / film.name).string(), film.seconds));

  RealProgram program(work.path() / "program");
  ConversionSettings settings;
  settings.outputFolder = output.string() + "/";
  settings.sourceFolder = sources.string() + "/";
  program.WriteSettings(settings);

  std::vector<std::unique_ptr<StartedProgram>> runs;
  for (const Film& film : films)
    runs.push_back(std::make_unique<StartedProgram>(
        std::vector<std::string>{(program.folder() / "quillet").string(),
                                 (sources / film.name).string()},
        work.str()));
  int waited = 0;
  for (auto& run : runs) {
    EXPECT_EQ(run->Wait(300), 0) << run->Err();
    if (run->Err().find("Waiting for the conversion already running") != std::string::npos)
      ++waited;
  }
  EXPECT_GE(waited, 1) << "they were started together: one of them had to wait";

  EXPECT_EQ(Entries(output), (std::vector<std::string>{"long film.mp4", "short film.mp4"}));
  for (const Film& film : films) {
    SCOPED_TRACE(film.name);
    const std::string source = (sources / film.name).string();
    const std::string result =
        (output / (film.name.substr(0, film.name.size() - 4) + ".mp4")).string();
    EXPECT_NEAR(StreamSeconds(result, "v:0"), film.seconds, 0.2);
    EXPECT_NEAR(StreamSeconds(result, "a:0"), film.seconds, 0.2);
  }
}

}  // namespace
}  // namespace quillet::test
