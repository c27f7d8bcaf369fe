#include "toolkit/H264.h"

#include <algorithm>

#include "base/BitStream.h"

namespace quillet::toolkit {
namespace {

constexpr int kLevel41MaxDpbMbs = 32768;

void SkipScalingList(BitReader& r, int size) {
  int last = 8, next = 8;
  for (int j = 0; j < size; ++j) {
    if (next != 0) next = (last + r.Se() + 256) % 256;
    last = next == 0 ? last : next;
  }
}

bool HasChromaInfo(int profile) {
  switch (profile) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
      return true;
    default:
      return false;
  }
}

void SkipHrd(BitReader& r) {
  unsigned count = r.Ue() + 1;
  r.Bits(8);  // bit_rate_scale, cpb_size_scale
  for (unsigned i = 0; i < count && !r.Failed(); ++i) r.Ue(), r.Ue(), r.Bit();
  r.Bits(20);  // the delay and time offset lengths
}

// The clock and the reorder depth; the rest of the usability information is skipped.
void ReadVui(BitReader& r, Sps& s) {
  if (r.Bit() && r.Bits(8) == 255) r.Bits(32);  // aspect_ratio_idc, extended SAR
  if (r.Bit()) r.Bit();                         // overscan
  if (r.Bit()) {                                // video_signal_type
    r.Bits(4);
    if (r.Bit()) r.Bits(24);  // colour description
  }
  if (r.Bit()) r.Ue(), r.Ue();  // chroma_loc_info
  if (r.Bit()) {
    s.numUnitsInTick = r.U32();
    s.timeScale = r.U32();
    r.Bit();  // fixed_frame_rate_flag
  }
  bool nalHrd = r.Bit();
  if (nalHrd) SkipHrd(r);
  bool vclHrd = r.Bit();
  if (vclHrd) SkipHrd(r);
  if (nalHrd || vclHrd) r.Bit();  // low_delay_hrd_flag
  r.Bit();                        // pic_struct_present_flag
  if (r.Bit()) {                  // bitstream_restriction_flag
    r.Bit();
    for (int i = 0; i < 4; ++i) r.Ue();  // sizes and motion vector lengths
    int reorder = static_cast<int>(r.Ue());
    r.Ue();  // max_dec_frame_buffering
    if (!r.Failed()) s.maxNumReorderFrames = reorder;
  }
}

}  // namespace

