#include "queue/QueueFile.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "app/ReplaceFile.h"

namespace quillet {
namespace {

constexpr const char* kFirstLine = "Quillet queue 1";

std::string Escaped(const std::string& value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::optional<std::string> Unescaped(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (++i == value.size()) return std::nullopt;
    switch (value[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

std::optional<int> Number(const std::string& text) {
  try {
    size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used == text.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// Takes one "key<TAB>value" line into the jobs; false when it makes no sense.
bool TakeLine(const std::string& key, const std::string& value, std::vector<Job>& jobs) {
  if (key == "job") {
    const std::optional<JobState> state = StateFromName(value);
    if (!state) return false;
    // The program ended while it ran: it has not run to its end.
    jobs.emplace_back().state = *state == JobState::kRunning ? JobState::kWaiting : *state;
    return true;
  }
  if (jobs.empty()) return false;
  Job& job = jobs.back();
  if (key == "source") {
    job.source = value;
  } else if (key == "option") {
    job.options.push_back(value);
  } else if (key == "reason") {
    job.reason = value;
  } else if (key == "chapters" || key == "subtitle-track") {
    const std::optional<int> number = Number(value);
    if (!number) return false;
    (key == "chapters" ? job.chapters : job.subtitleTrack) = *number;
  } else {
    return false;
  }
  return true;
}

// The jobs of the text, or the line that is wrong ("line 3").
std::optional<std::vector<Job>> ParseQueue(const std::string& text, std::string& wrong) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kFirstLine) {
    wrong = "its first line is not \"" + std::string(kFirstLine) + "\"";
    return std::nullopt;
  }
  std::vector<Job> jobs;
  for (int number = 2; std::getline(in, line); ++number) {
    const size_t tab = line.find('\t');
    const std::optional<std::string> value =
        tab == std::string::npos ? std::nullopt : Unescaped(line.substr(tab + 1));
    if (!value || !TakeLine(line.substr(0, tab), *value, jobs)) {
      wrong = "line " + std::to_string(number) + " cannot be read";
      return std::nullopt;
    }
  }
  for (const Job& job : jobs)
    if (job.source.empty()) {
      wrong = "a film has no source";
      return std::nullopt;
    }
  return jobs;
}

// A free name beside the damaged file for keeping it.
std::string AsidePath(const std::string& path) {
  std::error_code ec;
  std::string aside = path + ".damaged";
  for (int n = 2; std::filesystem::exists(aside, ec); ++n)
    aside = path + ".damaged-" + std::to_string(n);
  return aside;
}

}  // namespace

std::string QueueFilePath(const std::string& settingsFolder) {
  return (std::filesystem::path(settingsFolder) / kQueueFileName).string();
}

std::string QueueText(const std::vector<Job>& jobs) {
  std::string text = std::string(kFirstLine) + "\n";
  const auto line = [&text](const char* key, const std::string& value) {
    text += std::string(key) + "\t" + Escaped(value) + "\n";
  };
  for (const Job& job : jobs) {
    line("job", StateName(job.state));
    line("source", job.source);
    for (const std::string& option : job.options) line("option", option);
    line("chapters", std::to_string(job.chapters));
    line("subtitle-track", std::to_string(job.subtitleTrack));
    if (!job.reason.empty()) line("reason", job.reason);
  }
  return text;
}

bool SaveQueue(const std::string& path, const std::vector<Job>& jobs) {
  return ReplaceFileContents(path, QueueText(jobs));
}

LoadedQueue LoadQueue(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::string wrong;
  if (!in.bad()) {
    if (std::optional<std::vector<Job>> jobs = ParseQueue(text.str(), wrong))
      return {std::move(*jobs), ""};
  } else {
    wrong = "it cannot be read";
  }
  // Kept for the user to look at: the next save must not overwrite it.
  const std::string aside = AsidePath(path);
  std::filesystem::rename(path, aside, ec);
  return {{},
          "The queue file " + path + " is damaged (" + wrong + "); " +
              (ec ? "it was left as it is." : "it was kept as " + aside + ".")};
}

}  // namespace quillet
