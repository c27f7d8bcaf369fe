#include "toolkit/es/H264Pictures.h"

#include <algorithm>

#include "base/BitStream.h"

namespace quillet::toolkit::es {
namespace {

bool IsB(int sliceType) {
  return sliceType == 1;
}
bool IsIntra(int sliceType) {
  return sliceType == 2 || sliceType == 4;
}

void SkipSliceGroups(BitReader& r, unsigned groups) {
  unsigned mapType = r.Ue();
  if (mapType == 0) {
    for (unsigned i = 0; i < groups && !r.Failed(); ++i) r.Ue();  // run_length_minus1
  } else if (mapType == 2) {
    for (unsigned i = 0; i + 1 < groups && !r.Failed(); ++i) r.Ue(), r.Ue();
  } else if (mapType >= 3 && mapType <= 5) {
    r.Bit(), r.Ue();  // change direction and rate
  } else if (mapType == 6) {
    unsigned units = r.Ue() + 1;
    int bits = 0;
    while ((1u << bits) < groups) ++bits;
    for (unsigned i = 0; i < units && !r.Failed(); ++i) r.Bits(bits);
  }
}

void SkipListModification(BitReader& r) {
  if (!r.Bit()) return;
  for (unsigned idc = r.Ue(); idc != 3 && !r.Failed(); idc = r.Ue()) r.Ue();
}

void SkipWeights(BitReader& r, int count, bool chroma) {
  for (int i = 0; i < count && !r.Failed(); ++i) {
    if (r.Bit()) r.Se(), r.Se();
    if (chroma && r.Bit())
      for (int j = 0; j < 4; ++j) r.Se();
  }
}

// Reads on from the redundant picture count to the reference marking, for its mmco 5.
void ReadMarking(BitReader& r, const Sps& sps, const Pps& pps, SliceHeader& h) {
  int refs[2] = {pps.numRefIdxDefault[0], pps.numRefIdxDefault[1]};
  if (IsB(h.sliceType)) r.Bit();  // direct_spatial_mv_pred_flag
  if (!IsIntra(h.sliceType) && r.Bit()) {
    refs[0] = static_cast<int>(r.Ue()) + 1;
    if (IsB(h.sliceType)) refs[1] = static_cast<int>(r.Ue()) + 1;
  }
  if (!IsIntra(h.sliceType)) SkipListModification(r);
  if (IsB(h.sliceType)) SkipListModification(r);
  bool predicted = h.sliceType == 0 || h.sliceType == 3;
  if ((pps.weightedPred && predicted) || (pps.weightedBipredIdc == 1 && IsB(h.sliceType))) {
    bool chroma = !sps.separateColourPlanes && sps.chromaFormatIdc != 0;
    r.Ue();
    if (chroma) r.Ue();
    SkipWeights(r, std::min(refs[0], 32), chroma);
    if (IsB(h.sliceType)) SkipWeights(r, std::min(refs[1], 32), chroma);
  }
  if (h.nalRefIdc == 0) return;
  if (h.idr) return;  // no_output_of_prior_pics and long_term_reference flags follow
  if (!r.Bit()) return;
  for (unsigned op = r.Ue(); op != 0 && !r.Failed(); op = r.Ue()) {
    if (op == 5) h.mmco5 = true;
    if (op == 1 || op == 2 || op == 3 || op == 4 || op == 6) r.Ue();
    if (op == 3) r.Ue();
  }
}

}  // namespace

std::optional<Pps> ParsePps(const uint8_t* nal, size_t size) {
  BitReader r(NalPayload(nal, size, 1));
  Pps p;
  p.id = static_cast<int>(r.Ue());
  p.spsId = static_cast<int>(r.Ue());
  r.Bit();  // entropy_coding_mode_flag
  p.bottomFieldPicOrderInFramePresent = r.Bit();
  unsigned groups = r.Ue() + 1;
  if (groups > 8) return std::nullopt;
  if (groups > 1) SkipSliceGroups(r, groups);
  p.numRefIdxDefault[0] = static_cast<int>(r.Ue()) + 1;
  p.numRefIdxDefault[1] = static_cast<int>(r.Ue()) + 1;
  p.weightedPred = r.Bit();
  p.weightedBipredIdc = static_cast<int>(r.Bits(2));
  r.Se(), r.Se(), r.Se();  // pic_init_qp, pic_init_qs, chroma_qp_index_offset
  r.Bits(2);               // deblocking_filter_control, constrained_intra_pred
  p.redundantPicCntPresent = r.Bit();
  if (r.Failed() || p.id > 255 || p.spsId > 31) return std::nullopt;
  return p;
}

bool HasRecoveryPoint(const uint8_t* nal, size_t size) {
  const std::vector<uint8_t> sei = NalPayload(nal, size, 1);
  size_t at = 0;
  auto number = [&] {
    size_t value = 0;
    while (at < sei.size() && sei[at] == 0xFF) value += 255, ++at;
    return at < sei.size() ? value + sei[at++] : value;
  };
  // Each message: its type, its size, its bytes; the last byte is the stop bit.
  while (at + 1 < sei.size()) {
    size_t type = number(), length = number();
    if (type == 6) return true;
    at += length;
  }
  return false;
}

std::optional<SliceHeader> ParseSliceHeader(const uint8_t* nal, size_t size,
                                            const ParameterSets& sets) {
  if (size < 2) return std::nullopt;
  BitReader r(NalPayload(nal, size, 1));
  SliceHeader h;
  h.nalRefIdc = (nal[0] >> 5) & 3;
  h.idr = (nal[0] & 0x1F) == 5;
  h.firstMb = static_cast<int>(r.Ue());
  h.sliceType = static_cast<int>(r.Ue() % 5);
  h.ppsId = static_cast<int>(r.Ue());
  auto pps = sets.pps.find(h.ppsId);
  if (r.Failed() || pps == sets.pps.end()) return std::nullopt;
  auto found = sets.sps.find(pps->second.spsId);
  if (found == sets.sps.end()) return std::nullopt;
  const Sps& sps = found->second;
  if (sps.separateColourPlanes) r.Bits(2);
  h.frameNum = static_cast<int>(r.Bits(sps.log2MaxFrameNum));
  if (!sps.frameMbsOnly && (h.field = r.Bit())) h.bottom = r.Bit();
  if (h.idr) h.idrPicId = static_cast<int>(r.Ue());
  bool bottomDelta = pps->second.bottomFieldPicOrderInFramePresent && !h.field;
  if (sps.pocType == 0) {
    h.pocLsb = static_cast<int>(r.Bits(sps.log2MaxPocLsb));
    if (bottomDelta) h.deltaPocBottom = r.Se();
  } else if (sps.pocType == 1 && !sps.deltaPicOrderAlwaysZero) {
    h.deltaPoc[0] = r.Se();
    if (bottomDelta) h.deltaPoc[1] = r.Se();
  }
  if (pps->second.redundantPicCntPresent) h.redundantPicCnt = static_cast<int>(r.Ue());
  if (r.Failed()) return std::nullopt;
  // A marking cut off reads as none: the counts then run on.
  ReadMarking(r, sps, pps->second, h);
  if (r.Failed()) h.mmco5 = false;
  return h;
}

bool StartsNewPicture(const SliceHeader& last, const SliceHeader& next, const Sps& sps) {
  if (next.redundantPicCnt > 0) return false;
  if (next.firstMb == 0) return true;
  bool differs = last.frameNum != next.frameNum || last.ppsId != next.ppsId ||
                 last.field != next.field || (next.field && last.bottom != next.bottom) ||
                 (last.nalRefIdc == 0) != (next.nalRefIdc == 0) || last.idr != next.idr ||
                 (last.idr && last.idrPicId != next.idrPicId);
  if (sps.pocType == 0)
    differs = differs || last.pocLsb != next.pocLsb || last.deltaPocBottom != next.deltaPocBottom;
  if (sps.pocType == 1)
    differs =
        differs || last.deltaPoc[0] != next.deltaPoc[0] || last.deltaPoc[1] != next.deltaPoc[1];
  return differs;
}

bool SecondFieldOf(const SliceHeader& first, const SliceHeader& next) {
  return first.field && next.field && first.bottom != next.bottom &&
         first.frameNum == next.frameNum && !next.idr;
}

PocCounter::Counted PocCounter::Next(const SliceHeader& slice, const Sps& sps) {
  int64_t top = 0, bottom = 0;
  if (sps.pocType == 0)
    Type0(slice, sps, top, bottom);
  else
    Type1And2(slice, sps, top, bottom);
  Counted counted;
  counted.poc = slice.field ? (slice.bottom ? bottom : top) : std::min(top, bottom);
  counted.reset = slice.idr || slice.mmco5;
  if (slice.mmco5) {
    // The picture is shown after every picture before it, and counts on from 0.
    prevMsb_ = 0;
    prevLsb_ = slice.field && slice.bottom ? 0 : top - counted.poc;
    prevFrameNum_ = prevFrameNumOffset_ = 0;
    counted.poc = 0;
  }
  return counted;
}

void PocCounter::Type0(const SliceHeader& slice, const Sps& sps, int64_t& top, int64_t& bottom) {
  if (slice.idr) prevMsb_ = prevLsb_ = 0;
  const int64_t maxLsb = int64_t{1} << sps.log2MaxPocLsb, lsb = slice.pocLsb;
  int64_t msb = prevMsb_;
  if (lsb < prevLsb_ && prevLsb_ - lsb >= maxLsb / 2)
    msb += maxLsb;
  else if (lsb > prevLsb_ && lsb - prevLsb_ > maxLsb / 2)
    msb -= maxLsb;
  top = bottom = msb + lsb;
  if (!slice.field) bottom = top + slice.deltaPocBottom;
  if (slice.nalRefIdc != 0) prevMsb_ = msb, prevLsb_ = lsb;
}

void PocCounter::Type1And2(const SliceHeader& slice, const Sps& sps, int64_t& top,
                           int64_t& bottom) {
  const int64_t maxFrameNum = int64_t{1} << sps.log2MaxFrameNum;
  int64_t offset = slice.idr                        ? 0
                   : prevFrameNum_ > slice.frameNum ? prevFrameNumOffset_ + maxFrameNum
                                                    : prevFrameNumOffset_;
  prevFrameNum_ = slice.frameNum;
  prevFrameNumOffset_ = offset;
  if (sps.pocType == 2) {
    int64_t count = slice.idr ? 0 : 2 * (offset + slice.frameNum) - (slice.nalRefIdc == 0);
    top = bottom = count;
    return;
  }
  const auto& cycle = sps.offsetsForRefFrame;
  int64_t absFrameNum = cycle.empty() ? 0 : offset + slice.frameNum;
  if (slice.nalRefIdc == 0 && absFrameNum > 0) --absFrameNum;
  int64_t expected = 0;
  if (absFrameNum > 0) {
    int64_t perCycle = 0;
    for (int delta : cycle) perCycle += delta;
    const int64_t n = static_cast<int64_t>(cycle.size());
    expected = (absFrameNum - 1) / n * perCycle;
    for (int64_t i = 0; i <= (absFrameNum - 1) % n; ++i) expected += cycle[i];
  }
  if (slice.nalRefIdc == 0) expected += sps.offsetForNonRefPic;
  if (!slice.field) {
    top = expected + slice.deltaPoc[0];
    bottom = top + sps.offsetForTopToBottomField + slice.deltaPoc[1];
  } else {
    top = expected + slice.deltaPoc[0];
    bottom = expected + sps.offsetForTopToBottomField + slice.deltaPoc[0];
  }
}

}  // namespace quillet::toolkit::es
