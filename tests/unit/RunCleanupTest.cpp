// What a stopped conversion undoes: the working names in the output folder, the partial
// results, the run's own folders, and the earlier results set aside, put back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/RunCleanup.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class RunCleanupTest : public ::testing::Test {
 protected:
  std::string Out(const std::string& name) const { return (out.path() / name).string(); }
  TempFolder out{"quillet-cleanup"};
};

TEST_F(RunCleanupTest, UndoLeavesOnlyWhatWasThereBefore) {
  // Working files of every kind, a result being written over an earlier one that was set
  // aside, a second earlier result set aside and settled, the split folder, and files
  // that are none of the run's business.
  for (const char* name : {"movie.h264", "movie.aac", "movie.dts", "movie_raw.h264", "movie.ssa",
                           "film.mp4", "other.mp4", "movie.h264.keep", "film.mkv"})
    WriteFile(out.path() / name, name);
  WriteFile(out.path() / "film.mp4.earlier", "earlier film");
  WriteFile(out.path() / "part.mp4.earlier", "settled");
  fs::create_directories(out.path() / "split");
  WriteFile(out.path() / "split" / "film-001.mkv", "part");

  RunCleanup cleanup;
  cleanup.AddOutputFolder(out.withSep());
  cleanup.AddPartialResult(Out("film.mp4"));
  cleanup.AddSetAside(Out("film.mp4.earlier"), Out("film.mp4"));
  cleanup.AddSetAside(Out("part.mp4.earlier"), Out("part.mp4"));
  cleanup.ForgetSetAside(Out("part.mp4.earlier"));
  cleanup.AddWorkFolder(Out("split"));
  cleanup.Undo();

  EXPECT_EQ(Names(out.path()), (std::vector<std::string>{"film.mkv", "film.mp4", "movie.h264.keep",
                                                         "other.mp4", "part.mp4.earlier"}));
  EXPECT_EQ(ReadFile(out.path() / "film.mp4"), "earlier film");

  // Once undone it holds nothing: a second Undo touches nothing.
  WriteFile(out.path() / "movie.h264", "next run");
  cleanup.Undo();
  EXPECT_TRUE(fs::exists(out.path() / "movie.h264"));
}

TEST_F(RunCleanupTest, RegisteringOutsideAConversionDoesNothing) {
  TestApp t;
  ASSERT_EQ(t.app.cleanup, nullptr);
  RegisterPartialResult(t.app, Out("film.mp4"));  // no guard: nothing to register with
  RunCleanup cleanup;
  t.app.cleanup = &cleanup;
  WriteFile(out.path() / "film.mp4", "partial");
  RegisterPartialResult(t.app, Out("film.mp4"));
  t.app.cleanup = nullptr;
  cleanup.Undo();
  EXPECT_FALSE(fs::exists(out.path() / "film.mp4"));
}

}  // namespace
}  // namespace quillet::test
