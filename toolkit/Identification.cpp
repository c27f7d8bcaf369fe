#include "toolkit/Identification.h"

#include <cstdio>

#include "toolkit/Process.h"
#include "toolkit/Text.h"

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

MkvTrack ReadTrack(const Json& node) {
  MkvTrack t;
  t.id = node.Get("id").Int(-1);
  t.type = node.Get("type").String();
  t.codec = node.Get("codec").String();
  const Json& p = node.Get("properties");
  t.number = p.Get("number").Int(0);
  t.uid = p.Get("uid").Text();
  t.codecId = p.Get("codec_id").String();
  if (auto bytes = FromHex(p.Get("codec_private_data").String())) t.codecPrivate = *bytes;
  t.codecPrivateLength =
      p.Get("codec_private_length").Int(static_cast<long long>(t.codecPrivate.size()));
  t.language = p.Get("language").String();
  t.defaultDurationNs = p.Get("default_duration").Int(0);
  t.enabled = p.Get("enabled_track").Bool(true);
  t.defaultTrack = p.Get("default_track").Bool(true);
  t.forced = p.Get("forced_track").Bool(false);
  ParseDimensions(p.Get("pixel_dimensions").String(), t.pixelWidth, t.pixelHeight);
  ParseDimensions(p.Get("display_dimensions").String(), t.displayWidth, t.displayHeight);
  t.displayUnit = static_cast<int>(p.Get("display_unit").Int(0));
  t.samplingFrequency = p.Get("audio_sampling_frequency").Int(0);
  t.channels = p.Get("audio_channels").Int(0);
  t.bitsPerSample = p.Get("audio_bits_per_sample").Int(0);
  return t;
}

int CountEntries(const Json& list) {
  int total = 0;
  for (const Json& item : list.Items()) total += static_cast<int>(item.Get("num_entries").Int(1));
  return total;
}

}  // namespace

const MkvTrack* MkvIdentification::FindTrack(long long id) const {
  for (const MkvTrack& t : tracks)
    if (t.id == id) return &t;
  return nullptr;
}

std::optional<MkvIdentification> ParseIdentification(const std::string& json, std::string* error) {
  auto doc = Json::Parse(json, error);
  if (!doc) return std::nullopt;
  if (!doc->IsObject() || !doc->Find("container")) {
    if (error) *error = "not an identification";
    return std::nullopt;
  }
  MkvIdentification id;
  const Json& container = doc->Get("container");
  id.containerType = container.Get("type").String();
  id.recognized = container.Get("recognized").Bool(false);
  const Json& props = container.Get("properties");
  id.durationNs = props.Get("duration").Int(-1);
  id.timestampScale = props.Get("timestamp_scale").Int(0);
  id.muxingApplication = props.Get("muxing_application").String();
  id.writingApplication = props.Get("writing_application").String();
  id.segmentUid = props.Get("segment_uid").String();
  id.chapterEditions = CountEntries(doc->Get("chapters"));
  id.attachments = static_cast<int>(doc->Get("attachments").Items().size());
  id.globalTags = CountEntries(doc->Get("global_tags"));
  for (const Json& t : doc->Get("tracks").Items()) id.tracks.push_back(ReadTrack(t));
  for (const Json& e : doc->Get("errors").Items()) id.errors.push_back(e.String());
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
