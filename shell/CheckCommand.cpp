#include "shell/CheckCommand.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/App.h"
#include "app/ConsoleUi.h"
#include "base/Text.h"
#include "check/CheckReport.h"
#include "check/GatherFacts.h"
#include "check/ReportJson.h"
#include "check/ReportText.h"
#include "sys/Components.h"
#include "sys/MediaGraph.h"
#include "sys/Power.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

// Ports a check never uses for real.
class NoPower : public Power {
 public:
  void ShutDownWindows() override {}
};
class NoComponents : public Components {
 public:
  void RegisterServer(const std::string&, bool) override {}
};
class NoMediaGraph : public MediaGraph {
 public:
  bool HasRegisteredFilter(const std::string&) override { return false; }
  void ShowFilterPages(const std::string&) override {}
  std::unique_ptr<AudioGraph> RunWmaToWavGraph(const std::string&, const std::string&,
                                               std::string* missing) override {
    if (missing) *missing = "media graph (the report decodes nothing)";
    return nullptr;
  }
};

bool AddPlayer(const std::string& name, CheckRequest& request, std::string& error) {
  Player player;
  if (!PlayerOfId(name, player)) {
    error = "unknown player \"" + name + "\"";
    return false;
  }
  if (std::find(request.players.begin(), request.players.end(), player) == request.players.end())
    request.players.push_back(player);
  return true;
}

}  // namespace

bool IsCheckCommand(int argc, const char* const* argv) {
  return argc >= 2 && std::strcmp(argv[1], "--check") == 0;
}

bool ParseCheckArguments(const std::vector<std::string>& args, CheckRequest& request,
                         std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded) {
      request.paths.push_back(arg);
    } else if (arg == "--") {
      // What follows is a file or folder, even when its name starts with "-".
      optionsEnded = true;
    } else if (arg == "--json") {
      request.json = true;
    } else if (arg == "--player") {
      if (i + 1 >= args.size()) {
        error = "--player needs a name";
        return false;
      }
      if (!AddPlayer(args[++i], request, error)) return false;
    } else if (arg.rfind("--player=", 0) == 0) {
      if (!AddPlayer(arg.substr(9), request, error)) return false;
    } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
      error = "unknown option " + arg;
      return false;
    } else {
      request.paths.push_back(arg);
    }
  }
  if (request.paths.empty()) {
    error = "no file or folder to check";
    return false;
  }
  if (request.players.empty())
    for (const PlayerInfo& info : Players()) request.players.push_back(info.player);
  return true;
}

bool FilmsOfPath(const std::string& path, std::vector<std::string>& films) {
  std::error_code ec;
  if (!fs::is_directory(path, ec) || !BluRayFolderOf(path).empty()) {
    // A name that is not there is still a film asked for: the report says it cannot be read.
    if (fs::exists(path, ec) && ContainerOfPath(path) == Container::Unknown) return false;
    films.push_back(path);
    return true;
  }
  // The films of a folder, and the Blu-ray folders in it (as the AVCHD road leaves them).
  std::vector<std::string> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(path, ec)) {
    const std::string name = entry.path().string();
    const bool film = entry.is_regular_file(ec) && ContainerOfPath(name) != Container::Unknown;
    if (film || (entry.is_directory(ec) && !BluRayFolderOf(name).empty())) found.push_back(name);
  }
  std::sort(found.begin(), found.end(),
            [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
  films.insert(films.end(), found.begin(), found.end());
  return true;
}

int RunCheck(Context& ctx, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err) {
  CheckRequest request;
  std::string error;
  if (!ParseCheckArguments(args, request, error)) {
    err << "quillet --check: " << error << "\n" << kCheckUsage << "\n";
    return 2;
  }
  std::vector<std::string> films;
  for (const std::string& path : request.paths) {
    if (!FilmsOfPath(path, films)) {
      err << "quillet --check: " << path
          << " is not a Matroska, AVI, WMV, MP4 or MPEG file, nor a Blu-ray folder\n";
      return 2;
    }
  }
  CheckReport report;
  report.players = request.players;
  for (const std::string& film : films)
    report.files.push_back(JudgeFile(GatherMediaFacts(ctx, film), request.players));
  out << (request.json ? ReportJson(report) : ReportText(report));
  if (films.empty() && !request.json) err << "quillet --check: no films found\n";
  return CheckExitStatus(report);
}

int RunCheckCommand(const std::string& programFolder, const FileLayout& files, ToolRunner& runner,
                    const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ConsoleUi ui(err);
  NoPower power;
  NoComponents components;
  NoMediaGraph media;
  Context ctx{programFolder, runner, ui, power, components, media, files};
  return RunCheck(ctx, args, out, err);
}

}  // namespace quillet
