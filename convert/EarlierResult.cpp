// An earlier result of the same name, set aside while a run makes its own.

#include <filesystem>
#include <system_error>

#include "convert/ConvertSteps.h"
#include "convert/RunCleanup.h"

namespace quillet {

EarlierResult::EarlierResult(App& app, const ConvertRun& run)
    : EarlierResult(app, run.folder + run.strBaseName + ".mp4") {}

EarlierResult::EarlierResult(App& app, std::string path) : app_(app), result_(std::move(path)) {
  namespace fs = std::filesystem;
  // A stop deletes what this run wrote under the result's name.
  RegisterPartialResult(app_, result_);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(result_, ec))) return;
  for (int n = 1; n < 100; ++n) {
    const std::string aside = result_ + ".earlier" + (n > 1 ? std::to_string(n) : "");
    if (fs::exists(fs::symlink_status(aside, ec))) continue;
    fs::rename(result_, aside, ec);
    if (ec) return;
    aside_ = aside;
    RegisterSetAside(app_, aside_, result_);
    return;
  }
}

void EarlierResult::Settle(bool converted) {
  if (aside_.empty()) return;
  std::error_code ec;
  // Replaced, it stays until the whole conversion has ended: a stop in a later part
  // puts it back.
  if (converted && !RegisterReplaced(app_, aside_)) std::filesystem::remove(aside_, ec);
  if (!converted) {
    ForgetSetAside(app_, aside_);
    std::filesystem::rename(aside_, result_, ec);
  }
  aside_.clear();
}

}  // namespace quillet
