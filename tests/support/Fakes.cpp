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

// The next scripted answer, or `none` when the script has run out.
template <typename T>
T Next(std::deque<T>& answers, T none) {
  if (answers.empty()) return none;
  T answer = answers.front();
  answers.pop_front();
  return answer;
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

int FakeToolRunner::RunTool(const std::string& commandLine, ToolPriority priority) {
  calls.push_back({CallKind::Run, commandLine, priority});
  return Dispatch(commandLine, nullptr);
}

void FakeToolRunner::RunToolHidden(const std::string& commandLine, ToolPriority priority) {
  calls.push_back({CallKind::RunHidden, commandLine, priority});
  Dispatch(commandLine, nullptr);
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

std::vector<std::string> FakeToolRunner::CommandLines() const {
  std::vector<std::string> lines;
  for (const ToolCall& call : calls) lines.push_back(call.commandLine);
  return lines;
}

int FakeUi::MsgBox(const std::string& text, int style, const std::string& title) {
  boxes.push_back({text, style, title});
  return Next(boxAnswers, (style & 7) == MsgStyle::kYesNo ? MsgResult::kYes : MsgResult::kOk);
}

std::string FakeUi::OpenFile(const OpenFileRequest& request) {
  openFileRequests.push_back(request);
  return Next(openFileAnswers, std::string());
}

std::string FakeUi::BrowseForFolder(const std::string& prompt) {
  folderPrompts.push_back(prompt);
  return Next(folderAnswers, std::string());
}

std::unique_ptr<AudioGraph> FakeMediaGraph::RunWmaToWavGraph(const std::string& source,
                                                             const std::string& wavPath,
                                                             std::string* missing) {
  graphSources.push_back(source);
  if (!missingFilter.empty()) {
    if (missing) *missing = missingFilter;
    return nullptr;
  }
  if (makeGraph) return makeGraph(wavPath);
  WriteFile(wavPath, wav);
  return std::make_unique<FinishedGraph>();
}

bool FakeMediaGraph::HasRegisteredFilter(const std::string& name) {
  return std::find(registeredFilters.begin(), registeredFilters.end(), name) !=
         registeredFilters.end();
}

}  // namespace quillet::test
