#pragma once
// The movie playlist (BDMV/PLAYLIST/NNNNN.mpls): the clips of a title in play order with
// their in and out times, the streams a player may select, and the chapter marks.

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/bluray/BluRayFolder.h"

namespace quillet::toolkit::bluray {

struct PlayItem {
  std::string clipName;             // "00000": the .clpi and .m2ts share it
  uint32_t inTime = 0;              // 45 kHz, in the clip's own time
  uint32_t outTime = 0;             // 45 kHz
  uint8_t connectionCondition = 1;  // 1: not seamless
};

struct PlaylistMark {
  uint16_t playItem = 0;
  uint32_t time = 0;  // 45 kHz, in that item's clip time
};

struct Playlist {
  std::vector<PlayItem> items;
  std::vector<ClipStream> streams;  // the same in every item
  std::vector<PlaylistMark> marks;
};

// An entry mark at the title's start and every `minutes` minutes after (0: the start
// only), each placed in the play item it falls in.
std::vector<PlaylistMark> ChapterMarks(const std::vector<PlayItem>& items, int minutes);

std::vector<uint8_t> WritePlaylist(const Playlist& playlist);

// What a reader finds in a playlist (for checks and tests).
struct PlaylistView {
  uint8_t playbackType = 0;
  struct Item {
    PlayItem item;
    struct Stream {
      uint8_t kind = 0;  // 0 video, 1 audio, 2 presentation graphics
      uint16_t pid = 0;
      uint8_t coding = 0;
      uint8_t format = 0;
      uint8_t rate = 0;
      std::string language;
    };
    std::vector<Stream> streams;
  };
  std::vector<Item> items;
  struct Mark {
    uint8_t type = 0;
    PlaylistMark mark;
  };
  std::vector<Mark> marks;
};
bool ReadPlaylist(const std::vector<uint8_t>& bytes, PlaylistView* view, std::string* error);

}  // namespace quillet::toolkit::bluray
