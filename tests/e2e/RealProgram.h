#pragma once
// The built quillet program in a program folder of its own, run without a display as a
// script or CI job starts it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/JsonFields.h"
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

  // Copies the program, the toolkit and the slots; a slot's link to "../quillet-toolkit"
  // leads to the copy's toolkit.
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

  // The 15 lines of "Quillet.conf" as the program writes them.
  void WriteSettings(const ConversionSettings& s) const {
    auto n = [](int v) { return (v < 0 ? "-" : " ") + std::to_string(std::abs(v)) + " "; };
    std::string text;
    for (const std::string& line : std::vector<std::string>{
             "", "", "", s.outputFolder, n(0), n(0), s.sourceFolder, "", n(s.recodeFormat), "",
             n(s.platform), n(0), n(s.recode), n(0), n(0)})
      text += line + "\r\n";
    WriteFile(folder_ / "Quillet.conf", text);
  }

  // Runs "quillet ARGS" from `startFolder` for at most `seconds`, with `env`
  // ("NAME=value ...") in its environment and its standard output into the file `out`.
  ProgramRun Run(const std::vector<std::string>& args, const std::string& startFolder,
                 const std::string& env = "", const std::string& out = "/dev/null",
                 int seconds = 300) const {
    std::string command = "cd " + ShellQuoted(startFolder) + " && env -u DISPLAY -u " +
                          "WAYLAND_DISPLAY " + env + " timeout -k 10 " + std::to_string(seconds) +
                          " " + ShellQuoted((folder_ / "quillet").string());
    for (const std::string& arg : args) command += " " + ShellQuoted(arg);
    return RunShell(command + " >" + ShellQuoted(out));
  }

 private:
  std::filesystem::path folder_;
};

// For a test's SetUp: skips where this build makes no program (the window is switched
// off), fails where the program folder was not built.
inline void RequireBuiltProgram() {
#ifndef QUILLET_PROGRAM_IN_BUILD
  GTEST_SKIP() << "this build makes no quillet program (the window is switched off)";
#endif
  for (const char* name : {"quillet", "quillet-toolkit"})
    if (!std::filesystem::exists(RealProgram::BuiltFolder() / name))
      GTEST_FAIL() << name << " is not built in " << RealProgram::BuiltFolder();
}

// The built program copied into the test's work folder, started from an empty folder and
// converting into "out folder".
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

  // The verdict "quillet --check" gives the film on one player, and the rules of the
  // format it names as broken.
  std::string Verdict(const std::string& film, const std::string& player,
                      std::set<std::string>* broken = nullptr) const {
    const std::string json = (work.path() / "check.json").string();
    const ProgramRun run =
        program.Run({"--check", "--json", "--player", player, film}, start.string(), "", json);
    const auto doc = quillet::ParseJson(ReadFile(json), nullptr);
    if (!doc || doc->at("files").empty()) return run.err;
    const auto& verdict = doc->at("files").at(0).at("verdicts").at(0);
    for (const auto& reason : verdict.at("reasons"))
      if (broken && reason.value("limit", "") == "structure")
        broken->insert(reason.value("value", ""));
    return verdict.value("verdict", "");
  }

  TempFolder work{"quillet-e2e"};
  std::filesystem::path output = work.path() / "out folder", start = work.path() / "started here";
  RealProgram program{work.path() / "program"};
};

}  // namespace quillet::test
