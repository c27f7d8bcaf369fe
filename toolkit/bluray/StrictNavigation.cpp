#include "toolkit/bluray/StrictNavigation.h"

#include "base/BitStream.h"
#include "base/Text.h"
#include "toolkit/bluray/IndexFile.h"
#include "toolkit/bluray/MovieObjectFile.h"

namespace quillet::toolkit::bluray {
namespace {

constexpr uint32_t kAppInfoLength = 34, kObjectReference = 12;

bool Zero(BitReader& r, int bits) {
  bool zero = true;
  for (; bits >= 32; bits -= 32) zero = r.U32() == 0 && zero;
  return (bits == 0 || r.Bits(bits) == 0) && zero;
}

// One first-play / top-menu / title entry: an HDMV object named, reserved bits zero.
bool ReferenceIsClean(BitReader& r, bool title) {
  bool clean = r.Bits(2) == 1;  // HDMV
  if (title) r.Skip(2);         // access type
  clean = Zero(r, title ? 28 : 30) && clean;
  r.Skip(2);  // playback type
  clean = Zero(r, 14) && clean;
  r.Skip(16);
  return Zero(r, 32) && clean;
}

// What a navigation command is, from its opcode: the branch group's play sub-group
// (PlayPL, PlayPLatPI, ...), or a jump, a call, a go-to or a break.
bool IsPlay(uint32_t opcode) {
  return ((opcode >> 27) & 3) == 0 && ((opcode >> 24) & 7) == 2;
}
bool GoesOn(uint32_t opcode) {
  const uint32_t group = (opcode >> 27) & 3, sub = (opcode >> 24) & 7;
  const uint32_t option = (opcode >> 16) & 0x0f;  // the branch option
  return group == 0 && (sub == 1 || (sub == 0 && (option == 1 || option == 2)));
}

}  // namespace

void CheckIndex(const std::vector<uint8_t>& bytes, std::vector<uint16_t>* titleObjects,
                RuleLog* log) {
  DiscIndex index;
  std::string error;
  if (!ReadIndex(bytes, &index, &error)) {
    log->Break("length", error);
    return;
  }
  *titleObjects = index.titleObjects;
  BitReader r(bytes);
  r.Seek(8);
  const uint32_t indexes = r.U32(), extension = r.U32();
  bool reserved = Zero(r, 24 * 8);
  const uint32_t appInfo = r.U32();
  reserved = (r.U8() & 0x90) == 0 && reserved;  // the two bits beside the output mode and flag
  if (appInfo != kAppInfoLength || indexes != 40 + 4 + kAppInfoLength)
    log->Break("length",
               Format("AppInfoBDMV says %u bytes long, the indexes start at %u", appInfo, indexes));
  r.Seek(indexes);
  const uint32_t length = r.U32();
  reserved = ReferenceIsClean(r, false) && ReferenceIsClean(r, false) && reserved;
  const size_t titles = r.U16();
  for (size_t i = 0; i < titles; ++i) reserved = ReferenceIsClean(r, true) && reserved;
  const uint64_t content = 2 * kObjectReference + 2 + kObjectReference * titles;
  if (length != content || (!extension && indexes + 4 + uint64_t(length) != bytes.size()))
    log->Break("length", Format("the indexes say %u bytes long, hold %llu, in a %zu-byte file",
                                length, (unsigned long long)content, bytes.size()));
  if (!reserved) log->Break("reserved", "reserved fields of the index are not zero or no HDMV");
}

void CheckMovieObjects(const std::vector<uint8_t>& bytes, const std::vector<uint16_t>& titleObjects,
                       RuleLog* log) {
  std::vector<MovieObject> objects;
  std::string error;
  if (!ReadMovieObjects(bytes, &objects, &error)) {
    log->Break("length", error);
    return;
  }
  BitReader r(bytes);
  r.Seek(8);
  const uint32_t extension = r.U32();
  bool reserved = Zero(r, 28 * 8);
  const uint32_t length = r.U32();
  reserved = Zero(r, 32) && reserved;
  uint64_t content = 6;
  r.Skip(16);
  for (const MovieObject& object : objects) {
    r.Skip(3);
    reserved = Zero(r, 13) && reserved;
    r.Skip(16 + 96 * object.commands.size());
    content += 4 + 12 * object.commands.size();
  }
  if (length != content || (!extension && 40 + 4 + uint64_t(length) != bytes.size()))
    log->Break("length", Format("the movie objects say %u bytes long, hold %llu, in a %zu-byte "
                                "file",
                                length, (unsigned long long)content, bytes.size()));
  if (!reserved) log->Break("reserved", "reserved fields of the movie objects are not zero");
  for (size_t t = 0; t < titleObjects.size(); ++t) {
    const uint16_t id = titleObjects[t];
    if (id >= objects.size()) {
      log->Break("title-end", Format("title %zu runs movie object %u, which does not exist", t + 1,
                                     unsigned(id)));
      continue;
    }
    const auto& commands = objects[id].commands;
    size_t lastPlay = commands.size();
    for (size_t c = 0; c < commands.size(); ++c)
      if (IsPlay(commands[c].opcode)) lastPlay = c;
    bool goesOn = false;
    for (size_t c = lastPlay == commands.size() ? 0 : lastPlay + 1; c < commands.size(); ++c)
      goesOn = goesOn || GoesOn(commands[c].opcode);
    if (!goesOn)
      log->Break("title-end", Format("title %zu's movie object %u ends %s: a player stays on its "
                                     "last frame",
                                     t + 1, unsigned(id),
                                     lastPlay == commands.size() ? "without a command"
                                                                 : "right after its last PlayPL"));
  }
}

}  // namespace quillet::toolkit::bluray
