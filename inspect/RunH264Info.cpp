// Has the header tool rewrite the level information of "movie_raw.h264" into
// "movie.h264". The tool reads both paths from its ini file beside it.
#include <filesystem>
#include <fstream>

#include "app/AppTools.h"
#include "base/Files.h"
#include "base/ToolSlots.h"
#include "inspect/SetHeaderMod.h"
#include "tools/Paths.h"

namespace quillet {

void RunH264Info(App& app, const std::string& folder) {
  const std::string tool = ToolPath(app, slot::kH264Info.program);
  // Where the tool looks for it: beside itself, or under the layout's folder for tools' files.
  const std::string ini = ProgramPath(app.ctx.files.toolFilesFolder, "\\h264info\\h264info.ini");

  DeleteFileQuietly(ini);
  {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(ini).parent_path(), ec);
    std::ofstream out(ini, std::ios::binary | std::ios::trunc);
    out << "[Paths]\r\n"
        << "InputPath=" << folder << "movie_raw.h264\r\n"
        << "OutputPath=" << folder << "movie.h264\r\n";
  }
  // Quoted, so a program folder with a blank in its name still names the tool.
  RunToolHidden(app, "\"" + tool + "\"");
  DeleteFileQuietly(folder + "movie_raw.h264");
}

}  // namespace quillet
