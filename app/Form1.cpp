#include "app/Form1.h"

#include <cstdlib>

#include "app/Ui.h"
#include "sys/MediaGraph.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

constexpr const char* kConvToolTip =
    "Select the video recoding format. The higher the quality, the slower the encode.. (in "
    "order of speed/quality: MPEG2, Xvid, h264, h264(HQ))";

// The start folder that stands for the first drive letter on Windows.
std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return WithTrailingSep(home && *home ? home : "/");
}

template <typename C>
void Init(C& control, const char* name, const char* caption, const char* toolTip = "") {
  control.Name = name;
  control.Caption = caption;
  control.ToolTip = toolTip;
}

void Disable(Control& c) {
  c.Enabled = false;
}
void Enable(Control& c) {
  c.Enabled = true;
}
void ClearAndDisable(CheckBox& c) {
  c.SetValue(0);
  c.Enabled = false;
}

}  // namespace

Form1::Form1(Ui& ui, MediaGraph& media) : ui_(ui), media_(media) {
  InitControls();
  WireClickRules();
}

void Form1::InitControls() {
  Init(lblSourcefile, "lblSourcefile", "Sourcefile");
  Init(lblOutput, "lblOutput", "Output folder");
  Init(lblTarget, "lblTarget", "Target:");
  Init(lblReencode, "lblReencode", "Re-encode to:");
  Init(lblPriority, "lblPriority", "Priority:");
  Init(txtFile, "txtFile", "");
  Init(Command1, "Command1", "File", "Convert a single file.");
  Init(cmdFolder, "cmdFolder", "Folder", "Convert a single folder filles with files.");
  Init(txtTMP, "txtTMP", "");
  txtTMP.Text = HomeFolder();
  Init(cmdTargetFolder, "cmdTargetFolder", "Set Output");
  Init(Command2, "Command2", "Convert");
  Command2.Enabled = false;  // until a film that can be read is chosen

  Init(cmbPlatform, "cmbPlatform", "");
  cmbPlatform.Items = {"PS3 (5.1)", "Xbox 360", "PS3  (2.0)"};
  Init(chkAVCHD, "chkAVCHD", "AVCHD (BR/PS3)",
       "Create a AVCHD compatible folder strucure for use on Bluray players.");
  Init(chkVob, "chkVob", "Mux to Vob (PS3)",
       "PS3 only method to encode 5.1 audio + h264 video in a m2ts");
  Init(chkMP2, "chkMP2", "MPEG2 Recode",
       "Encode to selected format. Used to be able to play otherwise incompatible movies.");
  Init(cmdConv, "cmdConv", "", kConvToolTip);
  cmdConv.Items = {"MPEG2", "H264", "Xvid", "H264 (HQ)"};
  cmdConv.DropDownList = false;
  Init(chk25, "chk25", "25 FPS output",
       "Speed up the video slightly, to play exteremely smooth on 720p50 displays.");
  Init(chkFF, "chkFF", "Safe Sync", "Decode ac3 audio with ffmpeg to try to bypass sync issues.");
  Init(chkNorm, "chkNorm", "Normalize audio",
       "Bring the sound to an even loudness. The sound is then encoded again, which takes "
       "longer.");
  Init(Check1, "Check1", "Check1",
       "Split movies larger then 4 GB for compatibility of MP4 files with PS3 and Xbox 360.");
  Check1.Value = 1;
  Init(Autosplit, "Autosplit", "Split > 4GB ?",
       "Needed for MP4 on PS3, and where you want to store data on a FAT32 disk.");
  Init(chkDVD, "chkDVD", " Fit to",
       "Size a re-encode to fill the disc chosen beside it, and split the output at that "
       "disc's size.");
  Init(cmbSize, "cmbSize", "", "The disc \"Fit to\" sizes for: DVD5, DVD9 or Blu-ray.");
  cmbSize.Items = {"DVD5", "DVD9", "Blu-ray"};
  cmbSize.DropDownList = false;

  Init(Frame1, "Frame1", "Streams", "AV streams in MKV");
  Init(Frame2, "Frame2", "Audio", "Original Audio format ");
  Init(Frame3, "Frame3", "FPS", "Frames per second in h264");
  Frame3.Visible = false;
  Init(cmbAudio, "cmbAudio", "");
  const char* formats[] = {"AC3", "DTS", "OGG", "MP3", "AAC", "MP2"};
  for (int i = 0; i < 6; ++i) {
    Init(Option1[i], "Option1", formats[i]);
    Option1[i].Visible = Option1[i].Enabled = false;
  }
  for (TextBox* t : {&txtS1, &txtS2, &txtSFPS}) t->Visible = t->Enabled = false;
  Init(txtS1, "txtS1", "");
  txtS1.Text = "1";
  Init(txtS2, "txtS2", "");
  txtS2.Text = "2";
  Init(txtSFPS, "txtSFPS", "");
  txtSFPS.Text = "23.976";

  Init(Label2, "Label2", "Subtitles");
  Init(cmbSubs, "cmbSubs", "");
  cmbSubs.Visible = false;
  Init(lblSubs, "lblSubs", "subtitles");
  lblSubs.Visible = false;
  Init(lblSRTFound, "lblSRTFound", "SRT Found !");
  lblSRTFound.Visible = false;
  Init(cmdSubs, "cmdSubs", "Browse Subs");
  Init(chkSubs, "chkSubs", "Embed subs",
       "When recoding the video to another format, 'burn' the subtitles in the video stream.");
  chkSubs.Visible = false;
  Init(chkChapters, "chkChapters", "Add Chapters");
  chkChapters.Value = 1;
  chkChapters.Visible = false;
  Init(chkShutDown, "chkShutDown", "Shutdown after conversion.");
  Init(cmbPrio, "cmbPrio", "",
       "Set process priority. The higher the priority, the less responsive other "
       "applications will be.");
  cmbPrio.Items = {"Low", "High"};
  cmbPrio.DropDownList = false;
  Init(Command3, "Command3", "AC3Filter Options");
  Init(txtProgress, "txtProgress", "");
  txtProgress.Text = "progress......";
  Init(lblMulti, "lblMulti", "");
  Init(lblVerdict, "lblVerdict", "");
}

