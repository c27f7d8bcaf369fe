#include "toolkit/AviMuxScript.h"

#include <set>

#include "base/Text.h"

namespace quillet::toolkit {
namespace {

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// The text after the first word, blanks around it dropped (a path may hold blanks).
std::string AfterFirstWord(const std::string& line) {
  std::string text = Trim(line);
  size_t blank = text.find_first_of(" \t");
  return blank == std::string::npos ? "" : Trim(text.substr(blank));
}

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// Options of the muxer that take a 0/1 switch and change nothing here: ffmpeg's AVI
// writer always writes the legacy index of the first 1 GB, OpenDML indexes beyond it
// and no rec lists, and nothing here shows a dialog.
bool IsSwitchOption(const std::string& name) {
  static const std::set<std::string> names = {"OPENDML", "LEGACY",    "RECLISTS", "OVERWRITEDLG",
                                              "DONEDLG", "CLOSEAPP",  "LOGFILE",  "UNBUFFERED",
                                              "THREAD",  "OVERLAPPED"};
  return names.count(name) > 0;
}

}  // namespace

std::string ScriptPath(const std::string& written, const std::string& scriptFolder) {
  std::string path = Trim(written);
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
    path = path.substr(1, path.size() - 2);
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!path.empty() && path[0] != '/' && !scriptFolder.empty()) path = scriptFolder + "/" + path;
  return path;
}

AviMuxScript::AviMuxScript(AviMuxProbeFn probe, AviMuxPathFn path)
    : probe_(std::move(probe)), path_(std::move(path)) {}

bool AviMuxScript::RunLine(const std::string& rawLine, std::string* error) {
  if (ended_) return true;
  std::string line = Trim(rawLine);
  std::vector<std::string> own = Words(line);
  if (own.empty()) return true;
  std::string first = Upper(own[0]);
  if (first == "REM") return true;
  if (first == "END" && own.size() == 2 && Upper(own[1]) == "WITH") {
    if (with_.empty()) return Fail(error, "END WITH without WITH");
    with_.pop_back();
    return true;
  }
  if (first == "WITH") {
    if (own.size() < 2) return Fail(error, "WITH needs the words to put before the lines");
    with_.push_back(AfterFirstWord(line));
    return true;
  }
  std::string full = Join(with_, " ") + (with_.empty() ? "" : " ") + line;
  return RunCommand(Words(full), full, error);
}

bool AviMuxScript::RunCommand(const std::vector<std::string>& words, const std::string& full,
                              std::string* error) {
  std::string command = Upper(words[0]);
  std::string second = words.size() > 1 ? Upper(words[1]) : "";
  if (command == "ENDOFFILE") {
    ended_ = true;
    return true;
  }
  if (command == "CLEAR") {
    files_.clear();
    audio_.clear();
    video_.reset();
    return true;
  }
  if (command == "LOAD") return Load(AfterFirstWord(full), error);
  if (command == "SELECT" || command == "DESELECT")
    return Select(words, command == "SELECT", error);
  if (command == "ADD" && (second == "VIDEOSOURCE" || second == "MMSOURCE"))
    return AddVideoSource(error);
  if (command == "SET" && (second == "OUTPUT" || second == "INPUT") && words.size() == 3 &&
      Upper(words[2]) == "OPTIONS")
    return true;  // the options that follow are the output's: all of ours are
  if (command == "SET" && second == "OPTION")
    return SetOption(std::vector<std::string>(words.begin() + 2, words.end()), error);
  if (command == "MAXFILESIZE")  // as the program writes it outside a WITH SET OPTION block
    return SetOption(words, error);
  if (command == "START") {
    output_ = AfterFirstWord(full);
    if (output_.empty()) return Fail(error, "START needs the file to write");
    output_ = path_(output_);
    ended_ = true;
    return true;
  }
  std::string name = command == "ADD" || command == "SET" ? words[0] + " " + second : words[0];
  return Fail(error, "unknown command " + Trim(name));
}

bool AviMuxScript::Load(const std::string& written, std::string* error) {
  if (written.empty()) return Fail(error, "LOAD needs a file");
  std::string path = path_(written);
  auto info = probe_(path);
  if (!info) return Fail(error, "LOAD: cannot read " + path);
  files_.push_back({path, *info, false});
  for (int s = 0; s < info->audioStreams; ++s) audio_.push_back({files_.size() - 1, s, true});
  return true;
}

