// The audio list's click rule: the chosen row decides the audio format button and the
// audio track the conversion extracts.
#include "inspect/ReadInfo.h"
#include "inspect/StreamControls.h"

namespace quillet {

void cmbAudio_Click(App& app) {
  const int index = app.form.cmbAudio.ListIndex;
  const TrackTable& audio = app.report.strAudioTracks;
  if (index < 0 || index >= audio.count) return;
  SelectAudioRow(app.form, audio.rows[index]);
}

}  // namespace quillet
