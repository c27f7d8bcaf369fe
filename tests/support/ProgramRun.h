#pragma once
// Runs a program from a shell command line as a script or CI job starts it: standard input
// empty, standard output dropped, standard error kept for the test to read.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/TestApp.h"

namespace quillet::test {

// What a run left: its exit status (-1 when it did not exit) and its standard error.
struct ProgramRun {
  int status = -1;
  std::string err;
};

// The text as one shell word, whatever it holds (blanks, quotes, line breaks).
inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs `command` with /bin/sh. A run that `timeout` ended (status 124) fails the test.
inline ProgramRun RunShell(const std::string& command) {
  TempFolder folder("quillet-run");
  const std::string errFile = (folder.path() / "stderr.txt").string();
  const int status = std::system(
      ("(" + command + ") 2>" + ShellQuoted(errFile) + " </dev/null >/dev/null").c_str());
  const ProgramRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(errFile)};
  if (run.status == 124) ADD_FAILURE() << "did not end in time: " << command << "\n" << run.err;
  return run;
}

}  // namespace quillet::test
