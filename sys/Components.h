#pragma once
// Self-registration of the component libraries shipped beside the program.

#include <string>

namespace quillet {

class Components {
 public:
  virtual ~Components() = default;
  // Loads the library, calls "DllRegisterServer" (or "DllUnregisterServer") and unloads
  // it. A missing, empty or unloadable library, or one without the entry, is skipped.
  virtual void RegisterServer(const std::string& libraryPath, bool doRegister) = 0;
};

}  // namespace quillet
