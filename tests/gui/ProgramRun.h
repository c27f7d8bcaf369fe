#pragma once
// Runs the built quillet program from a copy in a temporary program folder, so the
// settings file and logs it may write stay out of the build tree.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/TestApp.h"

namespace quillet::test {

inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct ProgramRun {
  int exitStatus = -1;
  std::string stderrText;
};

// Copies the program into `folder` and runs `prefix quillet args` with `environment`
// ("NAME=value ..." or "-u NAME ...", as env takes them) from a shell.
inline ProgramRun RunProgramCopy(const TempFolder& folder, const std::string& environment,
                                 const std::string& prefix, const std::string& args) {
  const std::filesystem::path built = QUILLET_PROGRAM_DIR "/quillet";
  ProgramRun run;
  if (!std::filesystem::exists(built)) {
    ADD_FAILURE() << "build the quillet program first: " << built;
    return run;
  }
  const auto copy = folder.path() / "quillet";
  std::filesystem::copy_file(built, copy, std::filesystem::copy_options::overwrite_existing);
  const auto errFile = folder.path() / "stderr.txt";
  const std::string command = "cd " + ShellQuoted(folder.str()) + " && env " + environment +
                              " timeout 120 " + prefix + " ./quillet " + args + " 2>" +
                              ShellQuoted(errFile.string()) + " </dev/null >/dev/null";
  const int status = std::system(command.c_str());
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.stderrText = ReadFile(errFile);
  std::filesystem::remove(errFile);
  return run;
}

}  // namespace quillet::test
