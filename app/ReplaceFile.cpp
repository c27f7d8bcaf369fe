#include "app/ReplaceFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace quillet {

std::string ReplacementTempPath(const std::string& path) {
  // One name per running program, so two runs saving at once never share a copy.
  static const std::string token = [] {
    std::random_device random;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return std::string(text);
  }();
  return path + ".tmp-" + token;
}

bool ReplaceFileContents(const std::string& path, const std::string& content) {
  const std::string temp = ReplacementTempPath(path);
  std::error_code ec;
  bool written = false;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(content.data(), static_cast<std::streamsize>(content.size()));
      out.close();  // flushes: a full disk shows up here
      written = !out.fail();
    }
  }
  if (written) {
    std::filesystem::rename(temp, path, ec);
    if (!ec) return true;
  }
  // The old file was never touched; only the unfinished copy goes.
  if (std::filesystem::is_regular_file(temp, ec)) std::filesystem::remove(temp, ec);
  return false;
}

}  // namespace quillet
