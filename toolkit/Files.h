#pragma once
// Files as the slots see them: paths written for Windows (any case, trailing blanks; see
// base/PathResolve.h), results that appear only when they are whole, and the WAV header
// check.

#include <cstdint>
#include <string>
#include <vector>

#include "base/Files.h"
#include "base/PathResolve.h"

namespace quillet::toolkit {

// The file starts with the EBML magic of Matroska and WebM files.
bool IsMatroskaFile(const std::string& path);

// The folder part of a path ("." when there is none) and the file name.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// The folder where the slot called by this path keeps files beside itself: its own, or
// the one of its name under the program's folder for tools' files (slot::kFilesVariable),
// made when missing.
std::string SlotFilesFolder(const std::string& invokedAs);

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

// Writes all `size` bytes to the descriptor (again after an interruption); false on a fault.
bool WriteAll(int fd, const uint8_t* data, size_t size);

}  // namespace quillet::toolkit
