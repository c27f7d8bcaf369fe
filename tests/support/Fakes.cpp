#include "tests/support/Fakes.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "tests/support/TestApp.h"
#include "tools/CommandLine.h"

namespace quillet::test {
namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
  return suffix.size() <= text.size() &&
         std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

// A graph that wrote its whole file before it was first asked.
class FinishedGraph : public AudioGraph {
 public:
  State Poll(std::string*) override { return State::kEnded; }
  void Stop() override {}
};

}  // namespace

int FakeToolRunner::Dispatch(const std::string& commandLine, std::string* output) {
  const std::vector<std::string> argv = SplitCommandLine(commandLine);
  for (auto rule = rules_.rbegin(); !argv.empty() && rule != rules_.rend(); ++rule) {
    if (!EndsWithNoCase(argv[0], rule->suffix)) continue;
    std::string printed = rule->action(argv);
    if (output) *output = printed;
    return rule->exitCode;
  }
  return -1;
}

std::string FakeToolRunner::GetCommandOutput(const std::string& commandLine, bool captureStdout,
                                             bool captureStderr, bool) {
  if (!captureStdout && !captureStderr)
    throw std::invalid_argument("GetCommandOutput: no stream to capture");
  calls.push_back({CallKind::Capture, commandLine, ToolPriority::Low});
  std::string output;
  if (Dispatch(commandLine, &output) == -1 && output.empty()) return kCreateProcessFailed;
  return output;
}

int FakeUi::MsgBox(const std::string& text, int style, const std::string& title) {
  boxes.push_back({text, style, title});
  if (boxAnswers.empty()) return (style & 7) == MsgStyle::kYesNo ? MsgResult::kYes : MsgResult::kOk;
  return Next(boxAnswers);
}

std::unique_ptr<AudioGraph> FakeMediaGraph::RunWmaToWavGraph(const std::string&,
                                                             const std::string& wavPath,
                                                             std::string* missing) {
  if (!missingFilter.empty()) {
    if (missing) *missing = missingFilter;
    return nullptr;
  }
  if (makeGraph) return makeGraph(wavPath);
  WriteFile(wavPath, wav);
  return std::make_unique<FinishedGraph>();
}

}  // namespace quillet::test
