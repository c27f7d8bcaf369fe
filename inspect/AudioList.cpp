// The audio list's click rule: the chosen row decides the audio format button and the
// audio track the conversion extracts.
#include "inspect/ReadInfo.h"
#include "inspect/TextPieces.h"

namespace quillet {

void cmbAudio_Click(App& app) {
  const int index = app.form.cmbAudio.ListIndex;
  const TrackTable& audio = app.report.strAudioTracks;
  if (index < 0 || index >= audio.count) return;
  const TrackRow& row = audio.rows[index];
  // A track of a format the program does not know has no code: the format stays as it is.
  if (auto code = ToInt16(row.kind)) app.form.SelectOption1(*code);
  app.form.txtS2.Text = row.trackId;
}

}  // namespace quillet
