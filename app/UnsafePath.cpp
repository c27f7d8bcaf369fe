#include "app/UnsafePath.h"

#include "app/Ui.h"
#include "base/Files.h"
#include "tools/CommandLine.h"

namespace quillet {

bool AcceptPathForTools(App& app, const std::string& path, const std::string& what) {
  const std::string why = WhyUnsafeForCommandLine(path);
  if (why.empty()) return true;
  app.ctx.ui.MsgBox("This " + what + " cannot be used: " + why +
                        ", which cannot be passed to the conversion tools. Please rename it.\r" +
                        path,
                    MsgStyle::kExclamation, kUnsafePathTitle);
  return false;
}

std::string WhyNotASource(const std::string& path, bool blockDeviceAllowed) {
  const std::string kind = NotARegularFile(path, blockDeviceAllowed);
  return kind.empty() ? "" : path + " is not a regular file (" + kind + ")";
}

bool AcceptSourceFile(App& app, const std::string& path, bool blockDeviceAllowed) {
  const std::string why = WhyNotASource(path, blockDeviceAllowed);
  if (why.empty()) return true;
  app.ctx.ui.MsgBox(why, MsgStyle::kExclamation, "");
  return false;
}

}  // namespace quillet
