// The AVI muxer's script "quillet.amg", written from the template shipped beside the
// muxer: the template loads "movie.avi" and "movie.ac3" from the placeholder folder
// "D:\QUILLET\", holds a "MAXFILESIZE size" line and ends with "ENDOFFILE"; the program
// puts in the output folder and the part size and adds the START line.

#include <fstream>

#include "app/AppTools.h"
#include "convert/ConvertSteps.h"
#include "inspect/TextPieces.h"

namespace quillet {
namespace {

constexpr const char* kFolderPlaceholder = "D:\\QUILLET\\";

std::string RewrittenLine(const Form1& f, const std::string& folder, const std::string& line,
                          int64_t splitSizeMb) {
  if (f.Check1.Value == 1 && Contains(line, "MAXFILESIZE size"))
    return "MAXFILESIZE " + std::to_string(splitSizeMb);
  if (f.chkDVD.Value == 1 && Contains(line, "MAXFILESIZE size")) return "MAXFILESIZE 4500";
  if (f.Check1.Value != 1 && Contains(line, "MAXFILESIZE")) return "MAXFILESIZE OFF";
  return ReplaceAll(line, kFolderPlaceholder, folder);
}

}  // namespace

std::string AviMuxTemplatePath(const App& app) {
  return ToolPath(app, "\\avimux\\quillet.amg");
}

bool ReadAviMuxTemplate(const std::string& path, std::vector<std::string>* lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  lines->clear();
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Contains(line, "ENDOFFILE")) return true;
    lines->push_back(line);
  }
  // No marker: the template was cut short, and the muxer would read half a script.
  return false;
}

std::string AviMuxScriptText(const App& app, const ConvertRun& run,
                             const std::vector<std::string>& templateLines, int64_t splitSizeMb) {
  std::string text;
  for (const std::string& line : templateLines)
    text += RewrittenLine(app.form, run.folder, line, splitSizeMb) + "\r\n";
  return text + "START " + run.folder + run.strBaseName + ".avi\r\n";
}

}  // namespace quillet
