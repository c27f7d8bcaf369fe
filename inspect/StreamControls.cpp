#include "inspect/StreamControls.h"

#include "inspect/TextPieces.h"

namespace quillet {

void ShowTrackReport(App& app) {
  Form1& form = app.form;
  const TrackTable& audio = app.report.strAudioTracks;
  const TrackTable& subs = app.report.strSubTracks;

  form.cmbAudio.Clear();
  form.cmbSubs.Clear();

  for (int i = 0; i < audio.count; ++i) form.cmbAudio.Items.push_back(audio.rows[i].language);
  // On an empty list there is nothing to select; otherwise the list's click rule picks up
  // the first track, and the same choice is made explicitly below.
  form.cmbAudio.SetListIndex(0);

  const TrackRow first = audio.count > 0 ? audio.rows[0] : TrackRow{};
  if (auto code = ToInt16(first.kind)) form.SelectOption1(*code);
  form.txtS2.Text = first.trackId;

  if (subs.count == 0) {
    form.chkSubs.Visible = false;
    form.cmbSubs.Visible = false;
    form.lblSubs.Visible = false;
    return;
  }
  for (int i = 0; i < subs.count; ++i) form.cmbSubs.Items.push_back(subs.rows[i].language);
  form.cmbSubs.Visible = true;
  form.chkSubs.SetValue(0);
  form.chkSubs.Visible = true;
  form.lblSubs.Visible = true;
  form.cmbSubs.SetListIndex(0);
}

}  // namespace quillet
