// Reads the Matroska report tool's text report ("info.<pid>.txt" in the output folder) into the
// track report and the window's stream controls. The report is a tree of lines:
//   "|" + indenting blanks + "+ " + element name + ": " + value
// and the values are taken at fixed positions of that layout, e.g. in
//   "|  + Default duration: 41.708ms (23.976 fps for a video track)"
// the frame rate starts at the 34th character, and in "|   + Pixel width: 1920" 19
// characters stand before the value.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/App.h"
#include "base/Files.h"
#include "base/Text.h"
#include "check/FactParsers.h"
#include "inspect/ReadInfo.h"
#include "inspect/ReportReader.h"
#include "inspect/StreamControls.h"
#include "inspect/TextPieces.h"

namespace quillet {
namespace {

using Stop = ReportReader::Stop;

// Audio formats by a piece of the track's "Codec ID" line; the index is the format code.
constexpr std::array<const char*, 6> kAudioCodecIds = {"A_AC3",     "DTS",   "A_VORBIS",
                                                       "A_MPEG/L3", "A_AAC", "A_MPEG/L2"};

constexpr const char* kTrackEntry = "+ A track";
constexpr std::string_view kTrackName = "|  + Name:";
// Any line with this text ends the element search within a track.
constexpr const char* kTrackBoundary = "A track";

class TrackReportParser {
 public:
  TrackReportParser(Form1& form, TrackReport& report, std::vector<std::string> lines)
      : form_(form), report_(report), reader_(std::move(lines)) {}

  void Run() {
    CopyReportAndTestVfw();
    FindCodecAndDuration();
    const bool ownTracks = report_.strVideoCodec == "vc1" || report_.strVideoCodec == "mpeg4";
    // A VFW track that is not VC-1 or MPEG-4 Part 2, and MPEG-2 video, are converted without
    // the track lists.
    if ((report_.bVFW && !ownTracks) || report_.strVideoCodec == "mpeg2") return;
    ScanVideoAndAudioTracks();
    ReadAudioFacts();
    ScanSubtitleTracks();
  }

  std::vector<std::string>& Log() { return log_; }

 private:
  void CopyReportAndTestVfw() {
    reader_.Rewind();
    while (reader_.Read()) {
      const std::string& line = reader_.Line();
      log_.push_back(line);
      RecordAudioCodecId(line);
      if (Contains(line, "VFW/FOURCC")) {
        log_.push_back("Embedded VFW/FOURCC file in mkv");
        form_.txtS1.Text = "1";
        report_.bVFW = true;
      }
    }
  }

  void RecordAudioCodecId(const std::string& line) {
    const size_t at = line.find("Codec ID: A_");
    if (at != std::string::npos) report_.audioCodecIds.push_back(TrimBlanks(line.substr(at + 10)));
  }

  void FindCodecAndDuration() {
    reader_.Rewind();
    while (report_.strVideoCodec != "vc1" && reader_.Read()) {
      const std::string& line = reader_.Line();
      if (Contains(line, "+ Duration:")) ReadDuration(line);
      if (Contains(line, "FourCC: WVC1")) SetCodec("vc1", "VC1 mkv");
      if (Contains(line, "Codec ID: V_MPEG2")) SetCodec("mpeg2", "mpeg2 mkv");
      if (Contains(line, "Codec ID: V_MPEG4/ISO/AVC")) SetCodec("avc", "AVC mkv");
      if (report_.bVFW && IsMpeg4Part2(line)) SetCodec("mpeg4", "Xvid/DivX (MPEG-4 Part 2) mkv");
    }
  }

  // The BITMAPINFOHEADER line of a VFW track names its codec by FourCC ("FourCC: XVID, ...").
  static bool IsMpeg4Part2(const std::string& line) {
    const std::size_t at = line.find("FourCC: ");
    return at != std::string::npos && VideoCodecOfFourcc(line.substr(at + 8, 4)) == "mpeg4";
  }

  void SetCodec(const char* codec, const char* logLine) {
    log_.push_back(logLine);
    report_.strVideoCodec = codec;
  }

  // "| + Duration: 5423.123s (01:30:23.123)": the whole seconds stand between the first
  // colon and the first full stop.
  void ReadDuration(const std::string& line) {
    const std::size_t colon = line.find(':');
    const std::size_t dot = line.find('.');
    if (colon == std::string::npos || dot == std::string::npos || dot <= colon) return;
    if (auto seconds = ToInt32(line.substr(colon + 1, dot - colon - 1)))
      report_.lngDuration = *seconds;
  }

