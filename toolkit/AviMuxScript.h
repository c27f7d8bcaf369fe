#pragma once
// The script language of the AVI muxer slot (avimux/avimux_gui.exe SCRIPT), read line by
// line into what to mux: which file gives the video, which audio streams go with it, the
// largest part size and the output. The commands follow the script files of AVI-Mux GUI
// (listed in toolkit/README.md); a command that is not understood stops the script with
// a message naming it, so that a mistyped template never muxes something else.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::toolkit {

// What a loaded file holds.
struct AviMuxSourceInfo {
  bool hasVideo = false;
  int audioStreams = 0;
};
// Reads a file named by LOAD; nullopt when it cannot be read.
using AviMuxProbeFn = std::function<std::optional<AviMuxSourceInfo>(const std::string& path)>;
// The path to use for a path as the script writes it (relative to the script's folder).
using AviMuxPathFn = std::function<std::string(const std::string& written)>;

struct AviMuxAudio {
  std::string file;
  int stream = 0;  // the n-th audio stream of the file, from 0
};

struct AviMuxPlan {
  std::string video;
  std::vector<AviMuxAudio> audio;
  long long maxFileSizeMb = 0;  // 0: one file, however large
  std::string output;
};

class AviMuxScript {
 public:
  AviMuxScript(AviMuxProbeFn probe, AviMuxPathFn path);

  // Runs one line of the script (without its line end). False, with a message in *error
  // that names the command, when the line cannot be run.
  bool RunLine(const std::string& line, std::string* error);
  // START or ENDOFFILE has been read: nothing after it is run.
  bool Ended() const { return ended_; }
  // What START asked for; nullopt, with the reason, when the script has not asked for a
  // mux that can be made.
  std::optional<AviMuxPlan> Plan(std::string* error) const;

 private:
  struct File {
    std::string path;
    AviMuxSourceInfo info;
    bool selected = false;
  };
  struct Audio {
    size_t file = 0;
    int stream = 0;
    bool selected = true;
  };
  bool RunCommand(const std::vector<std::string>& words, const std::string& rest,
                  std::string* error);
  bool Load(const std::string& written, std::string* error);
  bool Select(const std::vector<std::string>& words, bool select, std::string* error);
  bool AddVideoSource(std::string* error);
  bool SetOption(const std::vector<std::string>& words, std::string* error);
  bool SetMaxFileSize(const std::string& value, std::string* error);

  AviMuxProbeFn probe_;
  AviMuxPathFn path_;
  std::vector<std::string> with_;  // WITH prefixes in force
  std::vector<File> files_;
  std::vector<Audio> audio_;
  std::optional<size_t> video_;
  bool limitOn_ = false;
  long long limitMb_ = 0;
  std::string output_;
  bool ended_ = false;
};

// Runs a whole script text (CR LF or LF line ends, an optional UTF-8 byte order mark).
std::optional<AviMuxPlan> RunAviMuxScript(const std::string& text, const AviMuxProbeFn& probe,
                                          const AviMuxPathFn& path, std::string* error);

// A path as a script writes it, for this system: surrounding blanks and quotes dropped,
// Windows separators ('\\') turned into '/', relative paths taken from the script's folder.
std::string ScriptPath(const std::string& written, const std::string& scriptFolder);

}  // namespace quillet::toolkit
