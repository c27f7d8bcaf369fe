// The file and path tests the whole program shares, and the debug log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/TestApp.h"
#include "tools/FileTests.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

TEST(FileTestsNames, FileNameFromPathTakesTheTextAfterTheLastSeparator) {
  struct Case {
    std::string path, name;
  };
  for (const Case& c : {Case{"/films/a b/Film.Name.mkv", "Film.Name.mkv"},
                        Case{"Film.mkv", "Film.mkv"}, Case{"/films/out/", ""}, Case{"", ""},
                        Case{"/x", "x"}, Case{"C:\\a\\b.mkv", "C:\\a\\b.mkv"}})
    EXPECT_EQ(FileNameFromPath(c.path), c.name) << c.path;
}

class FileTestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir.path() / "Film.MKV", "data");
    WriteFile(dir.path() / "empty.srt", "");
    fs::create_directory(dir.path() / "Out");
    fs::create_directory(dir.path() / "only-folder.mkv");
  }
  std::string At(const std::string& relative) const { return dir.str() + "/" + relative; }
  TempFolder dir{"quillet-filetests"};
};

TEST_F(FileTestsTest, FileExistsMatchesLikeAWindowsSearch) {
  struct Case {
    std::string relative;
    bool alsoDirectories, exists;
  };
  for (const Case& c : {
           Case{"Film.MKV", false, true},
           Case{"film.mkv", false, true},  // names match without regard to case
           Case{"FILM.*", false, true},
           Case{"*.mkv", false, true},
           Case{"F?lm.mkv", false, true},
           Case{"*.avi", false, false},
           Case{"missing.mkv", true, false},
           Case{"Out", false, false},  // a folder is no file...
           Case{"Out", true, true},    // ...unless folders are asked for
           Case{"out/", true, true},   // the output folder text ends in the separator
           Case{"missing/", true, false},
           Case{"only-*.mkv", false, false},
           Case{"only-*.mkv", true, true},
       })
    EXPECT_EQ(FileExists(At(c.relative), c.alsoDirectories), c.exists)
        << c.relative << " alsoDirectories=" << c.alsoDirectories;
  EXPECT_FALSE(FileExists("", true));
}

TEST_F(FileTestsTest, FileHasLengthIsTrueForEveryFileEvenAnEmptyOne) {
  EXPECT_TRUE(FileHasLength(At("empty.srt")));
  EXPECT_TRUE(FileHasLength(At("film.mkv")));
  EXPECT_FALSE(FileHasLength(At("missing.srt")));
  EXPECT_FALSE(FileHasLength(At("Out")));
  EXPECT_FALSE(FileHasLength(""));
}

TEST_F(FileTestsTest, DeleteFileQuietlyDeletesFilesOnly) {
  DeleteFileQuietly(At("FILM.mkv"));
  EXPECT_FALSE(fs::exists(dir.path() / "Film.MKV"));
  DeleteFileQuietly(At("missing.wav"));  // no error
  DeleteFileQuietly(At("Out"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "Out"));
}

TEST_F(FileTestsTest, DebugLogIsAppendedLineByLineWithCrLf) {
  AppendDebugLog(dir.str(), "mkvextract tracks \"a b.mkv\"");
  AppendDebugLog(dir.str(), std::vector<std::string>{"Video: 1", "", "Audio: 2"});
  EXPECT_EQ(ReadFile(dir.path() / "debug.log"),
            "mkvextract tracks \"a b.mkv\"\r\nVideo: 1\r\n\r\nAudio: 2\r\n");
}

TEST_F(FileTestsTest, DebugLogWriteFailuresAreIgnored) {
  EXPECT_NO_THROW(AppendDebugLog(At("missing-folder"), "lost"));
  // debug.log is a folder here, so it cannot be opened for appending.
  fs::create_directory(dir.path() / "Out" / "debug.log");
  EXPECT_NO_THROW(AppendDebugLog(At("Out"), std::vector<std::string>{"lost", "too"}));
  EXPECT_FALSE(fs::exists(dir.path() / "missing-folder"));
}

}  // namespace
}  // namespace quillet::test
