#pragma once
// How text subtitles look, from the styling fields of a muxer job line:
// font-name="Arial",font-size=42,font-color=0x00FFFFFF,font-border=1,bottom-offset=50,
// text-align=center,video-width=1920,video-height=1080.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace quillet::toolkit::pgs {

enum class TextAlign { kLeft, kCenter, kRight };

struct SubtitleStyle {
  std::string fontName = "Arial";
  int fontSize = 42;            // pixels
  uint32_t color = 0xFFFFFFFF;  // 0xAARRGGBB
  int border = 1;               // outline width in pixels, drawn black
  int bottomOffset = 50;        // from the bottom edge to the last line's descent
  TextAlign align = TextAlign::kCenter;
  int width = 1920, height = 1080;  // the canvas: the video's frame size
};

// The style of a job line's fields; nullopt with a reason for a value out of range.
// font-color's top byte is the opacity, but 0 there is taken as opaque: the program
// writes white as 0x00FFFFFF.
std::optional<SubtitleStyle> StyleFromFields(const std::map<std::string, std::string>& fields,
                                             std::string* error);

}  // namespace quillet::toolkit::pgs
