// PLACEHOLDER: replaced by the settings work.
#include "app/Settings.h"
namespace quillet {
void LoadSettings(App&) {}
void SaveSettings(App&) {}
void Form_DblClick(App&) {}
}  // namespace quillet
