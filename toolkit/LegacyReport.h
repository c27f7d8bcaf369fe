#pragma once
// The Matroska report in the classic layout of the old mkvinfo (before version 5): a tree
// of "|" lines with "+ " element names, 1-based track numbers and the frame rate of a
// video track's default duration. The program reads it by fixed character positions.

#include <cstdint>
#include <string>

#include "toolkit/Identification.h"

namespace quillet::toolkit {

// The values of a Matroska file's EBML head and the size of its segment.
struct EbmlHead {
  bool valid = false;
  uint64_t version = 1, readVersion = 1, maxIdLength = 4, maxSizeLength = 8;
  std::string docType;
  uint64_t docTypeVersion = 0, docTypeReadVersion = 0;
  long long segmentSize = -1;  // -1 when unknown
};

// Reads the EBML head from the first bytes of a file.
EbmlHead ReadEbmlHead(const std::string& firstBytes);

// The whole report, lines ending in LF.
std::string WriteLegacyReport(const MkvIdentification& id, const EbmlHead& head);

// The display width and height in pixels: a display unit other than pixels (an aspect
// ratio, or a physical size) is turned into pixels at the track's pixel height.
void DisplayInPixels(const MkvTrack& track, int& width, int& height);

}  // namespace quillet::toolkit
