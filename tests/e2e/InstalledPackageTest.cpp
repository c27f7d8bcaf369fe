// The Debian package made from this build tree by cpack: what it holds, what Debian's
// checkers say of it, and the program it installs run by an ordinary user.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/MediaTools.h"
#include "tests/e2e/RealProgram.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

class InstalledPackage : public ::testing::Test {
 protected:
  // One package for both tests, made without building or configuring anything.
  static void SetUpTestSuite() {
    work_ = std::make_unique<TempFolder>("quillet-package");
#ifdef QUILLET_PACKAGE_IN_BUILD
    const fs::path made = work_->path() / "cpack";
    const toolkit::ToolResult r = Quiet(
        {"cpack", "-G", "DEB", "--config", QUILLET_BINARY_DIR "/CPackConfig.cmake", "-B", made});
    deb_ = made / ("quillet_" QUILLET_PROJECT_VERSION "_" + Arch() + ".deb");
    ASSERT_TRUE(r.Ok() && fs::exists(deb_)) << r.out << r.err;
    ASSERT_TRUE(Made({"dpkg", "-x", deb_, Root()}));
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
    if (deb_.empty() || !fs::exists(deb_)) GTEST_FAIL() << "cpack made no package";
  }

  static std::string Arch() {
    return Trim(Quiet({"dpkg", "--print-architecture"}).out);
  }
  static fs::path Root() {
    return work_->path() / "root";
  }
  static fs::path Installed(const std::string& path) {
    return Root() / path;
  }

  static std::unique_ptr<TempFolder> work_;
  static fs::path deb_;
};
std::unique_ptr<TempFolder> InstalledPackage::work_;
fs::path InstalledPackage::deb_;

// Each path under the scratch root with its kind, mode, size, time and link target.
std::string Listing(const fs::path& root) {
  std::string listing;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    struct stat s {};
    lstat(entry.path().c_str(), &s);
    listing += Format("%s %o %lld %lld.%09ld %s\n", entry.path().c_str(), s.st_mode,
                      static_cast<long long>(s.st_size), static_cast<long long>(s.st_mtim.tv_sec),
                      s.st_mtim.tv_nsec, entry.is_symlink() ? fs::read_symlink(entry).c_str() : "");
  }
  return listing;
}

