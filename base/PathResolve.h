#pragma once
// Finding a path the way Windows would, without regard to case: the program's tool table
// spells one folder "FFMpeg" and "ffmpeg", and the slots get paths written for Windows.

#include <string>

namespace quillet {

// Resolves a path that does not exist as written by matching each missing component
// without regard to case (the first in name order when several match). Returns the path
// unchanged when nothing matches. With `ignoreTrailingBlanksAndDots`, a path that still
// matches nothing is tried once more without the blanks and dots that end its last
// component, which Windows drops.
std::string ResolvePathNoCase(const std::string& path, bool ignoreTrailingBlanksAndDots = false);

// An existing file or folder for a path the program wrote, as a slot reads it: the path
// resolved as above, trailing blanks and dots ignored.
std::string LocateInput(const std::string& path);

// Where a slot writes a result: the folder part located as above, the name without
// trailing blanks and dots, and an existing file of the same name in another case reused.
std::string LocateOutput(const std::string& path);

}  // namespace quillet
