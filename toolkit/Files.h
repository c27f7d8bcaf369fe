#pragma once
// Files as the slots see them: paths written for Windows (any case, trailing blanks),
// results that appear only when they are whole, and the WAV header check.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet::toolkit {

// An existing file or folder for a path the program wrote: the path itself when it
// exists, else the same path matched without regard to case, component by component,
// else with the trailing blanks and dots of its last component dropped (Windows ignores
// them). Returns the path unchanged when nothing matches.
std::string LocateInput(const std::string& path);

// Where to write a result: the folder part located as above, the name without trailing
// blanks and dots, and an existing file of the same name in another case reused.
std::string LocateOutput(const std::string& path);

// A regular file with at least one byte.
bool FileHasData(const std::string& path);
long long FileSize(const std::string& path);  // -1 when it cannot be read

// Up to limit bytes of a file; nullopt when it cannot be read.
std::optional<std::string> ReadBytes(const std::string& path, size_t limit = SIZE_MAX);

// The file starts with the EBML magic of Matroska and WebM files.
bool IsMatroskaFile(const std::string& path);

// The folder part of a path ("." when there is none) and the file name.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// Results written to temporary names beside their final place, moved there by Commit
// only when the work succeeded. Whatever is left is removed when the object goes.
class Staging {
 public:
  Staging() = default;
  ~Staging();
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  // The temporary path for a result: a hidden folder beside it, holding the same name
  // (so tools that judge a file by its extension see the real one). Empty on failure.
  std::string Add(const std::string& finalPath);
  // A hidden folder for intermediate files inside the given folder, removed at the end.
  std::string Scratch(const std::string& folder);
  // Moves every file of the result folders to its final folder (replacing what is
  // there). False, with a message, when a move fails.
  bool Commit();
  // Files the tools have left in the result folders so far.
  int FileCount() const;

 private:
  struct Dir {
    std::string folder;
    std::string temp;
  };
  std::string MakeHiddenFolder(const std::string& folder);
  std::vector<Dir> dirs_;
  std::vector<std::string> scratch_;
  std::vector<std::string> names_;
  bool committed_ = false;
};

// Below this much free space a failed slot blames the full disk.
inline constexpr double kNearlyFullBytes = 16e6;
// Logs one line naming the folder and its free space when its disk is (nearly) full.
void ReportFullDisk(const std::string& folder);

struct WavInfo {
  bool valid = false;  // RIFF/RF64 WAVE with a format chunk and a data chunk
  int formatTag = 0;
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 0;
  uint64_t dataBytes = 0;  // bytes of sample data actually present in the file
};
WavInfo ReadWavInfo(const std::string& path);

// A WAV result that holds sound: valid, with sample data. Logs why not.
bool CheckWav(const std::string& path);

}  // namespace quillet::toolkit
