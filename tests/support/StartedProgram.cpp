#include "tests/support/StartedProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <thread>
#include <utility>

namespace quillet::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The fields of /proc/PID/stat after the name (state, parent, group, ...); none when gone.
std::vector<std::string> StatFields(const std::string& pid) {
  const std::string stat = ReadFile(fs::path("/proc") / pid / "stat");
  std::istringstream rest(stat.substr(stat.rfind(')') + 1));
  return {std::istream_iterator<std::string>(rest), std::istream_iterator<std::string>()};
}

}  // namespace

StartedProgram::StartedProgram(const std::vector<std::string>& argv, const std::string& workFolder,
                               const std::vector<std::string>& environment) {
  const std::string errFile = (err_.path() / "stderr").string();
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  if ((pid_ = fork()) != 0) return;
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
  // Nothing of ours is inherited: a process left behind must not hold the test's output.
  const int in = open("/dev/null", O_RDWR);
  const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || err < 0 || dup2(in, 0) < 0 || dup2(in, 1) < 0 || dup2(err, 2) < 0 ||
      chdir(workFolder.c_str()) != 0)
    _exit(126);
  execv(args[0], args.data());
  _exit(127);
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
      waitpid(std::exchange(pid_, -1), nullptr, 0);
    }
  }
  return -1;
}

bool ProcessRuns(pid_t pid) {
  const std::vector<std::string> fields = StatFields(std::to_string(pid));
  return !fields.empty() && fields[0] != "Z" && fields[0] != "X";
}

std::vector<pid_t> ProcessesWith(size_t index, pid_t value) {
  std::vector<pid_t> found;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::vector<std::string> fields = StatFields(name);
    if (fields.size() > index && fields[index] == std::to_string(value) && fields[0] != "Z")
      found.push_back(std::stoi(name));
  }
  return found;
}

std::string AwaitFile(const std::string& path, int seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  std::string text;
  while (((text = ReadFile(path)).empty() || text.back() != '\n') && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return text;
}

}  // namespace quillet::test
