#pragma once
// An App wired to fakes, with its own temporary program folder and output folder that
// are removed again when the test ends; whole-file helpers for tests.

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/App.h"
#include "tests/support/Fakes.h"

namespace quillet::test {

// A fresh, empty temporary folder, removed with everything in it on destruction.
class TempFolder {
 public:
  explicit TempFolder(const std::string& stem = "quillet-test") {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(rd()));
      if (std::filesystem::create_directory(path_)) return;
    }
    throw std::runtime_error("cannot create a temporary folder");
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  // The folder text with a trailing separator, as the output folder is kept.
  std::string withSep() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The lines of a text whose every line ends in CR LF; a last line without one comes back
// marked "<no CR LF>", and a line end without its CR stays inside its line.
inline std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 2) {
    end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// The words of a text split at single blanks: an argument list written as one line.
inline std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; std::getline(in, word, ' ');) words.push_back(word);
  return words;
}

struct TestApp {
  TestApp() : ctx{programDir.str(), runner, ui, power, components, media}, app(ctx) {
    app.form.txtTMP.Text = outputDir.withSep();
  }
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
  std::vector<std::string> DebugLogLines() const {
    return CrLfLines(ReadFile(programDir.path() / "debug.log"));
  }
};

}  // namespace quillet::test
