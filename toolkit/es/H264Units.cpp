#include "toolkit/es/H264Units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

#include "toolkit/H264.h"
#include "toolkit/es/AnnexBScanner.h"
#include "toolkit/es/FrameClock.h"
#include "toolkit/es/H264Pictures.h"

namespace quillet::toolkit::es {
namespace {

// Enough of a slice for its header up to the reference marking; parameter sets and SEI whole.
constexpr size_t kSliceHeaderBytes = 1024, kWholeNal = 1 << 20;
constexpr uint8_t kStartCode[] = {0, 0, 0, 1};
// What ffmpeg's muxer puts in front of a frame without a delimiter: any slice types.
constexpr uint8_t kDelimiter[] = {0, 0, 0, 1, 9, 0xF0};

bool IsSlice(int type) {
  return type == 1 || type == 2 || type == 5;
}

// NAL units that begin an access unit when they follow a picture's slices.
bool StartsAccessUnit(int type) {
  return (type >= 6 && type <= 9) || (type >= 14 && type <= 18);
}

using Frame = H264Units::Frame;

// Access units from the NAL units in file order: one per frame, both fields of a pair in one.
class Indexer {
 public:
  Indexer(std::vector<Frame>& frames, std::vector<std::vector<uint8_t>>& sets)
      : frames_(frames), stored_(sets) {}
  void OnNal(const NalSpan& nal);
  void Finish() { Commit(); }

  bool sawSps = false;
  Sps first;                                   // the first SPS met
  bool interlaced = false;                     // a picture coded as fields
  uint32_t numUnitsInTick = 0, timeScale = 0;  // the first clock an SPS gives
  int reorder = 0;                             // the deepest an SPS asks for

 private:
  struct Building {
    Frame frame;  // its offset is where the unit begins
    bool vcl = false, recovery = false;
    SliceHeader last;  // the picture's latest slice
  };
  void Open(uint64_t offset) {
    Commit();
    cur_.frame.offset = offset;
  }
  // Bytes of a unit without a picture stay with the frame before.
  void Commit() {
    if (cur_.vcl) frames_.push_back(cur_.frame);
    cur_ = Building{};
  }
  void OnSps(const NalSpan& nal);
  void OnSlice(const NalSpan& nal);
  void StartPicture(const SliceHeader& slice, const Sps& sps);
  void Store(std::map<int, uint32_t>& byId, int id, const NalSpan& nal);