  void ScanVideoAndAudioTracks() {
    reader_.Rewind();
    trackCounter_ = 0;
    reuseLine_ = false;
    bool videoDone = false;
    while (reuseLine_ || !reader_.AtEnd()) {
      if (reuseLine_)
        reuseLine_ = false;
      else
        reader_.Read();
      if (!Contains(reader_.Line(), kTrackEntry)) continue;
      const std::string trackId = std::to_string(++trackCounter_);

      const std::string type =
          reader_.ReadUntil("Track type") ? TrimBlanks(Right(reader_.Line(), 5)) : "";
      if (type == "video" && !videoDone) {
        ReadVideoTrack(trackId);
        videoDone = true;
      }
      if (type == "audio") ReadAudioTrack(trackId);
    }
  }

  // Moves on to the track's line holding `text` (the current line included). A line of
  // the next track ends the search; the track scan examines that line again.
  Stop SeekInTrack(const std::string& text) {
    const Stop stop = reader_.AdvanceTo(text, kTrackBoundary);
    if (stop == Stop::NextTrack) reuseLine_ = true;
    return stop;
  }

  // The piece of the line a search stopped at. A search that ran to the end of the
  // report found nothing, so the last line of the report gives no value.
  std::string PieceAt(Stop stop, std::size_t position, std::size_t count = std::string::npos) {
    return stop == Stop::End ? "" : Mid(reader_.Line(), position, count);
  }

  void ReadVideoTrack(const std::string& trackId) {
    form_.txtS1.Text = trackId;
    log_.push_back("Video found on track " + trackId);

    const Stop rateStop = SeekInTrack("fps for a video track");
    form_.txtSFPS.Text = PieceAt(rateStop, 34, 6);
    report_.bVariableRate = rateStop != Stop::Found;
    if (report_.bVariableRate) log_.push_back("Video has no default duration: variable frame rate");

    const Stop widthStop = SeekInTrack("Pixel width");
    std::string widthText = PieceAt(widthStop, 20);
    if (widthText.empty()) widthText = "0";
    if (auto width = ToInt16(widthText)) report_.intPixelWidth = *width;

    // The height is the line right after the width, "|   + Pixel height: 1080", read from
    // the same position, so its text keeps a leading blank. A track without a width line
    // has no height line either: the next track's entry is not taken for one.
    std::string heightText;
    if (widthStop == Stop::Found && reader_.Read()) {
      if (Contains(reader_.Line(), kTrackBoundary))
        reuseLine_ = true;
      else
        heightText = MidFrom(reader_.Line(), 20);
    }
    if (auto height = ToInt16(heightText)) report_.intPixelHeight = *height;

    const std::string displayText = PieceAt(SeekInTrack("Display width"), 22);

    const auto width = ToInt16(widthText);
    const auto display = ToInt16(displayText);
    if (displayText != widthText && width && display && *width < *display) {
      report_.strPar = ":par=" + displayText + ":" + widthText;
      // The height goes into a tool option: without the blank, or it would split the
      // option into two arguments.
      report_.strQTSize = " -qtw=" + displayText + " -qth=" + TrimBlanks(heightText);
    }
    log_.push_back("Video info: Pixel resolution: " + widthText + "x" + heightText +
                   ". Display resolution adaptation: " + report_.strPar);
  }

  // A track of a format the program does not know keeps an empty code of its own, so it
  // is never taken for the previous track's format.
  void ReadAudioTrack(const std::string& trackId) {
    std::string audioCode, codecId;
    if (reader_.ReadUntil("Codec ID")) {
      const std::string& line = reader_.Line();
      const std::size_t at = line.find("Codec ID:");
      if (at != std::string::npos) codecId = TrimBlanks(line.substr(at + 9));
      for (int code = 0; code < static_cast<int>(kAudioCodecIds.size()); ++code) {
        if (!Contains(line, kAudioCodecIds[code])) continue;
        form_.txtS2.Text = trackId;
        form_.SelectOption1(code);
        // Safe Sync decodes AC3 only.
        if (code != kAudioAC3) form_.chkFF.Enabled = false;
        audioCode = std::to_string(code);
      }
    }
    std::string language = PieceAt(SeekInTrack("Language:"), 15);
    if (language.empty() || TrimBlanks(language) == "und") language = "undefined";
    TrackRow row{language, audioCode, trackId};
    row.codecId = codecId;
    report_.strAudioTracks.Add(std::move(row));
  }

