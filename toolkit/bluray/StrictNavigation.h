#pragma once
// The strict reader of index.bdmv and MovieObject.bdmv: lengths and reserved fields, and
// what each title's movie object does once its last playlist has played.

#include <cstdint>
#include <vector>

#include "toolkit/bluray/StrictRules.h"

namespace quillet::toolkit::bluray {

// Checks index.bdmv; the movie objects of its titles go to *titleObjects.
void CheckIndex(const std::vector<uint8_t>& bytes, std::vector<uint16_t>* titleObjects,
                RuleLog* log);
// Checks MovieObject.bdmv, and that every title object goes on after its last PlayPL.
void CheckMovieObjects(const std::vector<uint8_t>& bytes, const std::vector<uint16_t>& titleObjects,
                       RuleLog* log);

}  // namespace quillet::toolkit::bluray
