#pragma once
// Form1: the main window as data. Every option is a control; the conversion reads the
// controls directly when it runs. The option rules below keep the choices consistent
// (AVCHD, VOB, recode, 25 fps, Safe Sync / Fast Mux, Xbox 360 versus PS3).

#include <array>
#include <cstdint>
#include <string>

#include "app/Controls.h"
#include "app/StepProgress.h"

namespace quillet {

class Ui;
class MediaGraph;

class Form1 {
 public:
  Form1(Ui& ui, MediaGraph& media);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // --- Option rules (the window's click handlers) ---
  void chk25_Click();
  void chkAVCHD_Click();
  void chkFF_Click();
  void chkMP2_Click();
  void chkVob_Click();
  // "Target:" changed or lost the focus.
  void cmbPlatform_Change();
  void Hideon360();
  void ShowonPS3();
  // "AC3Filter Options": shows the decoder's pages when the filter is registered.
  void Command3_Click();

  // Moves the window in or out of the always-on-top band.
  void SetTopMost(bool onTop);
  void Repaint();

  // Selects Option1(index) and clears the other audio-format buttons.
  void SelectOption1(int index);
  // Clears every audio-format button.
  void ClearOption1();
  // Index of the selected audio-format button, -1 when none.
  int SelectedOption1() const;

  // --- Controls ---
  std::string Caption = "Quillet 0.24 B8";

  Label lblSourcefile, lblOutput, lblTarget, lblReencode, lblPriority;
  TextBox txtFile;
  Button Command1, cmdFolder;
  TextBox txtTMP;
  Button cmdTargetFolder, Command2;
  ComboBox cmbPlatform;
  CheckBox chkAVCHD, chkVob, chkMP2;
  ComboBox cmdConv;
  CheckBox chk25, chkFF, chkNorm, Check1;
  Label Autosplit;
  CheckBox chkDVD;
  ComboBox cmbSize;
  Frame Frame1, Frame2, Frame3;
  ComboBox cmbAudio;
  std::array<OptionButton, 6> Option1;
  TextBox txtS1, txtS2, txtSFPS;
  Label Label2;
  ComboBox cmbSubs;
  Label lblSubs, lblSRTFound;
  Button cmdSubs;
  CheckBox chkSubs, chkChapters, chkShutDown;
  ComboBox cmbPrio;
  Button Command3;
  TextBox txtProgress;
  Label lblMulti;
  // Whether the chosen source plays on the chosen player as it is, and what it needs.
  Label lblVerdict;
  // How far the step of txtProgress is (shown under it, not a control of its own).
  StepProgress progress;

  // --- Window variables (shared with the conversion) ---
  std::string strFullname;
  std::string strType;
  bool b360 = false;
  bool bSplit = false;
  bool bSRT = false;
  std::string strMKV, strMKVmerge, strFF, strMP4;
  std::string strSubBrowse;
  std::string strMKVPath;
  std::string strH264Opts;
  std::string strSubOpts;
  std::string strH264Bitrate;
  std::string strConvOpts;
  bool bSubs = false;
  bool bUnload = false;
  int16_t intListConv = 0;

 private:
  void InitControls();
  void WireClickRules();

  Ui& ui_;
  MediaGraph& media_;
};

}  // namespace quillet