  // The default flag, channel count and sample rate of each audio row, from the lines
  // between its track's entry and the next one: the WAV tool decodes the first track
  // flagged default, the stereo targets need to know whether a track is stereo already,
  // and Blu-ray folders take 48 kHz sound only. The output rate of an AAC track with
  // spectral band replication is the one its decoder gives.
  void ReadAudioFacts() {
    TrackTable& audio = report_.strAudioTracks;
    reader_.Rewind();
    int trackCounter = 0;
    TrackRow* row = nullptr;
    while (reader_.Read()) {
      const std::string& line = reader_.Line();
      if (Contains(line, kTrackEntry)) {
        const std::string id = std::to_string(++trackCounter);
        row = nullptr;
        for (int i = 0; i < audio.count; ++i)
          if (audio.rows[i].trackId == id) row = &audio.rows[i];
        continue;
      }
      if (!row) continue;
      if (Contains(line, "+ Default flag:")) row->isDefault = TrimBlanks(Right(line, 1)) != "0";
      if (line.rfind(kTrackName, 0) == 0) row->name = TrackName(line);
      const std::size_t channels = line.find("+ Channels:");
      if (channels != std::string::npos)
        if (auto n = ToInt16(MidFrom(line, channels + 12))) row->channels = *n;
      for (const char* mark : {"+ Sampling frequency:", "+ Output sampling frequency:"}) {
        const std::size_t at = line.find(mark);
        if (at == std::string::npos) continue;
        const std::string value = TrimBlanks(line.substr(at + std::string(mark).size()));
        if (auto rate = ToInt32(value.substr(0, value.find('.')))) row->sampleRate = *rate;
      }
    }
  }

  // The track's own name (deeper "Name" lines belong to its tags). The report tool writes
  // it percent-encoded in quotes, so that no search of this parser matches free text.
  static std::string TrackName(const std::string& line) {
    std::string name = TrimBlanks(line.substr(kTrackName.size()));
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
      name = name.substr(1, name.size() - 2);
    return PercentDecoded(name);
  }

  void ScanSubtitleTracks() {
    reader_.Rewind();
    int trackCounter = 0;
    std::string kind;
    pendingEntry_ = false;
    while (pendingEntry_ || !reader_.AtEnd()) {
      if (pendingEntry_)
        pendingEntry_ = false;
      else
        reader_.Read();
      const std::string line = reader_.Line();
      if (Contains(line, kTrackEntry)) {
        ++trackCounter;
        continue;
      }
      if (Right(TrimBlanks(line), 9) != "subtitles") continue;
      const std::string trackId = std::to_string(trackCounter);
      if (reader_.ReadUntil("Codec ID")) {
        kind = Right(reader_.Line(), 3);
        if (kind == "TF8") {  // "S_TEXT/UTF8"
          kind = "srt";
          AddSubtitleTrack("Language", kind, trackId);
        }
      }
      if (kind == "SSA" || kind == "ASS") AddSubtitleTrack("Language:", kind, trackId);
      // Bitmap subtitles ("S_VOBSUB", "S_HDMV/PGS") are not offered.
    }
  }

  // The language search stays within the subtitle track: a track without a language
  // line is "undefined", and the next track's entry is still counted. A search that
  // runs to the end of the report records nothing.
  void AddSubtitleTrack(const std::string& languageMark, const std::string& kind,
                        const std::string& trackId) {
    const Stop stop = reader_.ReadUntilInTrack(languageMark, kTrackEntry);
    if (stop == Stop::End) return;
    if (stop == Stop::NextTrack) pendingEntry_ = true;
    std::string language;
    if (stop == Stop::Found) {
      // The value starts 10 characters after the start of "Language:".
      const std::size_t at = reader_.Line().find("Language:");
      language = MidFrom(reader_.Line(), (at == std::string::npos ? 0 : at + 1) + 10);
    }
    if (language.empty() || TrimBlanks(language) == "und") language = "undefined";
    report_.strSubTracks.Add({language, kind, trackId});
  }

  Form1& form_;
  TrackReport& report_;
  ReportReader reader_;
  std::vector<std::string> log_;
  int trackCounter_ = 0;
  bool reuseLine_ = false;     // the track scan examines the current line again
  bool pendingEntry_ = false;  // the subtitle scan examines the current line again
};

}  // namespace

std::vector<std::string> ParseReportLines(Form1& form, TrackReport& report,
                                          std::vector<std::string> lines) {
  report.bVFW = false;
  report.bVariableRate = false;
  report.strPar.clear();
  report.strQTSize.clear();
  report.strVideoCodec.clear();
  report.lngDuration = 0;
  report.strAudioTracks.Reset();
  report.strSubTracks.Reset();
  report.audioCodecIds.clear();
  report.lines = lines;
  // Safe Sync is disabled by a source whose sound it cannot decode; the next source
  // starts from the window's own rule (only "25 FPS output" disables it there).
  form.chkFF.Enabled = form.chk25.Value != 1;
  TrackReportParser parser(form, report, std::move(lines));
  parser.Run();
  return std::move(parser.Log());
}

void ParseTrackReport(App& app) {
  const std::string reportPath = ReportPath(app);
  // Without a report (the report tool failed) the source shows no tracks. The debug log
  // is opened (and so created) either way, and written in one go: a report can run to
  // thousands of lines.
  auto lines = LoadReportLines(reportPath);
  std::vector<std::string> log = ParseReportLines(
      app.form, app.report, lines ? std::move(*lines) : std::vector<std::string>{});
  AppendDebugLog(app.ctx.files.logFolder, log);
  ShowTrackReport(app);
  DeleteFileQuietly(reportPath);
}

}  // namespace quillet
