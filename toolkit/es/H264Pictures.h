#pragma once
// The pictures of an H.264 stream from their slice headers: where a new picture starts, which
// fields pair into a frame, and in which order the pictures are shown (picture order count).

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "toolkit/H264.h"

namespace quillet::toolkit::es {

// The part of a picture parameter set a slice header needs.
struct Pps {
  int id = 0, spsId = 0;
  bool bottomFieldPicOrderInFramePresent = false;
  int numRefIdxDefault[2] = {1, 1};
  bool weightedPred = false;
  int weightedBipredIdc = 0;
  bool redundantPicCntPresent = false;
};

// One NAL unit's bytes, header byte first, emulation prevention bytes still in.
std::optional<Pps> ParsePps(const uint8_t* nal, size_t size);

// Whether an SEI NAL unit carries a recovery point (an entry point of an open GOP).
bool HasRecoveryPoint(const uint8_t* nal, size_t size);

struct SliceHeader {
  int nalRefIdc = 0;
  bool idr = false;
  int firstMb = 0;
  int sliceType = 0;  // 0 P, 1 B, 2 I, 3 SP, 4 SI
  int ppsId = 0;
  int frameNum = 0;
  bool field = false, bottom = false;
  int idrPicId = 0;
  int pocLsb = 0, deltaPocBottom = 0;
  int deltaPoc[2] = {0, 0};
  int redundantPicCnt = 0;
  bool mmco5 = false;  // memory_management_control_operation 5: the counts start over
};

// The active parameter sets by id.
struct ParameterSets {
  std::map<int, Sps> sps;
  std::map<int, Pps> pps;
};

// A slice NAL unit (types 1, 2 and 5). nullopt when its parameter sets are unknown or it is
// cut short before the fields that tell pictures apart.
std::optional<SliceHeader> ParseSliceHeader(const uint8_t* nal, size_t size,
                                            const ParameterSets& sets);

// Whether `next` is the first slice of another primary picture than `last`'s.
bool StartsNewPicture(const SliceHeader& last, const SliceHeader& next, const Sps& sps);

// Whether `next`, the first slice of a new picture, is the second field of the field
// `first` began: the two make one frame.
bool SecondFieldOf(const SliceHeader& first, const SliceHeader& next);

// Picture order counts in decoding order, one picture (frame or field) at a time.
class PocCounter {
 public:
  struct Counted {
    int64_t poc = 0;     // of the frame, or of the field
    bool reset = false;  // the picture starts a new run of counts (IDR, or an mmco 5)
  };
  Counted Next(const SliceHeader& slice, const Sps& sps);

 private:
  void Type0(const SliceHeader& slice, const Sps& sps, int64_t& top, int64_t& bottom);
  void Type1And2(const SliceHeader& slice, const Sps& sps, int64_t& top, int64_t& bottom);

  // Type 0: the last reference picture's counts.
  int64_t prevMsb_ = 0, prevLsb_ = 0;
  // Types 1 and 2: the last picture's frame number and its offset.
  int64_t prevFrameNum_ = 0, prevFrameNumOffset_ = 0;
};

}  // namespace quillet::toolkit::es