std::vector<uint8_t> NalPayload(const uint8_t* nal, size_t size, size_t from) {
  std::vector<uint8_t> out;
  out.reserve(size > from ? size - from : 0);
  int zeros = 0;
  for (size_t i = from; i < size; ++i) {
    if (zeros >= 2 && nal[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = nal[i] == 0 ? zeros + 1 : 0;
    out.push_back(nal[i]);
  }
  return out;
}

std::optional<Sps> ParseSps(const std::vector<uint8_t>& nal) {
  if (nal.size() < 4 || (nal[0] & 0x1F) != 7) return std::nullopt;
  BitReader r(NalPayload(nal.data(), nal.size(), 1));
  Sps s;
  s.profileIdc = static_cast<int>(r.Bits(8));
  s.constraintFlags = static_cast<int>(r.Bits(8));
  s.levelIdc = static_cast<int>(r.Bits(8));
  s.id = static_cast<int>(r.Ue());
  if (HasChromaInfo(s.profileIdc)) {
    s.chromaFormatIdc = static_cast<int>(r.Ue());
    if (s.chromaFormatIdc == 3) s.separateColourPlanes = r.Bit();
    r.Ue();         // bit_depth_luma_minus8
    r.Ue();         // bit_depth_chroma_minus8
    r.Bit();        // qpprime_y_zero_transform_bypass_flag
    if (r.Bit()) {  // seq_scaling_matrix_present_flag
      int lists = s.chromaFormatIdc != 3 ? 8 : 12;
      for (int i = 0; i < lists; ++i)
        if (r.Bit()) SkipScalingList(r, i < 6 ? 16 : 64);
    }
  }
  s.log2MaxFrameNum = static_cast<int>(r.Ue()) + 4;
  s.pocType = static_cast<int>(r.Ue());
  if (s.pocType == 0) {
    s.log2MaxPocLsb = static_cast<int>(r.Ue()) + 4;
  } else if (s.pocType == 1) {
    s.deltaPicOrderAlwaysZero = r.Bit();
    s.offsetForNonRefPic = r.Se();
    s.offsetForTopToBottomField = r.Se();
    unsigned cycle = r.Ue();
    if (cycle > 255) return std::nullopt;
    for (unsigned i = 0; i < cycle; ++i) s.offsetsForRefFrame.push_back(r.Se());
  }
  if (s.pocType > 2 || s.log2MaxFrameNum > 16 || s.log2MaxPocLsb > 16) return std::nullopt;
  s.maxNumRefFrames = static_cast<int>(r.Ue());
  r.Bit();  // gaps_in_frame_num_value_allowed_flag
  s.widthInMbs = static_cast<int>(r.Ue()) + 1;
  int mapUnits = static_cast<int>(r.Ue()) + 1;
  s.frameMbsOnly = r.Bit();
  s.heightInMbs = mapUnits * (s.frameMbsOnly ? 1 : 2);
  if (!s.frameMbsOnly) s.mbAdaptiveFrameField = r.Bit();
  r.Bit();  // direct_8x8_inference_flag
  int cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
  if (r.Bit()) {
    cropLeft = static_cast<int>(r.Ue());
    cropRight = static_cast<int>(r.Ue());
    cropTop = static_cast<int>(r.Ue());
    cropBottom = static_cast<int>(r.Ue());
  }
  if (r.Failed() || s.widthInMbs > 1024 || s.heightInMbs > 1024) return std::nullopt;
  // A cut-off usability part leaves the clock unknown, the picture still known.
  s.vuiFlagBit = r.BitPosition();
  if (r.Bit()) ReadVui(r, s);
  if (r.Failed()) s.numUnitsInTick = s.timeScale = 0;
  int chroma = s.separateColourPlanes ? 0 : s.chromaFormatIdc;
  int cropUnitX = chroma == 0 ? 1 : (chroma == 3 ? 1 : 2);
  int cropUnitY = (chroma == 0 ? 1 : (chroma == 1 ? 2 : 1)) * (s.frameMbsOnly ? 1 : 2);
  s.width = s.widthInMbs * 16 - cropUnitX * (cropLeft + cropRight);
  s.height = s.heightInMbs * 16 - cropUnitY * (cropTop + cropBottom);
  return s;
}

std::vector<uint8_t> SpsWithSampleAspect(const std::vector<uint8_t>& nal, uint16_t width,
                                         uint16_t height) {
  auto sps = ParseSps(nal);
  if (!sps) return nal;
  const std::vector<uint8_t> rbsp = NalPayload(nal.data(), nal.size(), 1);
  // The payload ends at its stop bit, the last bit set.
  size_t stop = rbsp.size() * 8;
  while (stop > 0 && !((rbsp[(stop - 1) / 8] >> (7 - (stop - 1) % 8)) & 1)) --stop;
  if (stop == 0 || stop - 1 < sps->vuiFlagBit + 1) return nal;
  --stop;
  BitReader r(rbsp);
  BitWriter w;
  auto copyTo = [&](size_t bit) {
    while (r.BitPosition() < bit) {
      const int n = static_cast<int>(std::min<size_t>(32, bit - r.BitPosition()));
      w.Bits(r.Bits(n), n);
    }
  };
  copyTo(sps->vuiFlagBit);
  const bool hadVui = r.Bit();
  w.Bits(1, 1);             // vui_parameters_present_flag
  w.Bits(1, 1), w.U8(255);  // aspect_ratio_info_present_flag, Extended_SAR
  w.U16(width), w.U16(height);
  if (!hadVui)
    w.Bits(0, 8);  // none of the other usability flags
  else if (r.Bit() && r.Bits(8) == 255)
    r.Bits(32);  // the old ratio goes
  if (r.BitPosition() > stop) return nal;
  copyTo(stop);
  w.Bits(1, 1);  // rbsp_stop_one_bit
  while (!w.Aligned()) w.Bits(0, 1);
  // Emulation prevention back in: no 00 00 followed by 00..03 inside the unit.
  std::vector<uint8_t> out{nal[0]};
  int zeros = 0;
  for (uint8_t b : w.Bytes()) {
    if (zeros >= 2 && b <= 3) out.push_back(3), zeros = 0;
    out.push_back(b);
    zeros = b == 0 ? zeros + 1 : 0;
  }
  return out;
}

std::vector<std::vector<uint8_t>> SpsFromAvcC(const std::vector<uint8_t>& avcc) {
  std::vector<std::vector<uint8_t>> out;
  if (avcc.size() < 7 || avcc[0] != 1) return out;
  int count = avcc[5] & 0x1F;
  size_t pos = 6;
  for (int i = 0; i < count; ++i) {
    if (pos + 2 > avcc.size()) break;
    size_t length = (static_cast<size_t>(avcc[pos]) << 8) | avcc[pos + 1];
    pos += 2;
    if (pos + length > avcc.size()) break;
    out.emplace_back(avcc.begin() + static_cast<long>(pos),
                     avcc.begin() + static_cast<long>(pos + length));
    pos += length;
  }
  return out;
}

std::vector<std::vector<uint8_t>> SpsFromAnnexB(const std::string& data, size_t maxCount) {
  std::vector<std::vector<uint8_t>> out;
  size_t pos = 0;
  auto nextStart = [&](size_t from) {
    size_t found = data.find(std::string("\0\0\1", 3), from);
    return found == std::string::npos ? data.size() : found;
  };
  pos = nextStart(0);
  while (pos < data.size() && out.size() < maxCount) {
    size_t begin = pos + 3;
    size_t end = nextStart(begin);
    if (begin < data.size() && (static_cast<uint8_t>(data[begin]) & 0x1F) == 7) {
      size_t stop = end;
      // The zero byte of a following four-byte start code is not part of this unit.
      while (stop > begin && data[stop - 1] == '\0') --stop;
      out.emplace_back(data.begin() + static_cast<long>(begin),
                       data.begin() + static_cast<long>(stop));
    }
    pos = end;
  }
  return out;
}

std::string ProfileName(int profileIdc) {
  switch (profileIdc) {
    case 66:
      return "Baseline";
    case 77:
      return "Main";
    case 88:
      return "Extended";
    case 100:
      return "High";
    case 110:
      return "High 10";
    case 122:
      return "High 4:2:2";
    case 244:
      return "High 4:4:4 Predictive";
    case 44:
      return "CAVLC 4:4:4 Intra";
    default:
      return "Unknown";
  }
}

DpbFit CheckLevel41Dpb(const Sps& sps) {
  DpbFit fit;
  fit.frameMbs = sps.widthInMbs * sps.heightInMbs;
  fit.maxDpbFrames = fit.frameMbs > 0 ? std::min(kLevel41MaxDpbMbs / fit.frameMbs, 16) : 0;
  fit.refFrames = sps.maxNumRefFrames;
  fit.fits = fit.frameMbs > 0 && fit.refFrames <= fit.maxDpbFrames;
  return fit;
}

}  // namespace quillet::toolkit
