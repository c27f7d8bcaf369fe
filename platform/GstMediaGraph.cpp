// The registered filters of the media graph are GStreamer's element factories.
#include "platform/GstMediaGraph.h"

#include <gst/gst.h>

namespace quillet {
namespace {

bool GstReady() {
  static const bool ready = gst_init_check(nullptr, nullptr, nullptr);
  return ready;
}

bool HasFactoryWithLongName(GstRegistry* registry, const std::string& name) {
  GList* factories = gst_registry_get_feature_list(registry, GST_TYPE_ELEMENT_FACTORY);
  bool found = false;
  for (GList* item = factories; item && !found; item = item->next) {
    const gchar* longName = gst_element_factory_get_metadata(GST_ELEMENT_FACTORY(item->data),
                                                             GST_ELEMENT_METADATA_LONGNAME);
    found = longName && name == longName;
  }
  gst_plugin_feature_list_free(factories);
  return found;
}

}  // namespace

// A filter was registered under the name it shows to people; a factory is found by its
// feature name ("wavenc") or by that long name ("WAV audio muxer").
bool GstMediaGraph::HasRegisteredFilter(const std::string& name) {
  if (name.empty() || !GstReady()) return false;
  GstRegistry* registry = gst_registry_get();
  if (GstPluginFeature* feature =
          gst_registry_find_feature(registry, name.c_str(), GST_TYPE_ELEMENT_FACTORY)) {
    gst_object_unref(feature);
    return true;
  }
  return HasFactoryWithLongName(registry, name);
}

void GstMediaGraph::ShowFilterPages(const std::string&) {
  // GStreamer elements have no property pages to show: nothing happens, as on a system
  // where the filter's pages cannot be shown.
}

}  // namespace quillet
