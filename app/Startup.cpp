// PLACEHOLDER: replaced by the start-up work.
#include "app/NotBuiltYet.h"
#include "app/Program.h"
namespace quillet {
void Form_Load(App&, const std::string&) {}
bool IsConvertibleArgument(const std::string&) {
  return false;
}
int HeadlessExitStatus(const App&) {
  return 1;
}
}  // namespace quillet
