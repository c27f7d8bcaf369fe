#pragma once
// The one place a road that is not built yet leads to: it says so on screen and in the
// progress text, so a run never pretends to have converted anything.

#include <string>

#include "app/App.h"

namespace quillet {

// Shows "<what> is not built yet." and sets the progress text to "Conversion error.".
void ReportNotBuiltYet(App& app, const std::string& what);

}  // namespace quillet
