#pragma once
// The steps of `Convert`, one file each, and the small helpers they share. Internal to
// convert/: the roads beside it (sources/, batch/) use convert/StepHelpers.h.

#include <cstdint>
#include <string>
#include <vector>

#include "app/App.h"
#include "base/StopRequest.h"
#include "check/PlayerLimits.h"
#include "convert/ConvertRun.h"
#include "convert/StepHelpers.h"
#include "inspect/TextPieces.h"  // TrimBlanks, Contains

namespace quillet {

// --- Opening.cpp ---
// The opening of a conversion: inspection, tool paths, option defaults, the Nero
// encoder, the snapshot of the options, the base name.
void OpenConversion(App& app, ConvertRun& run);
void InstallOptionDefaults(Form1& form);
std::string BaseNameOf(const std::string& fullname);

// --- VideoForPlayer.cpp ---
// A film without video, or whose video the player the options aim at cannot take while
// the road copies it (its codec, a 10-bit or 4:2:2 profile, a frame too large), is refused
// with the pre-flight report's reason before any tool runs. True when it was refused.
bool RefuseVideoThePlayerCannotTake(App& app);
// The frame size a re-encode gives the picture: within the chosen player's largest frame
// for the file the road makes, the picture's shape kept.
FrameSize RecodeFrameSize(const App& app);
// The encoder's filter that scales the picture to that size, or "" when it fits as it is.
std::string ScaleFilterFor(const App& app);

// --- SplitSource.cpp ---
// Splits a source that is too large and converts each part through the "Convert"
// button. Returns true when the source was split (Convert ends there).
bool SplitLargeSource(App& app, ConvertRun& run);
// Whether a source of that size is split into parts with these options.
bool SourceWillBeSplit(const Form1& form, int64_t sourceBytes, int32_t threshold);

// --- BranchSelection.cpp ---
// Sends the run down its output branch. Returns true when the branch ended as the MP4
// and M2TS branches do (the closing then clears strSubBrowse and raises the window).
bool RunBranchSelection(App& app, ConvertRun& run);

// --- Extraction.cpp ---
// Track extraction, the re-encode decision, the H.264 re-encode, the debug log line and
// the level adjustment.
void ExtractAndRecode(App& app, ConvertRun& run);
// An H.264 source whose rate varies, remuxed without a re-encode: the extractor writes
// each frame's time beside the stream ("movie_times.txt") for the MP4 to keep.
bool KeepsFrameTimes(const App& app, const ConvertRun& run);

// --- H264Recode.cpp ---
// An AVCHD folder of 720-line video at 25 or 29.97/30 frames, which BD-ROM does not
// define: the video is re-encoded to H.264 at twice the rate, each frame shown twice.
bool AvchdDoublesFrameRate(const App& app);
// Re-encodes the video to "movie.h264"; returns the last encoder command line.
std::string RecodeH264(App& app, ConvertRun& run);

// --- ChosenAudio.cpp ---
// Whether the WAV tool, which names no track, decodes the audio track the user chose.
bool WavToolTakesChosenTrack(const App& app);
// Whether the chosen audio track is of a format the program does not know.
bool ChosenAudioFormatUnknown(const App& app);
// The chosen track's language as Blu-ray folders list it, "" when it names none.
std::string ChosenAudioLanguage(const App& app);
// The chosen track's sample rate as the report gives it, 0 when it gives none.
int ChosenAudioSampleRate(const App& app);
// The chosen audio track decoded to "movie.wav": by the WAV tool from the source when it
// takes that track, else extracted and decoded by its format's decoder. Every road that
// decodes the source's sound calls this.
void DecodeChosenAudioToWav(App& app, const ConvertRun& run);

// --- AudioChain.cpp ---
void RunAudioChain(App& app, ConvertRun& run);

// --- Mp4Assembly.cpp ---
// Deletes the working files an earlier run left in the output folder under the names
// the MP4 road reads or tests.
void ClearStaleMp4Files(const ConvertRun& run);
void AssembleMp4(App& app, ConvertRun& run);

// --- Ac3Audio.cpp ---
// The sound of the transport-stream outputs.
// DTS, AAC, normalised or stereo sound is decoded and encoded anew.
bool TsDecodesAudio(const App& app, const ConvertRun& run);
// AC3 for the PS3 (5.1), not normalised: the muxer takes the source's own track.
bool TsTakesAc3FromSource(const App& app, const ConvertRun& run);
// "Converting Audio": leaves "movie.ac3", or nothing when the source's AC3 is taken.
void ConvertTsAudio(App& app, const ConvertRun& run);
// The chosen sound decoded (resampled to 48 kHz for a Blu-ray folder, normalised when
// asked) and encoded to AC3 at 640 kbit/s. False when the resampling left no sound.
bool EncodeSourceAudioAt640(App& app, const ConvertRun& run, bool at48k = false);
// An AVCHD folder takes AC3 encoded from the chosen track (and not the track itself):
// for AAC and Vorbis, and for sound the report gives at a rate other than 48 kHz.
bool AvchdEncodesAudio(const App& app, const ConvertRun& run);

// --- M2tsBranch.cpp ---
// Header, sound, job file and mux of the PS3 transport stream, after the extraction.
void MuxM2ts(App& app, ConvertRun& run);
// The name the muxer gives part 1, 2, ... of a result it splits; part 1 is the name it
// was given. Each part keeps its name with ".mpg" for ".m2ts".
std::string M2tsPartName(const std::string& baseName, int part);
// Every earlier result (and muxer output) under this run's part names, set aside.
std::vector<EarlierResult> SetAsideEarlierM2ts(App& app, const ConvertRun& run);

// --- AvchdBranch.cpp ---
// False (after saying so) when the folder the muxer is to write exists already.
bool AvchdFolderIsFree(App& app, const ConvertRun& run);
// Sound, warnings, job file and authoring of the AVCHD folder, after the extraction.
void AuthorAvchd(App& app, ConvertRun& run);

// --- TextSubtitleLine.cpp ---
// The subtitle line of an AVCHD or transport-stream job file, drawn by the muxer, or ""
// when there is none (or the video is re-encoded, which burns subtitles in instead).
std::string TextSubtitleLine(App& app, const ConvertRun& run);

// --- Subtitles.cpp ---
// A subtitle file given (browsed for, or --subs) that the road would drop: a box says why
// and the run fails before any tool runs.
bool RefuseSubtitlesTheRoadDrops(App& app);
// How the encoder of a recode burns in subtitles.
enum class BurnIn {
  kSourceTrack,  // a subtitle track of the source, extracted beside the video ("-sid N")
  kFileTrack,    // the subtitle file, the only track of the pre-muxed copy ("-sid 0")
  kNone,         // nothing burnt in: the plain encoder line ("-sid 99")
};
BurnIn ChooseBurnIn(const App& app);
// " " + track id + ":" + quoted output folder + "movie." + kind: the extractor's part for
// the chosen subtitle track of the source, or "" when no source track is burnt in.
std::string SubtitlePart(const App& app, const ConvertRun& run);
// The encoder's font and subtitle options: Q(font) + " -utf8 " + strSubOpts.
std::string BurnInFontOptions(const App& app);
// A subtitle file (browsed, or the ".srt" beside the source) is to be muxed into a copy
// of the source before the conversion.
bool SubtitleRemuxWanted(const Form1& form);
// Muxes the subtitle file into a copy of the source in "tempsrt", converts the copy
// through the "Convert" button and removes the folder again.
void SubtitleRemux(App& app, const ConvertRun& run);

// --- RecodeAudio.cpp ---
// The sound of the Xvid and MPEG-2 recodes, AC3 at 640 kbit/s in "movie.ac3" (the
// subtitle track extracted with it). False after the "Audio error" box; otherwise the
// progress text is `readyText`, unless the source's own AC3 is taken.
bool MakeRecodeAc3(App& app, const ConvertRun& run, const std::string& readyText);
// A file the recodes judge their steps by: there and not empty.
bool HoldsData(const std::string& path);
// The box for a step whose result is missing; leaves "Conversion error.".
void ReportMissingResult(App& app, const std::string& path);
// Deletes the working files an earlier run left under the names the recodes read.
void ClearStaleRecodeFiles(const ConvertRun& run);

// --- XvidRecode.cpp, AviMuxScript.cpp ---
void RecodeXvid(App& app, ConvertRun& run);
// The name of part 1, 2, ... of the AVI the muxer writes: the first keeps the name it
// was given, the others put _002, _003 ... before the extension.
std::string AviPartName(const std::string& baseName, int part);
// The template the AVI muxer script is written from (program folder + "\avimux\quillet.amg").
std::string AviMuxTemplatePath(const App& app);
// The template's lines before its "ENDOFFILE" line; false when it cannot be read or
// has no such line.
bool ReadAviMuxTemplate(const std::string& path, std::vector<std::string>* lines);
// The script text: the template's lines rewritten for this run, then the START line,
// each ended by CR LF.
std::string AviMuxScriptText(const App& app, const ConvertRun& run,
                             const std::vector<std::string>& templateLines, int64_t splitSizeMb);

// --- Mpeg2Recode.cpp, Mpeg2Repack.cpp ---
void RecodeMpeg2(App& app, ConvertRun& run);
// A source whose video is MPEG-2 already: its streams copied into a program stream.
void RepackMpeg2(App& app, const ConvertRun& run);

// --- Vc1Branch.cpp ---
// A VC-1 Matroska film without AVCHD or a re-encode: no tool makes a film of it, so the
// user is told which options do.
void TellVc1NeedsAvchdOrRecode(App& app);

// --- CleanTempFiles.cpp ---
// Deletes the working files an earlier run left under the names the transport-stream
// outputs read or test.
void ClearStaleTsFiles(const ConvertRun& run);

// --- WorkFiles.cpp ---
void DeleteWorkFile(const ConvertRun& run, const std::string& name);
// Gives the working file a new name, replacing a file of that name.
void MoveWorkFile(const ConvertRun& run, const std::string& from, const std::string& to);
// Every occurrence of `what` replaced; an empty `what` changes nothing.
std::string ReplaceAll(std::string text, const std::string& what, const std::string& with);

}  // namespace quillet
