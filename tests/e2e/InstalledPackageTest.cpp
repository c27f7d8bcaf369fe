// The Debian package made from this build tree by cpack: what it holds, what Debian's
// checkers say of it, and the program it installs run by an ordinary user.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"

#ifndef QUILLET_PACKAGE_IN_BUILD
#define QUILLET_PROJECT_VERSION ""  // the tests skip
#endif

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class InstalledPackage : public ::testing::Test {
 protected:
  // One package for both tests, made without building or configuring anything.
  static void SetUpTestSuite() {
    work_ = std::make_unique<TempFolder>("quillet-package");
    root_ = work_->path() / "root";
    arch_ = Trim(Quiet({"dpkg", "--print-architecture"}).out);
    deb_ = work_->path() / ("quillet_" QUILLET_PROJECT_VERSION "_" + arch_ + ".deb");
#ifdef QUILLET_PACKAGE_IN_BUILD
    const toolkit::ToolResult r =
        Quiet({"cpack", "-G", "DEB", "--config", QUILLET_BINARY_DIR "/CPackConfig.cmake", "-B",
               work_->str()});
    ASSERT_TRUE(r.Ok() && fs::exists(deb_)) << r.out << r.err;
    ASSERT_TRUE(Made({"dpkg", "-x", deb_, root_}));
#endif
  }
  static void TearDownTestSuite() {
    Quiet({"chmod", "-R", "u+w", work_->str()});  // a user's run left it read-only
    work_.reset();
  }
  void SetUp() override {
#ifndef QUILLET_PACKAGE_IN_BUILD
    GTEST_SKIP() << "this build makes no package (no window, or help2man or rsvg-convert missing)";
#endif
    if (!fs::exists(deb_)) GTEST_FAIL() << "cpack made no package";
  }

  static inline std::unique_ptr<TempFolder> work_;
  static inline fs::path root_, deb_;
  static inline std::string arch_;
};

// What the completion offers for the line typed, whose last word is the one completed.
std::string Completed(const std::string& script, const std::string& line) {
  const Args words = Split(line, ' ');
  std::string array;
  for (const std::string& word : words) array += " " + ShellQuoted(word);
  const std::string run = "source " + ShellQuoted(script) + "; COMP_WORDS=(" + array +
                          "); COMP_CWORD=" + std::to_string(words.size() - 1) +
                          "; _quillet; printf '%s\\n' \"${COMPREPLY[@]}\" | sort";
  return Join(Split(Trim(Quiet({"bash", "-c", run}).out), '\n'), " ");
}

TEST_F(InstalledPackage, HoldsTheProgramFolderAndItsDesktopFilesAndPassesDebiansCheckers) {
  const std::string control =
      Quiet({"dpkg-deb", "-f", deb_, "Package", "Version", "Architecture", "Depends"}).out;
  for (const std::string& part :
       Args{"Package: quillet\n", "Version: " QUILLET_PROJECT_VERSION "\n",
            "Architecture: " + arch_ + "\n", "mkvtoolnix", "ffmpeg", "mencoder", "mediainfo",
            "gstreamer1.0-libav", "libqt6gui6"})
    EXPECT_TRUE(Holds(control, part));

  // The links: the program on the PATH, every slot to the toolkit, the font under /usr.
  const fs::path lib = root_ / "usr/lib/quillet";
  EXPECT_EQ(fs::read_symlink(root_ / "usr/bin/quillet"), "../lib/quillet/quillet");
  EXPECT_EQ(fs::canonical(root_ / "usr/bin/quillet"), lib / "quillet");
  const Args slots = Split(Trim(Quiet({lib / "quillet-toolkit", "--slots"}).out), '\n');
  EXPECT_GT(slots.size(), 15u);
  for (const std::string& slot : slots)
    EXPECT_EQ(fs::canonical(lib / slot), lib / "quillet-toolkit") << slot;
  EXPECT_EQ((lib / "Mencoder" / fs::read_symlink(lib / "Mencoder/font.ttf")).lexically_normal(),
            root_ / "usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  Args files = {"lib/quillet/avimux/quillet.amg",
                "lib/quillet/quillet.installed",
                "share/icons/hicolor/scalable/apps/quillet.svg",
                "share/doc/quillet/README.md",
                "share/doc/quillet/copyright",
                "share/doc/quillet/changelog.gz"};
  for (int size : {16, 32, 48, 64, 128, 256})
    files.push_back(Format("share/icons/hicolor/%dx%d/apps/quillet.png", size, size));
  for (const std::string& file : files) EXPECT_TRUE(fs::is_regular_file(root_ / "usr" / file));
  const std::string man = Quiet({"zcat", root_ / "usr/share/man/man1/quillet.1.gz"}).out;
  for (const std::string part : {".SH SYNOPSIS", "avi\\-folder", ".SH \"EXIT STATUS\"",
                                 "2 for a wrong argument", ".SH FILES", "Quillet.conf"})
    EXPECT_TRUE(Holds(man, part));

  for (const Args& checker :
       {Args{"desktop-file-validate", root_ / "usr/share/applications/quillet.desktop"},
        Args{"appstreamcli", "validate", "--no-net",
             root_ / "usr/share/metainfo/io.github.quillet.quillet.metainfo.xml"},
        Args{"lintian", "--fail-on", "error", deb_}}) {
    const toolkit::ToolResult r = Quiet(checker);
    EXPECT_TRUE(r.Ok() && r.out.find("E: ") == std::string::npos) << r.out << r.err;
  }

  // The completion: options, their values, folders or files.
  const std::string t = (work_->path() / "typed").string();
  fs::create_directories(t + "/sub");
  WriteFile(t + "/subs.srt", "");
  const std::vector<std::pair<std::string, std::string>> completions = {
      {"quillet --tar", "--target"},
      {"quillet --target x", "xbox360"},
      {"quillet --recode h264", "h264 h264hq"},
      {"quillet --check --player b", "bluray"},
      {"quillet --check --j", "--json"},
      {"quillet --output " + t + "/s", t + "/sub"},
      {"quillet --subs " + t + "/s", t + "/sub " + t + "/subs.srt"},
  };
  for (const auto& [line, expected] : completions)
    EXPECT_EQ(Completed(root_ / "usr/share/bash-completion/completions/quillet", line), expected)
        << line;
}

