#include "tests/support/ProgramRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/TestApp.h"

namespace quillet::test {

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

ProgramRun RunShell(const std::string& command) {
  TempFolder folder("quillet-run");
  const std::string errFile = (folder.path() / "stderr.txt").string();
  const int status = std::system(
      ("(" + command + ") 2>" + ShellQuoted(errFile) + " </dev/null >/dev/null").c_str());
  ProgramRun run;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = ReadFile(errFile);
  if (run.status == 124) ADD_FAILURE() << "did not end in time: " << command << "\n" << run.err;
  return run;
}

}  // namespace quillet::test
