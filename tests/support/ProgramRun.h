#pragma once
// Runs a program from a shell command line as a script or CI job starts it: standard input
// empty, standard output dropped, standard error kept for the test to read.

#include <string>

namespace quillet::test {

// What a run left: its exit status (-1 when it did not exit) and its standard error.
struct ProgramRun {
  int status = -1;
  std::string err;
};

// The text as one shell word, whatever it holds (blanks, quotes, line breaks).
std::string ShellQuoted(const std::string& text);
// Runs `command` with /bin/sh. A run that `timeout` ended (status 124) fails the test.
ProgramRun RunShell(const std::string& command);

}  // namespace quillet::test
