#include "toolkit/bluray/StrictPlaylist.h"

#include <algorithm>

#include "base/BitStream.h"
#include "base/Text.h"
#include "toolkit/bluray/PlaylistFile.h"
#include "toolkit/bluray/StreamCodes.h"

namespace quillet::toolkit::bluray {
namespace {

constexpr uint32_t kAppInfoLength = 14;

bool Zero(BitReader& r, int bits) {
  bool zero = true;
  for (; bits >= 32; bits -= 32) zero = r.U32() == 0 && zero;
  return (bits == 0 || r.Bits(bits) == 0) && zero;
}

// The lengths of the play list: the items and their stream tables add up, the reserved
// fields are zero.
void CheckLayout(const std::vector<uint8_t>& bytes, RuleLog* log) {
  BitReader r(bytes);
  r.Seek(8);
  const uint32_t list = r.U32(), marks = r.U32(), extension = r.U32();
  bool reserved = Zero(r, 160);
  if (!(40 + 4 + kAppInfoLength <= list && list < marks && marks < bytes.size()) ||
      (extension && extension < marks)) {
    log->Break("length", Format("the parts start at %u, %u: not in order inside the %zu bytes",
                                list, marks, bytes.size()));
    return;
  }
  r.Seek(40);
  if (r.U32() != kAppInfoLength || list != 40 + 4 + kAppInfoLength)
    log->Break("length", "AppInfoPlayList is not 14 bytes long, right before the play list");
  reserved = Zero(r, 8) && reserved;
  r.Seek(list);
  const uint32_t listLength = r.U32();
  reserved = Zero(r, 16) && reserved;
  const size_t items = r.U16(), subPaths = r.U16();
  size_t at = list + 10;
  for (size_t i = 0; i < items && !r.Failed(); ++i) {
    r.Seek(at);
    const size_t length = r.U16();
    r.Skip(9 * 8);
    reserved = Zero(r, 11) && reserved;
    if (r.Bit()) {  // angles: their clips come before the stream table, not walked here
      at += 2 + length;
      continue;
    }
    r.Skip(4 + 8 + 32 + 32 + 64 + 8 + 8 + 16);
    const size_t stn = r.Position();
    const size_t stnLength = r.U16();
    reserved = Zero(r, 16) && reserved;
    uint8_t counts[8];  // video, audio, PG, IG, secondary audio and video, PiP PG, DV
    for (uint8_t& count : counts) count = uint8_t(r.U8());
    reserved = Zero(r, 32) && reserved;
    for (int e = 0; e < counts[0] + counts[1] + counts[2] + counts[3] && !r.Failed(); ++e) {
      r.Seek(r.Position() + 1 + r.U8());
      r.Seek(r.Position() + 1 + r.U8());
    }
    // Secondary streams add fields this reader does not walk.
    const bool walked = !counts[4] && !counts[5] && !counts[6] && !counts[7];
    if ((walked && r.Position() != stn + 2 + stnLength) || stn + 2 + stnLength != at + 2 + length)
      log->Break("length", Format("play item %zu: its stream table (%zu bytes) does not end the "
                                  "item (%zu bytes)",
                                  i, stnLength, length));
    at += 2 + length;
  }
  if (subPaths == 0 && at != list + 4 + uint64_t(listLength))
    log->Break("length", Format("the play list says %u bytes long, its items hold %zu", listLength,
                                at - list - 4));
  if (list + 4 + uint64_t(listLength) > marks)
    log->Break("length", "the play list runs into the marks");
  r.Seek(marks);
  const uint32_t marksLength = r.U32();
  const size_t count = r.U16();
  if (marksLength != 2 + 14 * count || (!extension && marks + 4 + marksLength != bytes.size()))
    log->Break("length", Format("the marks say %u bytes long for %zu marks in a %zu-byte file",
                                marksLength, count, bytes.size()));
  for (size_t i = 0; i < count && !r.Failed(); ++i) {
    reserved = Zero(r, 8) && reserved;
    r.Skip(13 * 8);
  }
  if (!reserved) log->Break("reserved", "reserved fields of the playlist are not zero");
}

}  // namespace

void CheckPlaylist(const std::vector<uint8_t>& bytes,
                   const std::map<std::string, ClipInfoView>& clips, bool wholeClips,
                   const StrictOptions& options, RuleLog* log) {
  PlaylistView view;
  std::string error;
  if (!ReadPlaylist(bytes, &view, &error)) {
    log->Break("length", error);
    return;
  }
  CheckLayout(bytes, log);
  const auto& exempt = options.pidsWithoutLanguage;
  for (size_t i = 0; i < view.items.size(); ++i) {
    const PlaylistView::Item& item = view.items[i];
    auto clip = clips.find(item.item.clipName);
    if (clip == clips.end()) {
      log->Break("stream-table", Format("play item %zu names clip %s, which has no clip "
                                        "information",
                                        i, item.item.clipName.c_str()));
      continue;
    }
    const ClipInfoView& info = clip->second;
    const bool inside = item.item.inTime == info.presentationStart &&
                        item.item.inTime < item.item.outTime &&
                        (wholeClips ? item.item.outTime == info.presentationEnd
                                    : item.item.outTime <= info.presentationEnd);
    if (!inside)
      log->Break("play-item-times",
                 Format("play item %zu plays %u to %u, clip %s presents %u to %u (45 kHz)", i,
                        item.item.inTime, item.item.outTime, item.item.clipName.c_str(),
                        info.presentationStart, info.presentationEnd));
    bool same = item.streams.size() == info.streams.size();
    for (const auto& s : item.streams) {
      auto in = std::find_if(info.streams.begin(), info.streams.end(),
                             [&](const ClipInfoView::Stream& c) { return c.pid == s.pid; });
      same = same && in != info.streams.end() && in->coding == s.coding;
      if (s.kind == 0 || std::find(exempt.begin(), exempt.end(), s.pid) != exempt.end()) continue;
      if (LanguageCode(s.language) == "und" ||
          (in != info.streams.end() && in->language != s.language))
        log->Break("language", Format("play item %zu names the language of PID 0x%04x \"%s\"", i,
                                      s.pid, s.language.c_str()));
    }
    if (!same)
      log->Break("stream-table",
                 Format("play item %zu lists %zu streams, clip %s holds %zu, not "
                        "the same PIDs and types",
                        i, item.streams.size(), item.item.clipName.c_str(), info.streams.size()));
  }
  for (const PlaylistView::Mark& mark : view.marks) {
    if (mark.type != 1) continue;
    const bool inside = mark.mark.playItem < view.items.size() &&
                        view.items[mark.mark.playItem].item.inTime <= mark.mark.time &&
                        mark.mark.time < view.items[mark.mark.playItem].item.outTime;
    if (!inside)
      log->Break("chapter-marks", Format("the chapter mark at %u in play item %u lies outside it",
                                         mark.mark.time, mark.mark.playItem));
  }
}

}  // namespace quillet::toolkit::bluray
