// PLACEHOLDER: replaced by the inspection work.
#include "inspect/SetHeaderMod.h"
namespace quillet {
void SetHeaderLevel(const std::string&) {}
void RunH264Info(App&, const std::string&) {}
}  // namespace quillet
