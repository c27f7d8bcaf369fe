#include "toolkit/Files.h"

#include <stdlib.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/Text.h"
#include "base/ToolSlots.h"
#include "toolkit/Process.h"

namespace quillet::toolkit {
namespace fs = std::filesystem;

std::string FolderOf(const std::string& path) {
  fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? "." : parent.string();
}

std::string NameOf(const std::string& path) {
  return fs::path(path).filename().string();
}

std::string SlotFilesFolder(const std::string& invokedAs) {
  const char* root = std::getenv(slot::kFilesVariable);
  if (root == nullptr || *root != '/') return FolderOf(invokedAs);
  const std::string folder = std::string(root) + "/" + NameOf(FolderOf(invokedAs));
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder;
}

bool IsMatroskaFile(const std::string& path) {
  auto head = ReadBytes(path, 4);
  return head && *head == std::string("\x1A\x45\xDF\xA3", 4);
}

void ReportFullDisk(const std::string& folder) {
  struct statvfs st {};
  if (statvfs(folder.c_str(), &st) != 0) return;
  const double freeBytes = static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize);
  if (freeBytes < kNearlyFullBytes)
    Log(Format("no space left in %s: %.2f MB free", folder.c_str(), freeBytes / 1e6));
}

Staging::~Staging() {
  // A slot that gives up says so when the disk ran full: the tools' own word for it is
  // lost among the rest of what they print.
  if (!committed_)
    for (const Dir& dir : dirs_) ReportFullDisk(dir.folder);
  std::error_code ec;
  for (const Dir& dir : dirs_) fs::remove_all(dir.temp, ec);
  for (const std::string& s : scratch_) fs::remove_all(s, ec);
}

std::string Staging::MakeHiddenFolder(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::string pattern = (fs::path(folder) / ".quillet-toolkit-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) {
    Log("cannot create a temporary folder in " + folder + ": " + std::strerror(errno));
    return "";
  }
  return buffer.data();
}

std::string Staging::Add(const std::string& finalPath) {
  std::string folder = FolderOf(finalPath);
  std::string name = NameOf(finalPath);
  std::string key = (fs::path(folder) / name).lexically_normal().string();
  if (std::find(names_.begin(), names_.end(), key) != names_.end()) {
    Log("the result " + finalPath + " is named twice");
    return "";
  }
  auto it =
      std::find_if(dirs_.begin(), dirs_.end(), [&](const Dir& d) { return d.folder == folder; });
  if (it == dirs_.end()) {
    std::string temp = MakeHiddenFolder(folder);
    if (temp.empty()) return "";
    dirs_.push_back({folder, temp});
    it = dirs_.end() - 1;
  }
  names_.push_back(key);
  return (fs::path(it->temp) / name).string();
}

std::string Staging::Scratch(const std::string& folder) {
  std::string temp = MakeHiddenFolder(folder);
  if (!temp.empty()) scratch_.push_back(temp);
  return temp;
}

bool Staging::Commit() {
  bool ok = true;
  for (const Dir& dir : dirs_) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir.temp, ec))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      fs::path target = fs::path(dir.folder) / file.filename();
      fs::rename(file, target, ec);
      if (ec) {
        Log("cannot move the result to " + target.string() + ": " + ec.message());
        ok = false;
      }
    }
  }
  committed_ = ok;
  return ok;
}

int Staging::FileCount() const {
  int count = 0;
  for (const Dir& dir : dirs_) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir.temp, ec))
      if (entry.is_regular_file()) ++count;
  }
  return count;
}

WavInfo ReadWavInfo(const std::string& path) {
  WavInfo info;
  std::ifstream in(path, std::ios::binary);
  long long fileSize = FileSize(path);
  if (!in || fileSize < 12) return info;
  auto u16 = [](const unsigned char* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); };
  auto u32 = [](const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  };
  unsigned char head[12];
  in.read(reinterpret_cast<char*>(head), 12);
  bool rf64 = std::memcmp(head, "RF64", 4) == 0;
  if ((!rf64 && std::memcmp(head, "RIFF", 4) != 0) || std::memcmp(head + 8, "WAVE", 4) != 0)
    return info;
  uint64_t ds64Data = 0;
  bool haveFmt = false;
  uint64_t offset = 12;
  while (offset + 8 <= static_cast<uint64_t>(fileSize)) {
    unsigned char chunk[8];
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(chunk), 8);
    if (!in) break;
    uint64_t size = u32(chunk + 4);
    uint64_t body = offset + 8;
    if (std::memcmp(chunk, "ds64", 4) == 0 && size >= 16) {
      unsigned char d[16];
      in.read(reinterpret_cast<char*>(d), 16);
      ds64Data = u32(d + 8) | (static_cast<uint64_t>(u32(d + 12)) << 32);
    } else if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
      unsigned char f[16];
      in.read(reinterpret_cast<char*>(f), 16);
      info.formatTag = static_cast<int>(u16(f));
      info.channels = static_cast<int>(u16(f + 2));
      info.sampleRate = static_cast<int>(u32(f + 4));
      info.bitsPerSample = static_cast<int>(u16(f + 14));
      haveFmt = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (rf64 && size == 0xFFFFFFFFu) size = ds64Data;
      uint64_t present = static_cast<uint64_t>(fileSize) - body;
      // A header written before the length was known claims 0 or all ones.
      if (size == 0 || size > present) size = present;
      info.dataBytes = size;
      info.valid = haveFmt && info.channels > 0 && info.sampleRate > 0;
      return info;
    }
    offset = body + size + (size & 1);
  }
  return info;
}

bool CheckWav(const std::string& path) {
  WavInfo info = ReadWavInfo(path);
  if (!info.valid) {
    Log("no valid WAV file was written: " + path);
    return false;
  }
  if (info.dataBytes == 0) {
    Log("the WAV file holds no sound: " + path);
    return false;
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace quillet::toolkit
