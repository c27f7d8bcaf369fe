#include "inspect/StreamControls.h"

#include <array>

#include "inspect/TextPieces.h"

namespace quillet {
namespace {

// The format's name as the format buttons spell it; a format the program does not know
// by its codec id without the "A_" of audio tracks.
std::string CodecName(const TrackRow& row) {
  static constexpr std::array<const char*, 6> kNames = {"AC3", "DTS", "Vorbis",
                                                        "MP3", "AAC", "MP2"};
  if (auto code = ToInt16(row.kind))
    if (*code >= 0 && *code < static_cast<int>(kNames.size())) return kNames[*code];
  const std::string id = row.codecId.rfind("A_", 0) == 0 ? row.codecId.substr(2) : row.codecId;
  return id.substr(0, id.find('/'));
}

std::string ChannelLayout(int channels) {
  switch (channels) {
    case 0:
      return "";
    case 1:
      return "1.0";
    case 2:
      return "2.0";
    case 6:
      return "5.1";
    case 8:
      return "7.1";
    default:
      return std::to_string(channels) + " ch";
  }
}

}  // namespace

std::string AudioListItem(const TrackRow& row, int number) {
  std::string format = CodecName(row);
  const std::string layout = ChannelLayout(row.channels);
  if (!layout.empty()) format += (format.empty() ? "" : " ") + layout;
  std::string item = std::to_string(number) + ": " + TrimBlanks(row.language);
  if (!format.empty()) item += ", " + format;
  if (!row.name.empty()) item += ", \"" + row.name + "\"";
  return row.kind.empty() ? item + " (unknown format)" : item;
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

  for (int i = 0; i < audio.count; ++i)
    form.cmbAudio.Items.push_back(AudioListItem(audio.rows[i], i + 1));
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
