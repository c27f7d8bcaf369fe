#pragma once
// The rules: from a film's facts and one player's limits to one verdict, with every
// reason naming the limit and the film's value, and the conversion that mends it.

#include <string>
#include <vector>

#include "check/MediaFacts.h"
#include "check/PlayerLimits.h"

namespace quillet {

// Ordered by how much work the film needs.
enum class VerdictKind { PlaysAsIs, Remux, LevelPatch, ReEncode };
// "plays", "remux", "level-patch", "re-encode"
const char* VerdictKindId(VerdictKind kind);

struct Reason {
  Limit limit;
  VerdictKind needs;    // the work this reason asks for; PlaysAsIs for a note
  std::string value;    // the film's value: "Matroska", "High @L5.1", "8 frames"
  std::string allowed;  // the limit: "MP4, AVI, WMV", "4.1", "4 frames at 1920x1080"
  std::string text;     // one sentence for people
};

struct Verdict {
  Player player;
  VerdictKind kind = VerdictKind::PlaysAsIs;
  // The conversion of this program that mends the film, with the window's options for
  // it; empty when this program makes nothing the player takes.
  std::string output;
  std::vector<std::string> options;
  std::string reencodeTo;       // "H.264", "Xvid"; empty unless kind is ReEncode
  std::vector<Reason> reasons;  // what makes the film need work
  std::vector<Reason> notes;    // what the player leaves out or may stumble on
};

Verdict JudgeForPlayer(const MediaFacts& facts, Player player);

// Why the video cannot be copied into the file of `scope` ("mp4", "m2ts", "bdmv") a
// conversion road makes for the player: the reasons the verdict gives for a codec, an
// H.264 profile (10-bit, 4:2:2, 4:4:4) or a frame size the player's decoder refuses. A
// re-encode to 8-bit 4:2:0 H.264 within the player's frame size mends each; empty when
// the road may copy the video.
// Why a film whose frame rate varies makes no Blu-ray folder as it is.
inline constexpr const char* kVariableRateOnBluRay =
    "the frame rate varies; a Blu-ray folder needs one";

std::vector<Reason> ReasonsToReEncode(const VideoFacts& video, Player player,
                                      const std::string& scope);

// The conversion cuts Matroska sources from this size on (thousands of bytes).
inline constexpr int64_t kSplitThresholdKB = 4190000;

}  // namespace quillet
