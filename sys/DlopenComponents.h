#pragma once
// Component registration through the dynamic loader.

#include "sys/Components.h"

namespace quillet {

class DlopenComponents : public Components {
 public:
  void RegisterServer(const std::string& libraryPath, bool doRegister) override;
};

}  // namespace quillet
