// PLACEHOLDER: replaced by the inspection work.
#include "inspect/ReadInfo.h"
namespace quillet {
void ReadInfo(App&, const std::string&) {}
void ParseTrackReport(App&) {}
void cmbAudio_Click(App&) {}
}  // namespace quillet
