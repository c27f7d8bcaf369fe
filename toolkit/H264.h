#pragma once
// Reading H.264 sequence parameter sets: from a Matroska/MP4 codec private record
// (avcC) or from an Annex B byte stream, and the decoded-picture-buffer check for
// level 4.1 that the consoles' decoders need.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillet::toolkit {

struct Sps {
  int profileIdc = 0;
  int constraintFlags = 0;
  int levelIdc = 0;
  int id = 0;
  int chromaFormatIdc = 1;
  int maxNumRefFrames = 0;
  int widthInMbs = 0;
  int heightInMbs = 0;  // of a whole frame (two fields count twice)
  bool frameMbsOnly = true;
  bool mbAdaptiveFrameField = false;  // frames may mix field and frame macroblock pairs
  int width = 0, height = 0;          // after cropping
  // What a slice header and its picture order count need.
  bool separateColourPlanes = false;
  int log2MaxFrameNum = 4;
  int pocType = 0;
  int log2MaxPocLsb = 4;  // type 0
  bool deltaPicOrderAlwaysZero = false;
  int offsetForNonRefPic = 0, offsetForTopToBottomField = 0;  // type 1
  std::vector<int> offsetsForRefFrame;                        // type 1, one cycle
  // The video usability information: the clock (0 when absent) and the reorder depth a
  // decoder should buffer (-1 when not given).
  uint32_t numUnitsInTick = 0, timeScale = 0;
  int maxNumReorderFrames = -1;
  size_t vuiFlagBit = 0;  // where vui_parameters_present_flag sits, after the header byte
};

// A NAL unit's payload from `from` on, emulation prevention bytes taken out.
std::vector<uint8_t> NalPayload(const uint8_t* nal, size_t size, size_t from);

// One SPS NAL unit (header byte first, emulation prevention bytes still in).
std::optional<Sps> ParseSps(const std::vector<uint8_t>& nal);

// The SPS NAL unit with its sample aspect ratio set to width:height (usability information
// added when it has none); the unit as it was when it cannot be read.
std::vector<uint8_t> SpsWithSampleAspect(const std::vector<uint8_t>& nal, uint16_t width,
                                         uint16_t height);

// The SPS NAL units of an avcC record; empty when it is none.
std::vector<std::vector<uint8_t>> SpsFromAvcC(const std::vector<uint8_t>& avcc);

// The SPS NAL units met in an Annex B stream (start codes 00 00 01), at most maxCount.
std::vector<std::vector<uint8_t>> SpsFromAnnexB(const std::string& data, size_t maxCount = 4);

// "High", "Main", ... for a profile_idc.
std::string ProfileName(int profileIdc);

struct DpbFit {
  int frameMbs = 0;      // macroblocks of one frame
  int maxDpbFrames = 0;  // frames the level 4.1 buffer holds at that size (at most 16)
  int refFrames = 0;     // what the stream asks for
  bool fits = false;
};

// Level 4.1 holds 32768 macroblocks of decoded pictures; the stream fits when its
// reference frames fit in that at its frame size. The level the stream declares does
// not matter: a stream relabelled 4.1 needs the same buffer.
DpbFit CheckLevel41Dpb(const Sps& sps);

}  // namespace quillet::toolkit
