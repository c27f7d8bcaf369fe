#pragma once
// An App wired to fakes, with its own temporary program folder and output folder that
// are removed again when the test ends.

#include <filesystem>
#include <string>
#include <vector>

#include "app/App.h"
#include "tests/support/Fakes.h"

namespace quillet::test {

// A fresh, empty temporary folder, removed with everything in it on destruction.
class TempFolder {
 public:
  explicit TempFolder(const std::string& stem = "quillet-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // The folder text with a trailing separator, as the output folder is kept.
  std::string withSep() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

struct TestApp {
  TestApp();

  TempFolder programDir{"quillet-program"};
  TempFolder outputDir{"quillet-output"};
  FakeToolRunner runner;
  FakeUi ui;
  FakePower power;
  FakeComponents components;
  FakeMediaGraph media;
  Context ctx;
  App app;

  Form1& form() { return app.form; }
  // The debug log of the program folder, line by line (see CrLfLines).
  std::vector<std::string> DebugLogLines() const;
};

// Whole-file helpers for tests.
void WriteFile(const std::filesystem::path& path, const std::string& content);
std::string ReadFile(const std::filesystem::path& path);

// The lines of a text whose every line ends in CR LF; a last line without one comes back
// marked "<no CR LF>", and a line end without its CR stays inside its line.
std::vector<std::string> CrLfLines(const std::string& text);

// The words of a text split at single blanks: an argument list written as one line.
std::vector<std::string> Words(const std::string& text);

}  // namespace quillet::test
