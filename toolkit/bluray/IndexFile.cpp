#include "toolkit/bluray/IndexFile.h"

#include "base/BitStream.h"

namespace quillet::toolkit::bluray {
namespace {

constexpr int kObjectTypeHdmv = 1;
constexpr int kPlaybackMovie = 0;

// An HDMV movie object reference: the object runs as a movie title.
void WriteHdmvReference(BitWriter& w, uint16_t object) {
  w.Bits(kPlaybackMovie, 2);
  w.Bits(0, 14);
  w.U16(object);
  w.U32(0);
}

}  // namespace

std::vector<uint8_t> WriteIndex(const DiscIndex& index) {
  BitWriter w;
  w.Text("INDX0200", 8);
  w.Zeros(8 + 24);  // two start addresses, reserved bytes
  w.U32(34);        // AppInfoBDMV: no preferences, no user data
  w.Zeros(34);
  w.PatchU32(8, uint32_t(w.Size()));
  const size_t length = w.Size();
  w.U32(0);
  for (uint16_t object : {index.firstPlayObject, index.topMenuObject}) {
    w.Bits(kObjectTypeHdmv, 2);
    w.Bits(0, 30);
    WriteHdmvReference(w, object);
  }
  w.U16(uint16_t(index.titleObjects.size()));
  for (uint16_t object : index.titleObjects) {
    w.Bits(kObjectTypeHdmv, 2);
    w.Bits(0, 2);  // title search allowed
    w.Bits(0, 28);
    WriteHdmvReference(w, object);
  }
  w.PatchLength32(length);
  return w.Bytes();
}

bool ReadIndex(const std::vector<uint8_t>& bytes, DiscIndex* index, std::string* error) {
  *index = DiscIndex();
  BitReader r(bytes);
  if (r.Text(4) != "INDX" || r.Text(4) != "0200") {
    *error = "not an index file";
    return false;
  }
  r.Seek(r.U32());
  bool hdmv = true;
  r.Skip(32);
  hdmv &= r.Bits(2) == kObjectTypeHdmv;
  r.Skip(30 + 16);
  index->firstPlayObject = uint16_t(r.U16());
  r.Skip(32);
  hdmv &= r.Bits(2) == kObjectTypeHdmv;
  r.Skip(30 + 16);
  index->topMenuObject = uint16_t(r.U16());
  r.Skip(32);
  const size_t titles = r.U16();
  for (size_t i = 0; i < titles && !r.Failed(); ++i) {
    hdmv &= r.Bits(2) == kObjectTypeHdmv;
    r.Skip(30 + 16);
    index->titleObjects.push_back(uint16_t(r.U16()));
    r.Skip(32);
  }
  if (r.Failed() || !hdmv) {
    *error = r.Failed() ? "index file ends early" : "index names a non-HDMV object";
    return false;
  }
  return true;
}

}  // namespace quillet::toolkit::bluray
