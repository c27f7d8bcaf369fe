#include "app/CmdLine.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/AppTools.h"
#include "app/UnsafePath.h"
#include "convert/Convert.h"
#include "inspect/ReadInfo.h"
#include "sys/FileAPI.h"
#include "tools/FileTests.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

std::string ToUpper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::string ArgumentPath(const std::string& argumentText) {
  std::string path = argumentText;
  path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
  return path;
}

bool IsMatroskaFileArgument(const std::string& path) {
  std::error_code ec;
  return EndsWith(ToUpper(path), ".MKV") && std::filesystem::is_regular_file(path, ec);
}

bool IsFolderArgument(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

void cmdLine(App& app, const std::string& argumentText) {
  if (argumentText.empty()) {
    app.bCommandLine = false;
    return;
  }
  const std::string path = AbsolutePath(ArgumentPath(argumentText));
  app.bCommandLine = true;
  if (IsMatroskaFileArgument(path)) cmdlineFile(app, path);
  if (IsFolderArgument(path)) cmdlineFolder(app, path);
}

void cmdlineFile(App& app, const std::string& strfile) {
  // The quotes are gone already; a line break would still break the tools' command lines.
  if (!AcceptPathForTools(app, strfile, "source file")) return;
  ReadInfo(app, strfile);
  app.form.txtFile.Text = strfile;
  app.form.strFullname = strfile;
  Command2_Click(app);
  app.form.bUnload = true;
}

void cmdlineFolder(App& app, const std::string& strpath) {
  Form1& f = app.form;
  app.bFolderMode = true;
  f.bSplit = false;
  if (strpath.empty()) return;
  if (!AcceptPathForTools(app, strpath, "source folder")) return;
  const std::string outputFolder = f.txtTMP.Text;

  // Names are joined to the folder texts as they stand: a folder named with its trailing
  // separator gives a doubled one, which every tool reads as one.
  std::vector<std::string> names = ListFiles(strpath + kSepStr + "*.mkv");
  if (names.empty() || (names.size() == 1 && names[0].empty())) {
    app.nothingToConvert = "No MKV files found in " + strpath + ".";
    return;
  }
  const size_t count = names.size();
  size_t done = 0;
  for (size_t i = 0; i < count; ++i) {
    const std::string& name = names[i];
    f.lblMulti.Caption = std::to_string(i + 1) + " of " + std::to_string(count);
    f.lblMulti.Visible = true;
    f.progress.film = PositionText("film", i, count);
    f.Repaint();
    const std::string fullName = strpath + kSepStr + name;
    if (!AcceptPathForTools(app, fullName, "source file")) continue;
    f.strFullname = fullName;

    // A file with an earlier result in the output folder is not converted again.
    const std::string stem = outputFolder + kSepStr + name.substr(0, name.size() - 3);
    if (FileHasLength(stem + "mp4") || FileHasLength(stem + "mpg")) {
      AppendDebugLog(app, "Already converted, skipped: " + fullName);
      ++done;
      continue;
    }
    ReadInfo(app, f.strFullname);
    f.txtFile.Text = f.strFullname;
    Command2_Click(app);
    f.bSplit = false;
  }
  if (done == count) {
    app.nothingToConvert =
        "Nothing to convert in " + strpath + ": all " + std::to_string(count) + " files are done.";
  }
  f.lblMulti.Visible = false;
  f.progress.film.clear();
}

}  // namespace quillet
