// Self-registration of the component libraries beside the program, through the dynamic
// loader. Every failure is silent: an unusable library is simply skipped.
#include "sys/DlopenComponents.h"

#include <dlfcn.h>

#include "base/Files.h"
#include "base/PathResolve.h"
#include "sys/FileAPI.h"
#include "tools/Paths.h"

namespace quillet {

void DlopenComponents::RegisterServer(const std::string& libraryPath, bool doRegister) {
  std::string path = ResolvePathNoCase(libraryPath);
  if (FileSize64(path) == 0) return;  // missing, unreadable or empty
  // A bare name would make the loader search the system's library folders.
  if (path.find(kSep) == std::string::npos) path = std::string(".") + kSepStr + path;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return;
  using Entry = long (*)();  // HRESULT of the Windows entry points
  auto entry = reinterpret_cast<Entry>(
      dlsym(library, doRegister ? "DllRegisterServer" : "DllUnregisterServer"));
  if (entry) entry();
  dlclose(library);
}

}  // namespace quillet
