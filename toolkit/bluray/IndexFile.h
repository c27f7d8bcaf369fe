#pragma once
// BDMV/index.bdmv: what a player starts on insertion (first play), on the top-menu key,
// and for each numbered title; each names a movie object.

#include <cstdint>
#include <string>
#include <vector>

namespace quillet::toolkit::bluray {

struct DiscIndex {
  uint16_t firstPlayObject = 0;
  uint16_t topMenuObject = 0;
  std::vector<uint16_t> titleObjects;  // title 1, 2, ...: the movie object each runs
};

std::vector<uint8_t> WriteIndex(const DiscIndex& index);
bool ReadIndex(const std::vector<uint8_t>& bytes, DiscIndex* index, std::string* error);

}  // namespace quillet::toolkit::bluray
