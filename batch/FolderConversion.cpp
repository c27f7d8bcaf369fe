// The "Folder" button and the folder window's two buttons.

#include "batch/FolderConversion.h"

#include "app/Program.h"
#include "app/Ui.h"

namespace quillet {
namespace {

constexpr int kXbox360 = 1;  // "Xbox 360" in "Target:"

void HideFolderWindow(App& app) {
  app.frmFolder.Visible = false;
  app.ctx.ui.HideFolderWindow();
}

}  // namespace

void cmdFolder_Click(App& app) {
  // On the Xbox 360 target only Matroska folders are processed: no window to choose.
  if (app.form.cmbPlatform.ListIndex == kXbox360) {
    folderMKV(app);
    return;
  }
  app.frmFolder.Visible = true;
  app.ctx.ui.ShowFolderWindow();
}

void frmFolder_cmdMKV_Click(App& app) {
  HideFolderWindow(app);
  folderMKV(app);
}

void frmFolder_Command2_Click(App& app) {
  HideFolderWindow(app);
  folderAVI(app);
}

}  // namespace quillet
