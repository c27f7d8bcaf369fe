#pragma once
// The slot adapters: one function per tool slot of the program folder, each taking the
// arguments exactly as the program writes them. Each prints what it runs on standard
// error, returns 0 on success and non-zero on failure, and leaves its results in place
// only when they are whole.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::toolkit {

struct SlotCall {
  std::string slot;       // the slot's relative path, e.g. "MKVToolnix/mkvinfo.exe"
  std::string invokedAs;  // argv[0] as started (the slot's path in the program folder)
  std::vector<std::string> args;
};

int RunMkvinfo(const SlotCall& call);
int RunMkvextract(const SlotCall& call);
int RunMkvmerge(const SlotCall& call);
int RunX264Checker(const SlotCall& call);
int RunWavgrab(const SlotCall& call);
int RunFfmpeg(const SlotCall& call);
int RunFaad(const SlotCall& call);
int RunSoundstretch(const SlotCall& call);
int RunNormalize(const SlotCall& call);
int RunValdec(const SlotCall& call);
int RunBeSweet(const SlotCall& call);
int RunMp4Box(const SlotCall& call);
int RunMp4Creator(const SlotCall& call);
int RunH264Info(const SlotCall& call);
int RunMencoder(const SlotCall& call);
int RunTsmuxer(const SlotCall& call);
int RunAften(const SlotCall& call);
int RunAviMux(const SlotCall& call);
int RunAsf2Vc1(const SlotCall& call);
int RunMmcl(const SlotCall& call);

// mmcl's report from mediainfo's JSON of `file`: "QPel:" and "GMC:" padded to column 20
// with Yes, No or Unknown, the codec FourCC, or one "Error: ..." line.
std::string AviInfoReport(const std::string& mediainfoJson, const std::string& file);

// --- Argument translation, kept apart from running so it can be checked on its own ---

// FFmpeg: the old AAC encoder name and "kb" bitrates become today's, "-f mp2" before an
// input names the MPEG audio demuxer. inputs/outputs are positions in args.
struct FfmpegCall {
  std::vector<std::string> args;
  std::vector<int> inputs;
  std::vector<int> outputs;
  bool noOverwrite = false;  // -n was given
};
FfmpegCall TranslateFfmpegArgs(const std::vector<std::string>& args);

// MEncoder: what Debian's build refuses or reads otherwise is put as it understands it
// (the table is in toolkit/README.md). outputIndex is the position of the -o value, -1
// when there is none; inputs are the positions of the files it reads (sources, -sub,
// -font, -audiofile). needsPassLog: a pass of a multi-pass encode without its own
// -passlogfile, whose statistics would otherwise land in the folder the program was
// started from. xvidOptsIndex and wantedVideoKb: a negative Xvid bitrate asks for a video
// of that many kB, which Debian's build takes as a rate; the rate is worked out from the
// source's length when it runs.
struct MencoderCall {
  std::vector<std::string> args;
  int outputIndex = -1;
  std::vector<int> inputs;
  std::vector<int> sources;  // the media among the inputs (no option names them)
  bool needsPassLog = false;
  int xvidOptsIndex = -1;
  long long wantedVideoKb = 0;
  std::string videoCodec;     // the -ovc value
  std::string audioCodec;     // the -oac value
  bool demuxerGiven = false;  // -demuxer was given
};
MencoderCall TranslateMencoderArgs(const std::vector<std::string>& args);
std::string FixX264EncOpts(const std::string& options);
// Debian's mencoder decodes the MPEG-4 video of an AVI through its own AVI reader to one
// frame and repeats it: a video encode from an AVI reads it with libavformat instead (a
// stream copy keeps its own reader, which keeps every frame). isAvi tells about a path.
bool NeedsLavfDemuxer(const MencoderCall& call,
                      const std::function<bool(const std::string&)>& isAvi);
// lavc: "mv0" -> "o=mpv_flags=+mv0", "lmin=Q" -> "o=lmin=Q*118" (a lambda, not a QP).
std::string FixLavcOpts(const std::string& options);
// Xvid: a rate of 16000 or more means bits/s to the encoder, kbit/s to the program: it
// is given in bits/s. A negative rate is left for XvidOptsWithRate.
std::string FixXvidEncOpts(const std::string& options);
// The options with bitrate= set to the rate (kbit/s) that gives wantedKb kilobytes of
// video over the seconds (written in bits/s from 16000 kbit/s on).
std::string XvidOptsForSize(const std::string& options, long long wantedKb, double seconds);

// valdec: INPUT -wav OUTPUT [-spk:N] [-fmt:N] [-drc+|-drc-] [-gain:DB] [-drc_power:N] ...
struct ValdecCall {
  std::string input;
  std::string output;
  int speakers = 0;  // 0 as in the source, else 1 to 6 channels
  int format = 0;    // 0 PCM 16-bit, 1 PCM 24-bit, 2 PCM 32-bit, 3 float
  bool drc = false;
  double gainDb = 0;
};
std::optional<ValdecCall> ParseValdecArgs(const std::vector<std::string>& args, std::string* error);
// The ffmpeg argv for a decode; ac3 tells whether the input is AC3 (the only format
// with dynamic range data), sourceLayout is its channel layout as ffprobe names it.
std::vector<std::string> ValdecFfmpegArgv(const ValdecCall& call, bool ac3,
                                          const std::string& sourceLayout, const std::string& input,
                                          const std::string& output);

// BeSweet: -core( -input IN [-2ch] -output OUT ) -ota( -r FROM TO )
struct BeSweetCall {
  std::string input;
  std::string output;
  bool stereo = false;
  long long from = 0, to = 0;  // time scale FROM -> TO (0 when not asked)
};
std::optional<BeSweetCall> ParseBeSweetArgs(const std::vector<std::string>& args,
                                            std::string* error);
// The sample rate the WAV is relabelled with so that it plays TO/FROM times faster.
long long SpeedChangedRate(long long sampleRate, long long from, long long to);

// h264info.ini: [Paths] InputPath=..., OutputPath=...
struct H264InfoPaths {
  std::string input;
  std::string output;
};
std::optional<H264InfoPaths> ParseH264InfoIni(const std::string& text);

// aften: [-b KBPS] IN.wav OUT.ac3. Without -b the rate aften picks for the channels.
struct AftenCall {
  std::string input;
  std::string output;
  int kbps = 0;  // 0: by the channels
};
std::optional<AftenCall> ParseAftenArgs(const std::vector<std::string>& args, std::string* error);
// aften's own default rate for a number of channels without the LFE channel.
int AftenDefaultKbps(int channelsWithoutLfe);

}  // namespace quillet::toolkit
