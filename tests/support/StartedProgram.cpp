#include "tests/support/StartedProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/TestApp.h"

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// "pid (name) S ppid pgrp ...": the fields after the name's closing parenthesis.
std::vector<std::string> StatFields(const fs::path& statFile) {
  const std::string stat = ReadFile(statFile);  // "" when there is no such process
  std::vector<std::string> fields;
  if (const size_t close = stat.rfind(')'); close != std::string::npos) {
    std::istringstream rest(stat.substr(close + 1));
    for (std::string field; rest >> field;) fields.push_back(field);
  }
  return fields;
}

// The running processes whose stat field `index` (1 parent, 2 group) is `value`.
std::vector<pid_t> ProcessesWith(size_t index, pid_t value) {
  std::vector<pid_t> found;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::vector<std::string> fields = StatFields(entry.path() / "stat");
    if (fields.size() > index && fields[index] == std::to_string(value) && fields[0] != "Z")
      found.push_back(std::stoi(name));
  }
  return found;
}

}  // namespace

StartedProgram::StartedProgram(const std::vector<std::string>& argv, const std::string& workFolder,
                               const std::vector<std::string>& environment) {
  std::vector<std::string> settings = environment;  // putenv keeps the text it is given
  errFile_ = (fs::temp_directory_path() / ("quillet-started-" + std::to_string(getpid()) + "-" +
                                           std::to_string(Clock::now().time_since_epoch().count())))
                 .string();
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  if ((pid_ = fork()) != 0) return;
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  for (std::string& setting : settings) putenv(setting.data());
  // Nothing of ours is inherited: a process it leaves behind must not hold the test's
  // output open.
  const int in = open("/dev/null", O_RDWR);
  const int err = open(errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || err < 0 || dup2(in, 0) < 0 || dup2(in, 1) < 0 || dup2(err, 2) < 0 ||
      chdir(workFolder.c_str()) != 0)
    _exit(126);
  execv(args[0], args.data());
  _exit(127);
}

StartedProgram::~StartedProgram() {
  Wait(0);
  std::error_code ec;
  fs::remove(errFile_, ec);
}

void StartedProgram::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

int StartedProgram::Wait(int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  for (int status = 0; pid_ > 0; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
    if (Clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  return -1;
}

std::string StartedProgram::Err() const {
  return ReadFile(errFile_);
}

bool ProcessRuns(pid_t pid) {
  const std::vector<std::string> fields =
      StatFields(fs::path("/proc") / std::to_string(pid) / "stat");
  return !fields.empty() && fields[0] != "Z" && fields[0] != "X";
}

std::vector<pid_t> GroupMembers(pid_t group) {
  return ProcessesWith(2, group);
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
  return ProcessesWith(1, parent);
}

std::string AwaitFile(const std::string& path, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  std::string text;
  while ((text = ReadFile(path)).empty() || text.back() != '\n') {
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return text;
}

}  // namespace quillet::test
