#pragma once
// Where a running tool tells how far it is: a file the tool is named in its environment
// (QUILLET_PROGRESS=path) and keeps one number in, the share done from 0 to 1, replaced
// whole each time (toolkit/README.md). A tool that knows nothing of it leaves it empty.

#include <optional>
#include <string>

namespace quillet {

inline constexpr const char* kProgressVariable = "QUILLET_PROGRESS";

class ProgressChannel {
 public:
  // Makes an empty file in the temporary folder; without one, Read() never finds a share.
  ProgressChannel();
  ~ProgressChannel();
  ProgressChannel(const ProgressChannel&) = delete;
  ProgressChannel& operator=(const ProgressChannel&) = delete;

  // "QUILLET_PROGRESS=path" for the tool's environment.
  std::string EnvironmentEntry() const;

  // The share the tool wrote last; nullopt while it has written none (or nonsense).
  std::optional<double> Read() const;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// "0.4213" and the like; nullopt for anything that is no share from 0 to 1.
std::optional<double> ParseProgressShare(const std::string& text);

}  // namespace quillet
