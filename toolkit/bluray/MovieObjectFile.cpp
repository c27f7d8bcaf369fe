#include "toolkit/bluray/MovieObjectFile.h"

#include "base/BitStream.h"

namespace quillet::toolkit::bluray {

NavigationCommand PlayPlaylistCommand(uint32_t playlist) {
  // One operand, branch group, play sub-group; the operand is immediate; PlayPL option 0.
  NavigationCommand command;
  command.opcode = (1u << 29) | (0u << 27) | (2u << 24) | (1u << 23);
  command.destination = playlist;
  return command;
}

NavigationCommand JumpObjectCommand(uint32_t object) {
  // One operand, branch group, jump sub-group; the operand is immediate; JumpObject option 0.
  NavigationCommand command;
  command.opcode = (1u << 29) | (0u << 27) | (1u << 24) | (1u << 23);
  command.destination = object;
  return command;
}

std::vector<uint8_t> WriteMovieObjects(const std::vector<MovieObject>& objects) {
  BitWriter w;
  w.Text("MOBJ0200", 8);
  w.Zeros(4 + 28);  // no extension data, reserved bytes
  const size_t length = w.Size();
  w.U32(0);
  w.U32(0);
  w.U16(uint16_t(objects.size()));
  for (const MovieObject& object : objects) {
    w.Bits(object.resumeIntention ? 1 : 0, 1);
    w.Bits(0, 2);  // menu call and title search allowed
    w.Bits(0, 13);
    w.U16(uint16_t(object.commands.size()));
    for (const NavigationCommand& command : object.commands) {
      w.U32(command.opcode);
      w.U32(command.destination);
      w.U32(command.source);
    }
  }
  w.PatchLength32(length);
  return w.Bytes();
}

bool ReadMovieObjects(const std::vector<uint8_t>& bytes, std::vector<MovieObject>* objects,
                      std::string* error) {
  objects->clear();
  BitReader r(bytes);
  if (r.Text(4) != "MOBJ" || r.Text(4) != "0200") {
    *error = "not a movie object file";
    return false;
  }
  r.Seek(40 + 8);
  const size_t count = r.U16();
  for (size_t i = 0; i < count && !r.Failed(); ++i) {
    MovieObject object;
    object.resumeIntention = r.Bits(1) != 0;
    r.Skip(15);
    const size_t commands = r.U16();
    for (size_t c = 0; c < commands && !r.Failed(); ++c)
      object.commands.push_back({r.U32(), r.U32(), r.U32()});
    objects->push_back(object);
  }
  if (r.Failed()) {
    *error = "movie object file ends early";
    return false;
  }
  return true;
}

}  // namespace quillet::toolkit::bluray
