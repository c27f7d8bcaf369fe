// The WMA-to-WAV graph on GStreamer. The Windows filters it plays: the source filter is
// filesrc ! asfdemux, "Raw Audio 0" the demuxer's first audio pad, "WMAudio Decoder DMO"
// the WMA decoder the registry offers for the stream, "WAV Dest" audioconvert ! wavenc,
// "File writer" filesink.
#include <gst/gst.h>

#include <mutex>

#include "platform/GstMediaGraph.h"

namespace quillet {
namespace {

constexpr const char* kWmaDecoders[] = {"avdec_wmav2", "avdec_wmav1", "avdec_wmapro"};

bool HasFactory(const char* name) {
  GstElementFactory* factory = gst_element_factory_find(name);
  if (!factory) return false;
  gst_object_unref(factory);
  return true;
}

// The decoder the registry offers for these caps, or nullptr.
GstElement* MakeDecoderFor(GstCaps* caps) {
  for (const char* name : kWmaDecoders) {
    GstElementFactory* factory = gst_element_factory_find(name);
    if (!factory) continue;
    const bool fits = gst_element_factory_can_sink_any_caps(factory, caps);
    gst_object_unref(factory);
    if (fits) return gst_element_factory_make(name, nullptr);
  }
  return nullptr;
}

class GstWmaToWavGraph : public AudioGraph {
 public:
  GstWmaToWavGraph(const std::string& source, const std::string& wavPath) {
    pipeline_ = gst_pipeline_new("wma-to-wav");
    GstElement* src = gst_element_factory_make("filesrc", nullptr);
    demux_ = gst_element_factory_make("asfdemux", nullptr);
    convert_ = gst_element_factory_make("audioconvert", nullptr);
    GstElement* wav = gst_element_factory_make("wavenc", nullptr);
    GstElement* sink = gst_element_factory_make("filesink", nullptr);
    g_object_set(src, "location", source.c_str(), nullptr);
    g_object_set(sink, "location", wavPath.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline_), src, demux_, convert_, wav, sink, nullptr);
    gst_element_link(src, demux_);
    gst_element_link_many(convert_, wav, sink, nullptr);
    g_signal_connect(demux_, "pad-added", G_CALLBACK(&GstWmaToWavGraph::OnPadAdded), this);
    g_signal_connect(demux_, "no-more-pads", G_CALLBACK(&GstWmaToWavGraph::OnNoMorePads), this);
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  }

  ~GstWmaToWavGraph() override {
    Stop();
    gst_object_unref(pipeline_);
  }

  State Poll(std::string* error) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!padError_.empty()) {
        if (error) *error = padError_;
        return State::kFailed;
      }
    }
    GstBus* bus = gst_element_get_bus(pipeline_);
    State state = State::kRunning;
    while (GstMessage* message = gst_bus_pop_filtered(
               bus, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
      if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        state = State::kEnded;
      } else {
        GError* gerror = nullptr;
        gst_message_parse_error(message, &gerror, nullptr);
        if (error) *error = gerror ? gerror->message : "the graph failed";
        if (gerror) g_error_free(gerror);
        state = State::kFailed;
      }
      gst_message_unref(message);
      if (state != State::kRunning) break;
    }
    gst_object_unref(bus);
    return state;
  }

  void Stop() override { gst_element_set_state(pipeline_, GST_STATE_NULL); }

 private:
  // The demuxer's pads appear on its streaming thread; the first audio pad is linked to
  // the decoder for its stream.
  static void OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
    auto* self = static_cast<GstWmaToWavGraph*>(data);
    std::lock_guard<std::mutex> lock(self->mutex_);
    gchar* name = gst_pad_get_name(pad);
    const bool audio = g_str_has_prefix(name, "audio_");
    g_free(name);
    if (!audio || self->audioLinked_) return;
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps) caps = gst_pad_query_caps(pad, nullptr);
    GstElement* decoder = MakeDecoderFor(caps);
    gst_caps_unref(caps);
    if (!decoder) {
      self->padError_ = "WMAudio Decoder DMO: no WMA decoder for this stream";
      return;
    }
    gst_bin_add(GST_BIN(self->pipeline_), decoder);
    GstPad* sinkPad = gst_element_get_static_pad(decoder, "sink");
    const bool linked =
        gst_pad_link(pad, sinkPad) == GST_PAD_LINK_OK && gst_element_link(decoder, self->convert_);
    gst_object_unref(sinkPad);
    gst_element_sync_state_with_parent(decoder);
    if (linked)
      self->audioLinked_ = true;
    else
      self->padError_ = "Raw Audio 0: the audio stream cannot be connected to the decoder";
  }

  static void OnNoMorePads(GstElement*, gpointer data) {
    auto* self = static_cast<GstWmaToWavGraph*>(data);
    std::lock_guard<std::mutex> lock(self->mutex_);
    if (!self->audioLinked_ && self->padError_.empty())
      self->padError_ = "Raw Audio 0: the source has no audio stream";
  }

  GstElement* pipeline_ = nullptr;
  GstElement* demux_ = nullptr;
  GstElement* convert_ = nullptr;
  std::mutex mutex_;
  bool audioLinked_ = false;
  std::string padError_;
};

}  // namespace

std::unique_ptr<AudioGraph> GstMediaGraph::RunWmaToWavGraph(const std::string& source,
                                                            const std::string& wavPath,
                                                            std::string* missing) {
  const auto say = [&](const std::string& what) {
    if (missing) *missing = what;
    return nullptr;
  };
  if (!gst_init_check(nullptr, nullptr, nullptr)) return say("GStreamer");
  for (const char* element : {"filesrc", "asfdemux", "audioconvert", "wavenc", "filesink"})
    if (!HasFactory(element)) return say(element);
  bool anyDecoder = false;
  for (const char* name : kWmaDecoders) anyDecoder = anyDecoder || HasFactory(name);
  if (!anyDecoder) return say("WMAudio Decoder DMO (avdec_wmav1, avdec_wmav2, avdec_wmapro)");
  return std::make_unique<GstWmaToWavGraph>(source, wavPath);
}

}  // namespace quillet
