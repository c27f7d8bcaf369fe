#pragma once
// The tool slots of the program folder, each spelled once, as its folder and file are
// made: the program writes them in its tool table ("\MKVToolnix\mkvinfo.exe"), the
// toolkit names them in its slot table and messages ("MKVToolnix/mkvinfo.exe"), and the
// build makes one link to the toolkit for each slot of that table (quillet-toolkit
// --slots lists them).

#include <cstddef>
#include <string_view>

namespace quillet::slot {

// The files a slot keeps beside itself (the header tool's ini, the encoder's pass log) go
// under this folder, in a sub-folder named as the slot's, when the program sets it: an
// installed program folder cannot be written. Unset, they stay beside the slot.
inline constexpr const char* kFilesVariable = "QUILLET_TOOL_FILES";

template <size_t N>
struct SlotPath {
  char link[N] = {};         // relative to the program folder, with '/'
  char program[N + 1] = {};  // as the tool table writes it: a leading '\', '\' between
  constexpr SlotPath(const char (&path)[N]) {
    program[0] = '\\';
    for (size_t i = 0; i < N; ++i) {
      link[i] = path[i];
      program[i + 1] = path[i] == '/' ? '\\' : path[i];
    }
  }
};

inline constexpr SlotPath kMkvInfo{"MKVToolnix/mkvinfo.exe"};
inline constexpr SlotPath kMkvExtract{"MKVToolnix/mkvextract.exe"};
inline constexpr SlotPath kMkvMerge{"MKVToolnix/mkvmerge.exe"};
inline constexpr SlotPath kX264Checker{"Checker/x264_checker.exe"};
inline constexpr SlotPath kWavGrab{"TS/wavgrab.exe"};
inline constexpr SlotPath kFFmpeg{"FFMpeg/FFmpeg.exe"};
inline constexpr SlotPath kFaad{"FFMpeg/faad.exe"};
inline constexpr SlotPath kSoundStretch{"Sounds/soundstretch.exe"};
inline constexpr SlotPath kNormalize{"Sounds/normalize.exe"};
inline constexpr SlotPath kValDec{"ac3filter/valdec.exe"};
inline constexpr SlotPath kBeSweet{"besweet/BeSweet.exe"};
inline constexpr SlotPath kMP4Box{"MP4Box/MP4Box.exe"};
inline constexpr SlotPath kMp4Creator{"MP4Box/mp4creator.exe"};
inline constexpr SlotPath kH264Info{"h264info/h264info.exe"};
inline constexpr SlotPath kMencoder{"Mencoder/Mencoder.exe"};
inline constexpr SlotPath kTsMuxer{"TS/tsmuxer.exe"};
inline constexpr SlotPath kAften{"aften/aften.exe"};
inline constexpr SlotPath kAviMux{"avimux/avimux_gui.exe"};
inline constexpr SlotPath kAsfToVc1{"TS/asf2vc1.exe"};
inline constexpr SlotPath kEncWavToAc3{"aften/EncWAVtoAC3.exe"};
inline constexpr SlotPath kMmcl{"Checker/mmcl.exe"};

// Two spellings of one path without regard to ASCII case, as Windows finds files: the
// program spells some slots in another case than their folders are made.
constexpr bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

}  // namespace quillet::slot