// The width written in a PNG file's header.
int PngWidth(const fs::path& png) {
  const std::string bytes = ReadFile(png).substr(0, 24);
  if (bytes.size() < 24 || bytes.substr(1, 3) != "PNG") return -1;
  int width = 0;
  for (int i = 16; i < 20; ++i) width = width * 256 + static_cast<unsigned char>(bytes[i]);
  return width;
}

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
            "Architecture: " + Arch() + "\n", "mkvtoolnix", "ffmpeg", "mencoder", "faad",
            "normalize-audio", "soundstretch", "mediainfo", "fonts-dejavu-core",
            "gstreamer1.0-plugins-ugly", "gstreamer1.0-libav", "libqt6gui6"})
    EXPECT_TRUE(Holds(control, part));

  // The links: the program on the PATH, every slot to the toolkit, the font under /usr.
  const fs::path lib = Installed("usr/lib/quillet");
  EXPECT_EQ(fs::read_symlink(Installed("usr/bin/quillet")), "../lib/quillet/quillet");
  EXPECT_EQ(fs::canonical(Installed("usr/bin/quillet")), lib / "quillet");
  const Args slots = Split(Trim(Quiet({lib / "quillet-toolkit", "--slots"}).out), '\n');
  EXPECT_GT(slots.size(), 15u);
  for (const std::string& slot : slots)
    EXPECT_EQ(fs::canonical(lib / slot), lib / "quillet-toolkit") << slot;
  EXPECT_EQ((lib / "Mencoder" / fs::read_symlink(lib / "Mencoder/font.ttf")).lexically_normal(),
            Installed("usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
  for (const std::string file :
       {"usr/lib/quillet/avimux/quillet.amg", "usr/lib/quillet/quillet.installed",
        "usr/share/icons/hicolor/scalable/apps/quillet.svg", "usr/share/doc/quillet/README.md",
        "usr/share/doc/quillet/copyright", "usr/share/doc/quillet/changelog.gz"})
    EXPECT_TRUE(fs::is_regular_file(Installed(file))) << file;
  for (int size : {16, 32, 48, 64, 128, 256})
    EXPECT_EQ(
        PngWidth(Installed(Format("usr/share/icons/hicolor/%dx%d/apps/quillet.png", size, size))),
        size);
  const std::string man = Quiet({"zcat", Installed("usr/share/man/man1/quillet.1.gz")}).out;
  for (const std::string part : {".SH SYNOPSIS", "avi\\-folder", ".SH \"EXIT STATUS\"",
                                 "2 for a wrong argument", ".SH FILES", "Quillet.conf"})
    EXPECT_TRUE(Holds(man, part));

  for (const Args& checker :
       {Args{"desktop-file-validate", Installed("usr/share/applications/quillet.desktop")},
        Args{"appstreamcli", "validate", "--no-net",
             Installed("usr/share/metainfo/io.github.quillet.quillet.metainfo.xml")},
        Args{"lintian", "--fail-on", "error", deb_}}) {
    const toolkit::ToolResult r = Quiet(checker);
    EXPECT_TRUE(r.Ok() && r.out.find("E: ") == std::string::npos) << r.out << r.err;
  }

  // The completion: options, their values, folders or files.
  const fs::path typed = work_->path() / "typed";
  fs::create_directories(typed / "sub");
  WriteFile(typed / "subs.srt", "");
  const std::string t = typed.string();
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
    EXPECT_EQ(Completed(Installed("usr/share/bash-completion/completions/quillet"), line), expected)
        << line;
}

// A user runs the installed program without a display: it converts, keeps its settings and
// logs in the XDG folders of the home, and leaves the installed files as they were.
TEST_F(InstalledPackage, ConvertsAsAUserAndWritesOnlyIntoTheHome) {
  const fs::path user = work_->path() / "user", home = user / "home", out = user / "out";
  fs::create_directories(home);
  fs::create_directories(out);
  const fs::path film = user / "film.mkv";
  fs::copy_file(TestFilm("package.mkv", "320x240", 3, "-c:v libx264 -preset veryfast -c:a ac3"),
                film);
  Args as;  // root runs it as nobody; another user cannot write the scratch root
  if (geteuid() == 0) {
    ASSERT_TRUE(Made({"chown", "-R", "nobody:nogroup", user}));
    as = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  } else {
    ASSERT_TRUE(Made({"chmod", "-R", "a-w", Root()}));
  }
  for (const std::string& word : Args{"env", "-i", "-C", user, "PATH=/usr/bin:/bin",
                                      "HOME=" + home.string(), Installed("usr/bin/quillet")})
    as.push_back(word);
  auto quillet = [&](const Args& args) {
    Args argv = as;
    argv.insert(argv.end(), args.begin(), args.end());
    return Quiet(argv);
  };
  const std::string before = Listing(Root());

  EXPECT_EQ(quillet({"--version"}).out, "quillet " QUILLET_PROJECT_VERSION "\n");
  const toolkit::ToolResult check = quillet({"--check", film});
  EXPECT_EQ(check.exitCode, 1) << "an MKV needs work on every player";
  EXPECT_TRUE(Holds(check.out, "PS3: needs a remux: MP4"));
  const toolkit::ToolResult run = quillet({"--target", "ps3", "--output", out, film});
  ASSERT_TRUE(run.Ok()) << run.err;
  const std::string mp4 = (out / "film.mp4").string();
  EXPECT_EQ(Probe(mp4, "v:0", "codec_name"), "h264");
  EXPECT_EQ(Probe(mp4, "a:0", "codec_name"), "aac");
  ExpectLength(mp4, 3, 0.25);

  // A plain conversion writes the settings file (before it converts).
  for (const std::string file : {".config/quillet/Quillet.conf", ".local/state/quillet/debug.log",
                                 ".local/state/quillet/tools.log"})
    EXPECT_TRUE(fs::is_regular_file(home / file)) << file;
  EXPECT_EQ(Listing(Root()), before);
}

}  // namespace
}  // namespace quillet::test
