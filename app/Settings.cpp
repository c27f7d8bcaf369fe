#include "app/Settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "app/ReplaceFile.h"
#include "app/SettingsText.h"
#include "base/Files.h"
#include "base/PathResolve.h"
#include "sys/Components.h"
#include "sys/FileAPI.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

constexpr int kSettingsLines = 15;

std::string SettingsPath(const App& app, const std::string& name) {
  return app.ctx.files.settingsFolder + kSepStr + name;
}

// A check box takes a stored 0 or 1; any other stored value leaves it as it is.
void ApplyCheck(CheckBox& box, const std::string& line) {
  std::optional<int> value = ParseSettingsNumber(line);
  if (value && (*value == 0 || *value == 1)) box.SetValue(*value);
}

// A list takes a stored index that names one of its items, or -1 (no selection).
void ApplyListIndex(ComboBox& list, const std::string& line) {
  if (std::optional<int> value = ParseSettingsNumber(line)) list.SetListIndex(*value);
}

// Applies the lines in their order: a check box set to a new value runs its click rule,
// so the order decides the result (the VOB box before AVCHD before the recode box, the
// recode format before AVCHD saves it).
void ApplySettingsLines(App& app, const std::vector<std::string>& lines) {
  Form1& f = app.form;
  for (int n = 1; n <= kSettingsLines && n <= static_cast<int>(lines.size()); ++n) {
    const std::string& line = lines[n - 1];
    switch (n) {
      case 1:
        f.strMKV = line;
        break;
      case 2:
        f.strFF = line;
        break;
      case 3:
        f.strMP4 = line;
        break;
      case 4:
        f.txtTMP.Text = line;
        break;
      case 5:
        ApplyCheck(f.chkVob, line);
        break;
      case 6:
        ApplyCheck(f.Check1, line);
        break;
      case 7:
        f.strMKVPath = line;
        break;
      case 8:
        f.strH264Opts = line;
        break;
      case 9:
        // Only a number as the program writes it (" 3 ") is taken; "3" reads as "0".
        f.strConvOpts = line.size() == 3 ? line : "0";
        ApplyListIndex(f.cmdConv, f.strConvOpts);
        break;
      case 10:
        f.strSubOpts = line;
        break;
      case 11:
        ApplyListIndex(f.cmbPlatform, line);
        if (f.cmbPlatform.ListIndex == 1)
          f.Hideon360();
        else
          f.ShowonPS3();
        break;
      case 12:
        ApplyCheck(f.chkAVCHD, line);
        break;
      case 13:
        ApplyCheck(f.chkMP2, line);
        break;
      case 14:
        if (line.size() == 3)
          ApplyListIndex(f.cmbPrio, line);
        else
          f.cmbPrio.SetListIndex(0);
        break;
      case 15:
        ApplyCheck(f.chkNorm, line);
        break;
    }
  }
}

std::vector<std::string> SettingsLines(const Form1& f) {
  return {
      f.strMKV,
      f.strFF,
      f.strMP4,
      f.txtTMP.Text,
      FormatSettingsNumber(f.chkVob.Value),
      FormatSettingsNumber(f.Check1.Value),
      f.strMKVPath,
      f.strH264Opts,
      FormatSettingsNumber(f.cmdConv.ListIndex),
      f.strSubOpts,
      FormatSettingsNumber(f.cmbPlatform.ListIndex),
      FormatSettingsNumber(f.chkAVCHD.Value),
      FormatSettingsNumber(f.chkMP2.Value),
      FormatSettingsNumber(f.cmbPrio.ListIndex),
      FormatSettingsNumber(f.chkNorm.Value),
  };
}

// Lines 4 to 6, 9 and 11 to 15 hold the options; the others what the program itself keeps
// (tool paths, the last source folder, the encoder options).
bool IsOptionLine(int n) {
  return (n >= 4 && n <= 6) || n == 9 || n >= 11;
}

// The settings file as it is now, split into lines; empty when there is none.
std::vector<std::string> SavedLines(const App& app) {
  std::ifstream in(ResolvePathNoCase(SettingsPath(app, kSettingsFileName)), std::ios::binary);
  if (!in) return {};
  std::ostringstream content;
  content << in.rdbuf();
  return SplitSettingsLines(content.str());
}

// A typed output folder that does not exist is not kept for the next start: the file
// keeps the folder it held (or the home folder, the window's start value).
void KeepExistingOutputFolder(const App& app, std::vector<std::string>& lines) {
  constexpr int kOutputLine = 4;
  if (FileExists(app.form.txtTMP.Text, true)) return;
  const std::vector<std::string> saved = SavedLines(app);
  if (saved.size() >= kOutputLine) {
    lines[kOutputLine - 1] = saved[kOutputLine - 1];
    return;
  }
  const char* home = std::getenv("HOME");
  lines[kOutputLine - 1] = WithTrailingSep(home && *home ? home : "/");
}

std::string SettingsContent(const App& app) {
  std::vector<std::string> lines = SettingsLines(app.form);
  KeepExistingOutputFolder(app, lines);
  std::string content;
  for (int n = 1; n <= kSettingsLines; ++n) {
    const bool kept = app.settingsAsRead && IsOptionLine(n);
    content += (kept ? (*app.settingsAsRead)[n - 1] : lines[n - 1]) + "\r\n";
  }
  return content;
}

}  // namespace

void LoadSettings(App& app) {
  if (!FileHasLength(ResolvePathNoCase(SettingsPath(app, kSettingsFileName)))) {
    // First start: the components the WMV road and the decoder pages need.
    app.ctx.components.RegisterServer(ProgramPath(app.ctx.programFolder, "\\FSFWrap.dll"), true);
    app.ctx.components.RegisterServer(ProgramPath(app.ctx.programFolder, "\\WAVDEST.AX"), true);
    return;
  }
  std::ifstream in(ResolvePathNoCase(SettingsPath(app, "quillet.conf")), std::ios::binary);
  if (!in) return;  // unreadable: the window keeps its start values
  std::ostringstream content;
  content << in.rdbuf();
  in.close();
  ApplySettingsLines(app, SplitSettingsLines(content.str()));
}

void SaveSettings(App& app) {
  const std::string written = SettingsPath(app, kSettingsFileName);
  // The file may have been created under another spelling of its name; it is the same
  // file to the program, so it is the one that gets replaced.
  const std::string existing = ResolvePathNoCase(written);
  if (!ReplaceFileContents(written, SettingsContent(app))) return;
  std::error_code ec;
  if (existing != written && !std::filesystem::equivalent(existing, written, ec) && !ec)
    std::filesystem::remove(existing, ec);
}

void KeepSettingsAsRead(App& app) {
  app.settingsAsRead = SettingsLines(app.form);
}

void Form_DblClick(App& app) {
  std::string batch;
  for (const char* component : {"\\FSFWrap.dll", "\\WAVDEST.AX"})
    batch += "regsvr32 \"" + ProgramPath(app.ctx.programFolder, component) + "\"\r\n";
  // The user's file, beside the settings: an installed program folder is not theirs.
  ReplaceFileContents(SettingsPath(app, "register.bat"), batch);
}

}  // namespace quillet
