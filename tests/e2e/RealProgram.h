#pragma once
// The built quillet program in a program folder of its own: a copy of the build's folder
// whose tool slots still lead to the copied toolkit, a settings file written the way the
// program writes it, and runs without a display, as a script or CI job starts them.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"
#include "tests/support/TestApp.h"

namespace quillet::test {

// The options of one conversion, as the settings file carries them.
struct ConversionSettings {
  std::string outputFolder;  // ends in "/"
  std::string sourceFolder;  // ends in "/"
  int platform = 0;          // 0 "PS3 (5.1)", 1 "Xbox 360", 2 "PS3  (2.0)"
  bool recode = false;       // chkMP2: re-encode the video
  int recodeFormat = 1;      // -1 none chosen, 0 "MPEG2", 1 "H264", 2 "Xvid", 3 "H264 (HQ)"
};

class RealProgram {
 public:
  static std::filesystem::path BuiltFolder() { return QUILLET_PROGRAM_DIR; }
  static bool Built() {
    return std::filesystem::exists(BuiltFolder() / "quillet") &&
           std::filesystem::exists(BuiltFolder() / "quillet-toolkit");
  }

  // Copies the program, the toolkit and the slot folders; links are copied as links, so a
  // slot's "../quillet-toolkit" is the copy's toolkit.
  explicit RealProgram(std::filesystem::path folder) : folder_(std::move(folder)) {
    namespace fs = std::filesystem;
    fs::create_directories(folder_);
    for (const fs::directory_entry& entry : fs::directory_iterator(BuiltFolder())) {
      const std::string name = entry.path().filename().string();
      if ((entry.is_directory() && !entry.is_symlink()) || name == "quillet" ||
          name == "quillet-toolkit")
        fs::copy(entry.path(), folder_ / name,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
  }

  const std::filesystem::path& folder() const { return folder_; }

  // The 15 lines of "Quillet.conf", CR LF ended: tool paths (set anew from the program
  // folder), txtTMP, chkVob, Check1, strMKVPath, cmdConv, strSubOpts, cmbPlatform,
  // chkAVCHD, chkMP2, cmbPrio, chkNorm; numbers printed as " 1 " and "-1 ".
  void WriteSettings(const ConversionSettings& s) const {
    auto number = [](int value) {
      return (value < 0 ? "-" : " ") + std::to_string(value < 0 ? -value : value) + " ";
    };
    // clang-format off
    const std::vector<std::string> lines = {"", "", "", s.outputFolder, number(0), number(0),
        s.sourceFolder, "", number(s.recodeFormat), "", number(s.platform), number(0),
        number(s.recode ? 1 : 0), number(0), number(0)};
    // clang-format on
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    WriteFile(folder_ / "Quillet.conf", text);
  }

  // Runs "quillet ARGS" without a display from `startFolder` and waits for it (at most
  // five minutes). `env` ("NAME=value ...") joins its environment; its standard output
  // goes to the file `out`.
  ProgramRun Run(const std::vector<std::string>& args, const std::string& startFolder,
                 const std::string& env = "", const std::string& out = "/dev/null") const {
    std::string command = "cd " + ShellQuoted(startFolder) + " && env -u DISPLAY -u " +
                          "WAYLAND_DISPLAY " + env + " timeout -k 10 300 " +
                          ShellQuoted((folder_ / "quillet").string());
    for (const std::string& arg : args) command += " " + ShellQuoted(arg);
    return RunShell(command + " >" + ShellQuoted(out));
  }

 private:
  std::filesystem::path folder_;
};

// For a test's SetUp: skips where this build makes no program (the window is switched
// off), fails where the program folder was not built. Either way the test body is not run.
inline void RequireBuiltProgram() {
#ifndef QUILLET_PROGRAM_IN_BUILD
  GTEST_SKIP() << "this build makes no quillet program (the window is switched off)";
#endif
  if (!RealProgram::Built())
    GTEST_FAIL() << "the program folder is not built: " << RealProgram::BuiltFolder();
}

// A test with the built program copied into its work folder, started from an empty
// folder of its own and converting into "out folder".
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RequireBuiltProgram();
    std::filesystem::create_directories(output);
    std::filesystem::create_directories(start);
    program.WriteSettings({output.string() + "/", work.str() + "/"});
  }
  ProgramRun Run(const std::vector<std::string>& args) const {
    return program.Run(args, start.string());
  }
  std::string Out(const std::string& name) const { return (output / name).string(); }

  TempFolder work{"quillet-e2e"};
  std::filesystem::path output = work.path() / "out folder", start = work.path() / "started here";
  RealProgram program{work.path() / "program"};
};

}  // namespace quillet::test
