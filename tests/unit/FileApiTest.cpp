// Exact sizes of large files, folder listings in NTFS order, folder-tree deletion and
// case-insensitive path resolution.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "sys/FileAPI.h"
#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;

// A file of the given size that takes no disk space.
void MakeSparse(const fs::path& path, int64_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, size), 0);
  close(fd);
}

class FileApiTest : public ::testing::Test {
 protected:
  TempFolder dir{"quillet-fileapi"};
};

TEST_F(FileApiTest, SizesAreExactAcrossThe32BitBoundaries) {
  for (int64_t size : {int64_t{0}, int64_t{1}, int64_t{2147483648}, int64_t{4294967295},
                       int64_t{4294967296}, int64_t{5000000000}}) {
    fs::path file = dir.path() / "film.mkv";
    MakeSparse(file, size);
    int handle = kInvalidFileHandle;
    int64_t got = -7;
    GetFileSize64(file.string(), handle, got);
    EXPECT_NE(handle, kInvalidFileHandle) << size;
    EXPECT_EQ(got, size);
    CloseFile(handle);
    EXPECT_EQ(FileSize64(file.string()), size);
  }
}

TEST_F(FileApiTest, FilesWeMayOnlyReadReportTheirTrueSize) {
  fs::path file = dir.path() / "readonly.mkv";
  MakeSparse(file, 4294967295);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(FileSize64(file.string()), 4294967295);
  // A running program cannot be opened for writing, not even by root: only an open for
  // reading measures it.
  EXPECT_EQ(FileSize64("/proc/self/exe"), static_cast<int64_t>(fs::file_size("/proc/self/exe")));
}

TEST_F(FileApiTest, WhatCannotBeOpenedGivesTheInvalidHandleAndSizeZero) {
  fs::create_directory(dir.path() / "folder.mkv");
  for (const fs::path& path : {dir.path() / "missing.mkv", dir.path() / "folder.mkv"}) {
    int handle = 99;
    int64_t size = -7;
    GetFileSize64(path.string(), handle, size);
    EXPECT_EQ(handle, kInvalidFileHandle) << path;
    EXPECT_EQ(size, 0) << path;
    CloseFile(handle);  // harmless
    EXPECT_EQ(FileSize64(path.string()), 0);
  }
}

TEST_F(FileApiTest, SizeFindsTheFileWithoutRegardToCase) {
  fs::create_directories(dir.path() / "Split");
  MakeSparse(dir.path() / "Split" / "Part-001.mkv", 1234);
  EXPECT_EQ(FileSize64((dir.path() / "split" / "PART-001.MKV").string()), 1234);
}

TEST_F(FileApiTest, ListsMatchingFilesInNtfsOrder) {
  for (const char* name : {"b.mkv", "A.mkv", "a_b.MKV", "aab.mkv", "c.txt", ".hidden.mkv", "noext",
                           "Split/part-002.mkv", "Split/part-001.mkv"})
    WriteFile(dir.path() / name, "x");
  // Folders named like the pattern are never listed, whatever their permissions.
  fs::create_directory(dir.path() / "dir.mkv");
  fs::create_directory(dir.path() / "locked.mkv");
  fs::permissions(dir.path() / "locked.mkv", fs::perms::owner_read);
  fs::create_directory_symlink(dir.path() / "dir.mkv", dir.path() / "link.mkv");
  fs::create_directories(dir.path() / "only-folders" / "sub");

  using Names = std::vector<std::string>;
  const Names all{".hidden.mkv", "A.mkv", "aab.mkv", "a_b.MKV", "b.mkv", "c.txt", "noext"};
  const Names none{""};  // no match gives one empty name
  const std::pair<std::string, Names> cases[] = {
      // Upper-cased comparison: "AAB" < "A_B" because 'A' < '_'.
      {"*.mkv", {".hidden.mkv", "A.mkv", "aab.mkv", "a_b.MKV", "b.mkv"}},
      {"?.MKV", {"A.mkv", "b.mkv"}},
      {"a*", {"A.mkv", "aab.mkv", "a_b.MKV"}},
      {"C.TXT", {"c.txt"}},
      // A pattern ending in the separator, or "*.*", lists every file.
      {"", all},
      {"*.*", all},
      {"*.avi", none},
      {"dir.mkv", none},
      {"missing/*.mkv", none},
      {"only-folders/", none},
      // The folder is found without regard to case.
      {"SPLIT/*.mkv", {"part-001.mkv", "part-002.mkv"}},
  };
  for (const auto& [mask, names] : cases)
    EXPECT_EQ(ListFiles(dir.str() + "/" + mask), names) << mask;
}

TEST_F(FileApiTest, DeleteFolderTreeRemovesEverythingInside) {
  fs::path top = dir.path() / "split";
  WriteFile(top / "part-001.mkv", "x");
  WriteFile(top / ".hidden", "x");
  WriteFile(top / "sub" / "deeper" / "readonly.srt", "x");
  fs::permissions(top / "sub" / "deeper" / "readonly.srt", fs::perms::owner_read);
  fs::permissions(top / "sub" / "deeper", fs::perms::owner_read | fs::perms::owner_exec);
  // A link to a folder elsewhere goes; the folder it points to keeps its files.
  WriteFile(dir.path() / "keep" / "precious.mkv", "x");
  fs::create_directory_symlink(dir.path() / "keep", top / "link");

  DeleteFolderTree(top.string());
  EXPECT_FALSE(fs::exists(top));
  EXPECT_TRUE(fs::exists(dir.path() / "keep" / "precious.mkv"));
}

TEST_F(FileApiTest, DeleteFolderTreeThrowsOnTheFirstFailure) {
  EXPECT_THROW(DeleteFolderTree((dir.path() / "missing").string()), fs::filesystem_error);
}

TEST_F(FileApiTest, ResolvesPathsWithoutRegardToCase) {
  fs::create_directories(dir.path() / "FFMpeg");
  WriteFile(dir.path() / "FFMpeg" / "FFmpeg.exe", "x");
  const std::string base = dir.str();
  struct Case {
    std::string asked, found;
  };
  for (const Case& c : {
           Case{base + "/FFMpeg/FFmpeg.exe", base + "/FFMpeg/FFmpeg.exe"},
           Case{base + "/ffmpeg/ffmpeg.exe", base + "/FFMpeg/FFmpeg.exe"},
           Case{base + "/ffmpeg/", base + "/FFMpeg/"},
           Case{base + "/ffmpeg/faad.exe", base + "/ffmpeg/faad.exe"},  // no such file
           Case{"", ""},
       })
    EXPECT_EQ(ResolvePathNoCase(c.asked), c.found) << c.asked;

  // Relative paths are resolved from the current folder.
  fs::path before = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_EQ(ResolvePathNoCase("ffmpeg/FFMPEG.EXE"), "FFMpeg/FFmpeg.exe");
  EXPECT_EQ(ResolvePathNoCase("./ffmpeg/x.exe"), "./ffmpeg/x.exe");
  fs::current_path(before);
}

TEST_F(FileApiTest, ProgramFolderIsTheFolderOfTheRunningExecutable) {
  EXPECT_EQ(fs::path(ProgramFolderOfExecutable()),
            fs::canonical(fs::path(QUILLET_BINARY_DIR) / "tests"));
}

}  // namespace
}  // namespace quillet::test