bool AviMuxScript::Select(const std::vector<std::string>& words, bool select, std::string* error) {
  std::string command = Upper(words[0]);
  std::string kind = words.size() > 1 ? Upper(words[1]) : "";
  auto number = words.size() == 3 ? ParseInt(words[2]) : std::nullopt;
  if (!number || *number < 0) return Fail(error, command + " " + kind + " needs a number");
  size_t n = static_cast<size_t>(*number);
  if (kind == "FILE") {
    if (n > files_.size()) return Fail(error, command + " FILE " + words[2] + ": no such file");
    for (size_t i = 0; i < files_.size(); ++i)
      if (n == 0 || i + 1 == n) files_[i].selected = select;
    return true;
  }
  if (kind == "AUDIO") {
    if (n > audio_.size())
      return Fail(error, command + " AUDIO " + words[2] + ": no such audio stream");
    for (size_t i = 0; i < audio_.size(); ++i)
      if (n == 0 || i + 1 == n) audio_[i].selected = select;
    return true;
  }
  if (kind == "SUBTITLE" || kind == "VIDEO") return true;  // AVI parts carry no subtitles
  return Fail(error, "unknown command " + command + " " + kind);
}

bool AviMuxScript::AddVideoSource(std::string* error) {
  std::vector<size_t> chosen;
  for (size_t i = 0; i < files_.size(); ++i)
    if (files_[i].selected) chosen.push_back(i);
  if (chosen.size() != 1)
    return Fail(error, "ADD VIDEOSOURCE takes exactly one selected file (" +
                           std::to_string(chosen.size()) + " selected)");
  if (!files_[chosen[0]].info.hasVideo)
    return Fail(error, "ADD VIDEOSOURCE: " + files_[chosen[0]].path + " holds no video");
  video_ = chosen[0];
  return true;
}

bool AviMuxScript::SetOption(const std::vector<std::string>& words, std::string* error) {
  if (words.empty()) return Fail(error, "SET OPTION needs an option");
  std::string name = Upper(words[0]);
  if (name == "MAXFILESIZE") {
    if (words.size() != 2) return Fail(error, "MAXFILESIZE takes ON, OFF or a size in MB");
    return SetMaxFileSize(words[1], error);
  }
  if (IsSwitchOption(name)) {
    if (words.size() != 2 || !ParseInt(words[1])) return Fail(error, name + " takes 0 or 1");
    return true;
  }
  if (name == "AUDIO" && words.size() == 4 && Upper(words[1]) == "INTERLEAVE") {
    // ffmpeg interleaves by time: an audio chunk beside every video frame or two.
    auto amount = ParseInt(words[2]);
    std::string unit = Upper(words[3]);
    if (!amount || *amount <= 0 || (unit != "FR" && unit != "KB"))
      return Fail(error, "AUDIO INTERLEAVE takes a number and FR or KB");
    return true;
  }
  return Fail(error, "unknown option " + words[0]);
}

bool AviMuxScript::SetMaxFileSize(const std::string& value, std::string* error) {
  std::string word = Upper(value);
  if (word == "OFF" || word == "ON") {
    limitOn_ = word == "ON";
    return true;
  }
  auto mb = ParseInt(value);
  if (!mb || *mb <= 0)
    return Fail(error, "MAXFILESIZE takes ON, OFF or a size in MB, not " + value);
  limitMb_ = *mb;
  limitOn_ = true;  // a size given is a size wanted
  return true;
}

std::optional<AviMuxPlan> AviMuxScript::Plan(std::string* error) const {
  auto fail = [&](const std::string& message) -> std::optional<AviMuxPlan> {
    Fail(error, message);
    return std::nullopt;
  };
  if (output_.empty()) return fail("the script has no START line: nothing to write");
  if (!video_) return fail("the script chose no video (ADD VIDEOSOURCE)");
  AviMuxPlan plan;
  plan.video = files_[*video_].path;
  for (const Audio& a : audio_)
    if (a.selected && (a.file == *video_ || !files_[a.file].info.hasVideo))
      plan.audio.push_back({files_[a.file].path, a.stream});
  if (limitOn_ && limitMb_ <= 0) return fail("MAXFILESIZE ON without a size");
  plan.maxFileSizeMb = limitOn_ ? limitMb_ : 0;
  plan.output = output_;
  return plan;
}

std::optional<AviMuxPlan> RunAviMuxScript(const std::string& text, const AviMuxProbeFn& probe,
                                          const AviMuxPathFn& path, std::string* error) {
  std::string body = StartsWith(text, "\xEF\xBB\xBF") ? text.substr(3) : text;
  AviMuxScript script(probe, path);
  int number = 0;
  for (std::string line : Split(body, '\n')) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string why;
    if (!script.RunLine(line, &why)) {
      if (error) *error = "line " + std::to_string(number) + ": " + why;
      return std::nullopt;
    }
    if (script.Ended()) break;
  }
  return script.Plan(error);
}

}  // namespace quillet::toolkit
