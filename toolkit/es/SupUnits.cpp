#include "toolkit/es/SupUnits.h"

#include <cstring>

#include "toolkit/Files.h"
#include "toolkit/Process.h"
#include "toolkit/es/ChunkedFile.h"

namespace quillet::toolkit::es {
namespace {

// "PG", PTS, DTS, then the segment's type and size.
constexpr size_t kHead = 13;

uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

class SupFile : public UnitReader {
 public:
  explicit SupFile(std::string name) : name_(std::move(name)) {}
  bool Open(const std::string& path, std::string* error);
  bool Next(Unit& unit) override;
  const std::string& Error() const override { return error_; }

 private:
  bool SegmentAt(int64_t pos) {
    return file_.Have(pos, 2) == 2 && !std::memcmp(file_.At(pos), "PG", 2);
  }

  std::string name_;
  ChunkedFile file_;
  int64_t pos_ = 0;
  std::string error_;
};

bool SupFile::Open(const std::string& path, std::string* error) {
  if (!file_.Open(path, error)) return false;
  if (SegmentAt(0)) return true;
  *error = name_ + " holds no presentation-graphics segment";
  return false;
}

bool SupFile::Next(Unit& unit) {
  file_.Release(pos_);
  if (pos_ >= file_.Size()) return false;
  if (!SegmentAt(pos_)) {
    error_ = file_.Failed() ? "cannot read " + name_ + " to its end"
                            : "no segment at byte " + std::to_string(pos_) + " of " + name_;
    return false;
  }
  const size_t n = file_.Have(pos_, kHead);
  const uint8_t* p = file_.At(pos_);
  const size_t size = n < kHead ? 0 : kHead + (p[11] << 8 | p[12]);
  if (n < kHead || file_.Have(pos_, size) < size) {
    if (file_.Failed())
      error_ = "cannot read " + name_ + " to its end";
    else
      Log("the last segment of " + name_ + " is cut short; it is left out");
    pos_ = file_.Size();
    return false;
  }
  p = file_.At(pos_);
  unit.bytes.assign(p + 10, p + size);
  unit.pts = Be32(p + 2);
  // Many files write 0 for every decoding time, so ffmpeg takes 0 for none.
  const uint32_t dts = Be32(p + 6);
  unit.dts = dts ? dts : unit.pts;
  unit.key = true;
  pos_ += static_cast<int64_t>(size);
  return true;
}

}  // namespace

std::unique_ptr<UnitReader> OpenSupUnits(const std::string& path, std::string* error) {
  auto reader = std::make_unique<SupFile>(NameOf(path));
  if (!reader->Open(path, error)) return nullptr;
  return reader;
}

}  // namespace quillet::toolkit::es
