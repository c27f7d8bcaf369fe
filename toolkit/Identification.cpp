#include "toolkit/Identification.h"

#include <cstdio>

#include "base/JsonFields.h"
#include "base/Text.h"
#include "toolkit/Process.h"

namespace quillet::toolkit {
namespace {

void ParseDimensions(const std::string& text, int& width, int& height) {
  auto parts = Split(text, 'x');
  if (parts.size() != 2) return;
  auto w = ParseInt(parts[0]), h = ParseInt(parts[1]);
  if (w && h) {
    width = static_cast<int>(*w);
    height = static_cast<int>(*h);
  }
}

MkvTrack ReadTrack(const JsonValue& node) {
  MkvTrack t;
  t.id = IntOf(Member(node, "id"), -1);
  t.type = StringOf(Member(node, "type"));
  t.codec = StringOf(Member(node, "codec"));
  const JsonValue& p = Member(node, "properties");
  t.number = IntOf(Member(p, "number"), 0);
  t.uid = TextOf(Member(p, "uid"));
  t.codecId = StringOf(Member(p, "codec_id"));
  if (auto bytes = FromHex(StringOf(Member(p, "codec_private_data")))) t.codecPrivate = *bytes;
  t.codecPrivateLength =
      IntOf(Member(p, "codec_private_length"), static_cast<long long>(t.codecPrivate.size()));
  t.language = StringOf(Member(p, "language"));
  t.name = StringOf(Member(p, "track_name"));
  t.defaultDurationNs = IntOf(Member(p, "default_duration"), 0);
  t.enabled = BoolOf(Member(p, "enabled_track"), true);
  t.defaultTrack = BoolOf(Member(p, "default_track"), true);
  t.forced = BoolOf(Member(p, "forced_track"), false);
  ParseDimensions(StringOf(Member(p, "pixel_dimensions")), t.pixelWidth, t.pixelHeight);
  ParseDimensions(StringOf(Member(p, "display_dimensions")), t.displayWidth, t.displayHeight);
  t.displayUnit = static_cast<int>(IntOf(Member(p, "display_unit"), 0));
  t.samplingFrequency = IntOf(Member(p, "audio_sampling_frequency"), 0);
  t.channels = IntOf(Member(p, "audio_channels"), 0);
  t.bitsPerSample = IntOf(Member(p, "audio_bits_per_sample"), 0);
  return t;
}

int CountEntries(const JsonValue& list) {
  int total = 0;
  for (const JsonValue& item : Elements(list))
    total += static_cast<int>(IntOf(Member(item, "num_entries"), 1));
  return total;
}

}  // namespace

const MkvTrack* MkvIdentification::FindTrack(long long id) const {
  for (const MkvTrack& t : tracks)
    if (t.id == id) return &t;
  return nullptr;
}

std::optional<MkvIdentification> ParseIdentification(const std::string& json, std::string* error) {
  auto doc = ParseJson(json, error);
  if (!doc) return std::nullopt;
  if (!doc->is_object() || !doc->contains("container")) {
    if (error) *error = "not an identification";
    return std::nullopt;
  }
  MkvIdentification id;
  const JsonValue& container = Member(*doc, "container");
  id.containerType = StringOf(Member(container, "type"));
  id.recognized = BoolOf(Member(container, "recognized"), false);
  const JsonValue& props = Member(container, "properties");
  id.durationNs = IntOf(Member(props, "duration"), -1);
  id.timestampScale = IntOf(Member(props, "timestamp_scale"), 0);
  id.muxingApplication = StringOf(Member(props, "muxing_application"));
  id.writingApplication = StringOf(Member(props, "writing_application"));
  id.segmentUid = StringOf(Member(props, "segment_uid"));
  id.chapterEditions = CountEntries(Member(*doc, "chapters"));
  id.attachments = static_cast<int>(Elements(Member(*doc, "attachments")).size());
  id.globalTags = CountEntries(Member(*doc, "global_tags"));
  for (const JsonValue& t : Elements(Member(*doc, "tracks"))) id.tracks.push_back(ReadTrack(t));
  for (const JsonValue& e : Elements(Member(*doc, "errors"))) id.errors.push_back(StringOf(e));
  return id;
}

std::optional<MkvIdentification> IdentifyFile(const std::string& path) {
  RunOptions options;
  options.captureOut = true;
  ToolResult r = RunProgram({"mkvmerge", "-J", path}, options);
  // mkvmerge answers with exit status 1 for warnings and 2 for a file it cannot read.
  if (!r.started || r.signal != 0 || (r.exitCode != 0 && r.exitCode != 1)) {
    if (!r.out.empty()) {
      if (auto id = ParseIdentification(r.out))
        for (const std::string& e : id->errors) Log("mkvmerge: " + e);
    }
    Log("cannot identify " + path);
    return std::nullopt;
  }
  std::string error;
  auto id = ParseIdentification(r.out, &error);
  if (!id) Log("mkvmerge gave no identification for " + path + ": " + error);
  return id;
}

}  // namespace quillet::toolkit
