// A component library for the registration test: each entry point appends its name to
// the file named by QUILLET_TEST_COMPONENT_MARKER.
#include <cstdio>
#include <cstdlib>

namespace {

long Mark(const char* what) {
  const char* marker = std::getenv("QUILLET_TEST_COMPONENT_MARKER");
  if (!marker) return 1;
  if (std::FILE* file = std::fopen(marker, "a")) {
    std::fprintf(file, "%s\n", what);
    std::fclose(file);
  }
  return 0;
}

}  // namespace

extern "C" long DllRegisterServer() {
  return Mark("register");
}
extern "C" long DllUnregisterServer() {
  return Mark("unregister");
}