// A user runs the installed program without a display: it converts, keeps its settings and
// logs in the XDG folders of the home, and leaves the installed files as they were.
TEST_F(InstalledPackage, ConvertsAsAUserAndWritesOnlyIntoTheHome) {
  const fs::path user = work_->path() / "user", home = user / "home", out = user / "out",
                 film = user / "film.mkv";
  for (const fs::path& folder : {home, out}) fs::create_directories(folder);
  // Level 5.1: the transport stream road has the header tool rewrite it.
  fs::copy_file(TestFilm("package.mkv", "320x240", 3,
                         "-c:v libx264 -preset veryfast -profile:v high -level 5.1 -c:a ac3"),
                film);
  Args as;  // root runs it as nobody; another user cannot write the scratch root
  if (geteuid() == 0) {
    ASSERT_TRUE(Made({"chown", "-R", "nobody:nogroup", user}));
    as = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  } else {
    ASSERT_TRUE(Made({"chmod", "-R", "a-w", root_}));
  }
  for (const std::string& word : Args{"env", "-i", "-C", user, "PATH=/usr/bin:/bin",
                                      "HOME=" + home.string(), root_ / "usr/bin/quillet"})
    as.push_back(word);
  auto quillet = [&](Args args) {
    args.insert(args.begin(), as.begin(), as.end());
    return Quiet(args);
  };
  // Each path under the scratch root with its mode, size, time and link target.
  auto listing = [] { return Quiet({"find", root_, "-printf", "%p %M %s %T@ %l\n"}).out; };
  const std::string before = listing();

  EXPECT_EQ(quillet({"--version"}).out, "quillet " QUILLET_PROJECT_VERSION "\n");
  const toolkit::ToolResult check = quillet({"--check", film});
  EXPECT_EQ(check.exitCode, 1) << "an MKV needs work on every player";
  EXPECT_TRUE(Holds(check.out, "PS3: needs the level patch only: MP4"));
  // The roads whose tools keep files beside themselves: the header tool's ini, the
  // encoder's pass log.
  const struct {
    Args options;
    const char* result;
    const char* facts;
  } roads[] = {
      {{"--m2ts"}, "film.mpg", "video.codec_name=h264 video.level=41 audio.codec_name=ac3"},
      {{"--recode", "h264hq"}, "film.mp4", "video.codec_name=h264 audio.codec_name=aac"},
  };
  for (const auto& road : roads) {
    Args args = {"--target", "ps3", "--output", out};
    args.insert(args.begin(), road.options.begin(), road.options.end());
    args.push_back(film);
    const toolkit::ToolResult run = quillet(args);
    ASSERT_TRUE(run.Ok()) << road.result << ": " << run.out << run.err;
    const std::string result = (out / road.result).string();
    ExpectFacts(result, road.facts);
    ExpectLength(result, 3, 0.25);
  }

  // A plain conversion writes the settings file (before it converts).
  for (const std::string file : {".config/quillet/Quillet.conf", ".local/state/quillet/debug.log",
                                 ".local/state/quillet/tools.log"})
    EXPECT_TRUE(fs::is_regular_file(home / file)) << file;
  EXPECT_EQ(listing(), before);
}

}  // namespace
}  // namespace quillet::test
