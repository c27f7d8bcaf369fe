#pragma once
// BDMV/MovieObject.bdmv: the HDMV navigation programs. Ours play playlists and then end.

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::toolkit::bluray {

// One navigation command in its 12-byte form.
struct NavigationCommand {
  uint32_t opcode = 0;
  uint32_t destination = 0;
  uint32_t source = 0;
};

// "Play playlist N" (PlayPL with an immediate operand).
NavigationCommand PlayPlaylistCommand(uint32_t playlist);
// "Jump to movie object N" (JumpObject with an immediate operand).
NavigationCommand JumpObjectCommand(uint32_t object);
// "Do nothing" (Nop: all fields zero).
inline constexpr NavigationCommand kNopCommand{};

struct MovieObject {
  bool resumeIntention = true;  // a title resumes after a menu call
  std::vector<NavigationCommand> commands;
};

std::vector<uint8_t> WriteMovieObjects(const std::vector<MovieObject>& objects);
bool ReadMovieObjects(const std::vector<uint8_t>& bytes, std::vector<MovieObject>* objects,
                      std::string* error);

}  // namespace quillet::toolkit::bluray
