#include "convert/RunCleanup.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "convert/PathNames.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

void AddOnce(std::vector<std::string>& list, const std::string& item) {
  if (!item.empty() && std::find(list.begin(), list.end(), item) == list.end())
    list.push_back(item);
}

// Removes a file (or a link) by its name; a folder of that name is not ours to remove.
void RemoveFile(const std::string& path) {
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(path, ec))) fs::remove(path, ec);
}

}  // namespace

void RunCleanup::AddOutputFolder(const std::string& folder) {
  AddOnce(outputFolders_, folder);
}

void RunCleanup::AddPartialResult(const std::string& path) {
  AddOnce(partialResults_, path);
}

void RunCleanup::AddSetAside(const std::string& aside, const std::string& original) {
  if (!aside.empty()) setAside_.emplace_back(aside, original);
}

void RunCleanup::AddWorkFolder(const std::string& folder) {
  AddOnce(workFolders_, folder);
}

void RunCleanup::ForgetSetAside(const std::string& aside) {
  std::erase_if(setAside_, [&](const auto& entry) { return entry.first == aside; });
}

void RunCleanup::AddReplaced(const std::string& aside) {
  AddOnce(replaced_, aside);
}

void RunCleanup::Commit() {
  for (const std::string& aside : replaced_) RemoveFile(aside);
  *this = RunCleanup{};
}

void RunCleanup::Undo() {
  std::error_code ec;
  for (const std::string& folder : outputFolders_)
    for (const char* name : work::kEveryFile) RemoveFile(folder + name);
  for (const std::string& folder : workFolders_) fs::remove_all(folder, ec);
  // Results first: an earlier result goes back where the partial one stood.
  for (const std::string& path : partialResults_) RemoveFile(path);
  for (auto it = setAside_.rbegin(); it != setAside_.rend(); ++it)
    fs::rename(it->first, it->second, ec);
  *this = RunCleanup{};
}

void RegisterOutputFolder(App& app, const std::string& folder) {
  if (app.cleanup) app.cleanup->AddOutputFolder(folder);
}

void RegisterPartialResult(App& app, const std::string& path) {
  if (app.cleanup) app.cleanup->AddPartialResult(path);
}

void RegisterSetAside(App& app, const std::string& aside, const std::string& original) {
  if (app.cleanup) app.cleanup->AddSetAside(aside, original);
}

void RegisterWorkFolder(App& app, const std::string& folder) {
  if (app.cleanup) app.cleanup->AddWorkFolder(folder);
}

void ForgetSetAside(App& app, const std::string& aside) {
  if (app.cleanup) app.cleanup->ForgetSetAside(aside);
}

bool RegisterReplaced(App& app, const std::string& aside) {
  if (app.cleanup) app.cleanup->AddReplaced(aside);
  return app.cleanup != nullptr;
}

}  // namespace quillet