void Form1::WireClickRules() {
  chk25.OnClick = [this] { chk25_Click(); };
  chkAVCHD.OnClick = [this] { chkAVCHD_Click(); };
  chkFF.OnClick = [this] { chkFF_Click(); };
  chkMP2.OnClick = [this] { chkMP2_Click(); };
  chkVob.OnClick = [this] { chkVob_Click(); };
}

void Form1::chk25_Click() {
  for (CheckBox* c : {&chkMP2, &chkVob, &chkFF}) c->Enabled = chk25.Value != 1;
}

void Form1::chkAVCHD_Click() {
  if (chkAVCHD.Value == 1) {
    chkFF.Caption = "Fast Mux";
    Enable(chkSubs);
    ClearAndDisable(chkVob);
    ClearAndDisable(chk25);
    intListConv = static_cast<int16_t>(cmdConv.ListIndex);
    cmdConv.SetListIndex(1);
  } else {
    chkFF.Caption = "Safe Sync";
    cmdConv.SetListIndex(intListConv);
    Enable(chkMP2);
    Enable(chkVob);
    Enable(chk25);
  }
}

void Form1::chkFF_Click() {
  if (chkFF.Caption != "Safe Sync") return;  // "Fast Mux" only names the muxing mode
  if (chkFF.Value == 1) {
    ClearAndDisable(chkMP2);
    ClearAndDisable(chkVob);
    ClearAndDisable(chk25);
    ClearAndDisable(chkAVCHD);
    Repaint();
  } else {
    for (CheckBox* c : {&chkMP2, &chkVob, &chk25, &chkAVCHD}) Enable(*c);
  }
}

void Form1::chkMP2_Click() {
  if (chkMP2.Value == 1) {
    Enable(chkMP2);
    Disable(chk25);
    Enable(chkSubs);
  } else {
    Disable(chkSubs);
    chkSubs.SetValue(0);
    Enable(chkFF);
    Enable(chkVob);
    Enable(chk25);
  }
  Repaint();
}

void Form1::chkVob_Click() {
  if (chkVob.Value == 1) {
    chkFF.Caption = "Fast Mux";
    ClearAndDisable(chk25);
    ClearAndDisable(chkAVCHD);
  } else {
    chkFF.Caption = "Safe Sync";
    Enable(chk25);
    Enable(chkAVCHD);
  }
}

void Form1::cmbPlatform_Change() {
  if (cmbPlatform.ListIndex == 1)
    Hideon360();
  else
    ShowonPS3();
}

void Form1::Hideon360() {
  chkAVCHD.SetValue(0);
  chkAVCHD.Visible = false;
  chkVob.SetValue(0);
  chkVob.Visible = false;
}

void Form1::ShowonPS3() {
  chkAVCHD.Visible = true;
  chkVob.Visible = true;
}

void Form1::Command3_Click() {
  // Without the decoder's filter registered nothing happens and nothing is shown.
  if (media_.HasRegisteredFilter("AC3Filter")) media_.ShowFilterPages("AC3Filter");
}

void Form1::SetTopMost(bool onTop) {
  ui_.SetTopMost(onTop);
}
void Form1::Repaint() {
  ui_.Repaint();
}

void Form1::SelectOption1(int index) {
  if (index < 0 || index >= static_cast<int>(Option1.size())) return;
  for (int i = 0; i < static_cast<int>(Option1.size()); ++i) Option1[i].Value = (i == index);
}

void Form1::ClearOption1() {
  for (OptionButton& button : Option1) button.Value = false;
}

int Form1::SelectedOption1() const {
  for (int i = 0; i < static_cast<int>(Option1.size()); ++i)
    if (Option1[i].Value) return i;
  return -1;
}

}  // namespace quillet
