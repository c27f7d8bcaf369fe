#include "inspect/StreamControls.h"

#include "inspect/TextPieces.h"

namespace quillet {

std::string AudioListItem(const TrackRow& row) {
  return row.kind.empty() ? row.language + " (unknown format)" : row.language;
}

void SelectAudioRow(Form1& form, const TrackRow& row) {
  // A track of a format the program does not know selects no format, so the conversion
  // refuses it instead of sending it down another format's road.
  if (auto code = ToInt16(row.kind))
    form.SelectOption1(*code);
  else
    form.ClearOption1();
  form.txtS2.Text = row.trackId;
}

void ShowTrackReport(App& app) {
  Form1& form = app.form;
  const TrackTable& audio = app.report.strAudioTracks;
  const TrackTable& subs = app.report.strSubTracks;

  form.cmbAudio.Clear();
  form.cmbSubs.Clear();

  for (int i = 0; i < audio.count; ++i) form.cmbAudio.Items.push_back(AudioListItem(audio.rows[i]));
  // On an empty list there is nothing to select; otherwise the list's click rule picks up
  // the first track, and the same choice is made explicitly below.
  form.cmbAudio.SetListIndex(0);

  if (audio.count > 0)
    SelectAudioRow(form, audio.rows[0]);
  else
    form.txtS2.Text.clear();  // no track: the format choice is left as it was

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