  std::vector<Frame>& frames_;
  std::vector<std::vector<uint8_t>>& stored_;
  Building cur_;
  ParameterSets sets_;
  std::map<int, uint32_t> spsAt_, ppsAt_;  // where each id's latest version is stored
  PocCounter poc_;
  bool unpairedField_ = false;  // the last frame holds one field so far
  SliceHeader field_;
};

void Indexer::OnNal(const NalSpan& nal) {
  if (nal.size == 0) return;
  const int type = nal.data[0] & 0x1F;
  if (StartsAccessUnit(type) && cur_.vcl) Open(nal.offset);
  if (type == 7) {
    OnSps(nal);
  } else if (type == 8) {
    if (auto pps = ParsePps(nal.data, nal.size)) {
      sets_.pps[pps->id] = *pps;
      Store(ppsAt_, pps->id, nal);
    }
  } else if (type == 6) {
    cur_.recovery = cur_.recovery || HasRecoveryPoint(nal.data, nal.size);
  } else if (IsSlice(type)) {
    OnSlice(nal);
  }
}

void Indexer::OnSps(const NalSpan& nal) {
  auto sps = ParseSps(std::vector<uint8_t>(nal.data, nal.data + nal.size));
  if (!sps) return;
  if (!sawSps) first = *sps;
  sawSps = true;
  if (timeScale == 0 && sps->numUnitsInTick > 0 && sps->timeScale > 0)
    numUnitsInTick = sps->numUnitsInTick, timeScale = sps->timeScale;
  reorder = std::max(reorder, sps->maxNumReorderFrames);
  sets_.sps[sps->id] = *sps;
  Store(spsAt_, sps->id, nal);
}

void Indexer::Store(std::map<int, uint32_t>& byId, int id, const NalSpan& nal) {
  auto at = byId.find(id);
  if (at != byId.end() && std::equal(nal.data, nal.data + nal.size, stored_[at->second].begin(),
                                     stored_[at->second].end()))
    return;
  stored_.emplace_back(nal.data, nal.data + nal.size);
  byId[id] = static_cast<uint32_t>(stored_.size() - 1);
}

void Indexer::OnSlice(const NalSpan& nal) {
  auto slice = ParseSliceHeader(nal.data, nal.size, sets_);
  // Slices that cannot be read, and redundant copies, go with the picture they follow.
  if (!slice || slice->redundantPicCnt > 0) return;
  const Sps& sps = sets_.sps.at(sets_.pps.at(slice->ppsId).spsId);
  if (cur_.vcl) {
    if (!StartsNewPicture(cur_.last, *slice, sps)) {
      cur_.last = *slice;
      return;
    }
    Open(nal.offset);
  }
  StartPicture(*slice, sps);
}

void Indexer::StartPicture(const SliceHeader& slice, const Sps& sps) {
  const PocCounter::Counted counted = poc_.Next(slice, sps);
  interlaced = interlaced || slice.field || sps.mbAdaptiveFrameField;
  cur_.vcl = true;
  cur_.last = slice;
  if (unpairedField_ && !frames_.empty() && SecondFieldOf(field_, slice)) {
    // The frame goes on from its first field, whose access unit is the last one kept.
    unpairedField_ = false;
    cur_.frame = frames_.back();
    frames_.pop_back();
    cur_.frame.poc = counted.reset ? 0 : std::min(cur_.frame.poc, counted.poc);
    cur_.frame.reset = cur_.frame.reset || counted.reset;
    return;
  }
  unpairedField_ = slice.field;
  field_ = slice;
  Frame& frame = cur_.frame;
  frame.poc = counted.poc;
  frame.reset = counted.reset;
  const bool intra = slice.sliceType == 2 || slice.sliceType == 4;
  frame.key = slice.idr || (intra && cur_.recovery);
  frame.pps = ppsAt_.at(slice.ppsId);
  frame.sps = spsAt_.at(sets_.pps.at(slice.ppsId).spsId);
}

// Where the NAL units of a frame's bytes begin: the start code, and the header byte.
struct NalAt {
  size_t start, header;
};

std::vector<NalAt> NalsOf(const std::vector<uint8_t>& bytes) {
  std::vector<NalAt> nals;
  for (size_t p = 2; p < bytes.size();) {
    const void* hit = std::memchr(bytes.data() + p, 1, bytes.size() - p);
    if (!hit) break;
    const size_t one = static_cast<size_t>(static_cast<const uint8_t*>(hit) - bytes.data());
    p = one + 1;
    if (bytes[one - 1] != 0 || bytes[one - 2] != 0 || one + 1 >= bytes.size()) continue;
    const size_t start = one - 2 - (one > 2 && bytes[one - 3] == 0);
    nals.push_back({start, one + 1});
  }
  return nals;
}

bool ReadAt(int fd, uint8_t* into, size_t size, uint64_t offset) {
  for (size_t done = 0; done < size;) {
    const ssize_t got = pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

// How ffmpeg times the frames it decodes before the first one shown: a whole number of
// microseconds, then 90 kHz ticks rounded.
int64_t TicksBefore(int64_t frames, int64_t fpsNum, int64_t fpsDen) {
  const int64_t micros = frames * 1000000 * fpsDen / fpsNum;
  return (micros * 9 + 50) / 100;
}

// Frame n of the exact clock, half a tick rounded away from 0.
int64_t ExactTicks(int64_t frame, int64_t fpsNum, int64_t fpsDen) {
  if (frame < 0) return -ExactTicks(-frame, fpsNum, fpsDen);
  return (frame * 90000 * fpsDen * 2 + fpsNum) / (2 * fpsNum);
}

// The frame's bytes with every SPS in it given the sample aspect ratio.
void SetSampleAspect(std::vector<uint8_t>& raw, uint16_t width, uint16_t height) {
  const std::vector<NalAt> nals = NalsOf(raw);
  for (size_t i = nals.size(); i-- > 0;) {
    if ((raw[nals[i].header] & 0x1F) != 7) continue;
    const auto begin = raw.begin() + long(nals[i].header);
    const auto end = i + 1 < nals.size() ? raw.begin() + long(nals[i + 1].start) : raw.end();
    const std::vector<uint8_t> sps = SpsWithSampleAspect({begin, end}, width, height);
    raw.insert(raw.erase(begin, end), sps.begin(), sps.end());
  }
}

}  // namespace

H264Units::~H264Units() {
  if (fd_ >= 0) close(fd_);
}

void H264Units::PlaceInTime(int spsReorder) {
  // Display order: by picture order count within each run between resets.
  const size_t n = frames_.size();
  display_.assign(n, 0);
  std::vector<std::pair<int64_t, uint32_t>> run;
  int64_t deepest = 0;
  for (size_t k = 0, begin = 0; k <= n; ++k) {
    if (k == n || (k > begin && frames_[k].reset)) {
      std::sort(run.begin(), run.end());
      for (size_t r = 0; r < run.size(); ++r) display_[run[r].second] = uint32_t(begin + r);
      run.clear();
      begin = k;
    }
    if (k < n) run.emplace_back(frames_[k].poc, uint32_t(k));
  }
  for (size_t k = 0; k < n; ++k) deepest = std::max(deepest, int64_t(k) - display_[k]);
  // Decoders buffer as deep as the stream says it may reorder, even when it reorders less.
  summary_.reorderDelay = int(std::max<int64_t>(deepest, spsReorder));
  summary_.frames = n;
  const int64_t num = options_.fpsNum, den = options_.fpsDen;
  summary_.durationTicks = (int64_t(n) * 90000 * den * 2 + num) / (2 * num);
}

std::vector<uint8_t> H264Units::Packed(std::vector<uint8_t>& raw, const Frame& frame) const {
  auto withLevel = [&](std::vector<uint8_t>& bytes, size_t header) {
    if (options_.level > 0 && header + 3 < bytes.size())
      bytes[header + 3] = uint8_t(options_.level);
  };
  size_t delimiterEnd = 0;
  bool delimiter = false, sps = false, pps = false, sliceSeen = false;
  const std::vector<NalAt> nals = NalsOf(raw);
  for (size_t i = 0; i < nals.size(); ++i) {
    const int type = raw[nals[i].header] & 0x1F;
    if (type == 7) withLevel(raw, nals[i].header);
    if (sliceSeen) continue;
    sliceSeen = IsSlice(type);
    sps = sps || type == 7;
    pps = pps || type == 8;
    if (type == 9 && !delimiter)
      delimiter = true, delimiterEnd = i + 1 < nals.size() ? nals[i + 1].start : raw.size();
  }
  std::vector<uint8_t> out;
  out.reserve(raw.size() + 256);
  if (!delimiter) out.assign(std::begin(kDelimiter), std::end(kDelimiter));
  out.insert(out.end(), raw.begin(), raw.begin() + long(delimiterEnd));
  // A player starting at a key frame needs the parameter sets in front of it.
  const bool sets = frame.key && options_.setsOnKeyFrames;
  if (sets && !sps) {
    std::vector<uint8_t> copy = sets_[frame.sps];
    withLevel(copy, 0);
    out.insert(out.end(), std::begin(kStartCode), std::end(kStartCode));
    out.insert(out.end(), copy.begin(), copy.end());
  }
  if (sets && !pps) {
    out.insert(out.end(), std::begin(kStartCode), std::end(kStartCode));
    out.insert(out.end(), sets_[frame.pps].begin(), sets_[frame.pps].end());
  }
  out.insert(out.end(), raw.begin() + long(delimiterEnd), raw.end());
  return out;
}

bool H264Units::Next(Unit& unit) {
  if (next_ >= frames_.size() || !error_.empty()) return false;
  const Frame& frame = frames_[next_];
  const uint64_t end = next_ + 1 < frames_.size() ? frames_[next_ + 1].offset : fileSize_;
  std::vector<uint8_t> raw(end - frame.offset);
  if (!ReadAt(fd_, raw.data(), raw.size(), frame.offset)) {
    error_ = "cannot read " + path_ + ": " + (errno ? std::strerror(errno) : "cut short");
    return false;
  }
  const int64_t num = options_.fpsNum, den = options_.fpsDen;
  const int64_t k = int64_t(next_), delay = summary_.reorderDelay;
  auto at = [&](int64_t n) {
    return options_.exactClock ? ExactTicks(n, num, den) : FrameTicks(n, double(num) / double(den));
  };
  if (options_.sarWidth > 0 && options_.sarHeight > 0)
    SetSampleAspect(raw, options_.sarWidth, options_.sarHeight);
  unit.bytes = Packed(raw, frame);
  unit.key = frame.key;
  unit.pts = at(display_[next_]);
  unit.dts = k >= delay || options_.exactClock ? at(k - delay) : -TicksBefore(delay - k, num, den);
  ++next_;
  return true;
}

std::unique_ptr<H264Units> OpenH264Units(const std::string& path, const H264Options& options,
                                         std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return nullptr;
  };
  std::unique_ptr<H264Units> units(new H264Units());
  units->path_ = path;
  units->options_ = options;
  units->fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (units->fd_ < 0 || fstat(units->fd_, &st) != 0)
    return fail("cannot read " + path + ": " + std::strerror(errno));
  units->fileSize_ = uint64_t(st.st_size);
  Indexer indexer(units->frames_, units->sets_);
  auto keep = [](uint8_t header) {
    const int type = header & 0x1F;
    return IsSlice(type) ? kSliceHeaderBytes : (type >= 6 && type <= 8) ? kWholeNal : 1;
  };
  if (!ScanAnnexB(units->fd_, keep, [&](const NalSpan& nal) { indexer.OnNal(nal); }))
    return fail("cannot read " + path + ": " + std::strerror(errno));
  indexer.Finish();
  if (!indexer.sawSps) return fail(path + " has no H.264 sequence parameter set");
  if (units->frames_.empty()) return fail(path + " has no H.264 pictures");
  H264Options& o = units->options_;
  if (o.fpsNum <= 0 || o.fpsDen <= 0) {
    // The stream's clock ticks twice a frame.
    o.fpsNum = indexer.timeScale, o.fpsDen = 2 * int64_t(indexer.numUnitsInTick);
    if (o.fpsNum <= 0 || o.fpsDen <= 0)
      return fail(path + " carries no frame rate and none was given");
    const int64_t common = std::gcd(o.fpsNum, o.fpsDen);
    o.fpsNum /= common, o.fpsDen /= common;
  }
  units->PlaceInTime(indexer.reorder);
  H264Summary& summary = units->summary_;
  summary.width = indexer.first.width, summary.height = indexer.first.height;
  summary.profileIdc = indexer.first.profileIdc, summary.levelIdc = indexer.first.levelIdc;
  summary.interlaced = indexer.interlaced;
  if (o.sarWidth > 0 && o.sarHeight > 0)
    for (std::vector<uint8_t>& set : units->sets_)
      if ((set[0] & 0x1F) == 7) set = SpsWithSampleAspect(set, o.sarWidth, o.sarHeight);
  return units;
}

}  // namespace quillet::toolkit::es
