#include "queue/WindowOptions.h"

namespace quillet {
namespace {

template <typename Form>
auto Boxes(Form& f) {
  return std::array{&f.chkAVCHD, &f.chkVob, &f.chkMP2,  &f.chk25,       &f.chkFF,      &f.chkNorm,
                    &f.Check1,   &f.chkDVD, &f.chkSubs, &f.chkChapters, &f.chkShutDown};
}

template <typename Form>
auto Lists(Form& f) {
  return std::array{&f.cmbPlatform, &f.cmdConv, &f.cmbSize, &f.cmbPrio};
}

bool SameBox(const CheckBox& a, const CheckBox& b) {
  return a.Value == b.Value && a.Enabled == b.Enabled && a.Visible == b.Visible &&
         a.Caption == b.Caption;
}

}  // namespace

bool WindowOptions::operator==(const WindowOptions& other) const {
  for (size_t i = 0; i < boxes.size(); ++i)
    if (!SameBox(boxes[i], other.boxes[i])) return false;
  return lists == other.lists && outputFolder == other.outputFolder &&
         subtitleFile == other.subtitleFile && savedFormat == other.savedFormat &&
         normalPriority == other.normalPriority;
}

WindowOptions TakeWindowOptions(const App& app) {
  const Form1& f = app.form;
  WindowOptions options;
  const auto boxes = Boxes(f);
  for (size_t i = 0; i < boxes.size(); ++i) {
    options.boxes[i] = *boxes[i];
    options.boxes[i].OnClick = nullptr;
  }
  const auto lists = Lists(f);
  for (size_t i = 0; i < lists.size(); ++i) options.lists[i] = lists[i]->ListIndex;
  options.outputFolder = f.txtTMP.Text;
  options.subtitleFile = f.strSubBrowse;
  options.savedFormat = f.intListConv;
  options.normalPriority = app.normalPriority;
  return options;
}

void RestoreWindowOptions(App& app, const WindowOptions& options) {
  Form1& f = app.form;
  const auto boxes = Boxes(f);
  for (size_t i = 0; i < boxes.size(); ++i) {
    const CheckBox& kept = options.boxes[i];
    boxes[i]->Value = kept.Value;
    boxes[i]->Enabled = kept.Enabled;
    boxes[i]->Visible = kept.Visible;
    boxes[i]->Caption = kept.Caption;
  }
  const auto lists = Lists(f);
  for (size_t i = 0; i < lists.size(); ++i) lists[i]->ListIndex = options.lists[i];
  f.txtTMP.Text = options.outputFolder;
  f.strSubBrowse = options.subtitleFile;
  f.intListConv = options.savedFormat;
  app.normalPriority = options.normalPriority;
}

}  // namespace quillet
