#pragma once
// Room for a conversion in the output folder, checked before the first tool runs, for
// every road the source can take.

#include <cstdint>
#include <string>

#include "app/App.h"

namespace quillet {

enum class Road {
  kMp4,
  kM2ts,
  kAvchd,
  kXvid,
  kMpeg2Recode,
  kMpeg2Repack,
  kAviRepair,
  kWmvToAvchd,
};

// The road a Matroska source takes with the window's options and its inspected video.
Road MatroskaRoad(const App& app);

// Compares the free space of the output folder's file system with what the road needs
// for the source; when it does not fit, says so and returns false.
bool EnoughFreeSpace(App& app, const std::string& source, const std::string& folder, Road road);

// A size as people read it: "180 kB", "1.2 MB", "4.70 GB".
std::string SizeText(int64_t bytes);

}  // namespace quillet
