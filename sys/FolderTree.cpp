// Deleting a working folder ("split", "tempsrt") with everything in it.
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/PathResolve.h"
#include "sys/FileAPI.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

// A folder without write permission keeps its entries even from its owner; Windows
// ignores a read-only folder attribute here, so we add the permission first. Failing to
// add it (not the owner) is left to the deletions to report.
void AllowChanges(const fs::path& folder) {
  std::error_code ec;
  fs::perms perms = fs::status(folder, ec).permissions();
  if (ec || (perms & fs::perms::owner_write) != fs::perms::none) return;
  fs::permissions(folder, fs::perms::owner_write | fs::perms::owner_exec, fs::perm_options::add,
                  ec);
}

void DeleteTree(const fs::path& folder) {
  AllowChanges(folder);
  // The listing is finished before anything is deleted.
  std::vector<fs::path> entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    entries.push_back(entry.path());
  for (const fs::path& entry : entries) {
    // A link to a folder is removed as a link: its target is not ours to empty.
    if (fs::symlink_status(entry).type() == fs::file_type::directory)
      DeleteTree(entry);
    else
      fs::remove(entry);
  }
  fs::remove(folder);
}

}  // namespace

void DeleteFolderTree(const std::string& folder) {
  DeleteTree(ResolvePathNoCase(folder));
}

}  // namespace quillet
