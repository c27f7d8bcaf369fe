#pragma once
// frmFolder: the small second window of the "Folder" button, as data. It asks which
// kind of folder to process; the Qt window renders it, the folder runs read it.

#include <string>

#include "app/Controls.h"

namespace quillet {

struct FolderForm {
  FolderForm() {
    cmdMKV.Name = "cmdMKV";
    cmdMKV.Caption = "MKV folder";
    Command2.Name = "Command2";
    Command2.Caption = "AVI Folder";
  }

  std::string Caption = "Folder conversion";
  Button cmdMKV;
  Button Command2;
  // Not modal, and only hidden after a choice, never unloaded: it can be shown again.
  bool Visible = false;
};

}  // namespace quillet
