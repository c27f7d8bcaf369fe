// An earlier result of the same name, set aside while a run makes its own.

#include <filesystem>
#include <system_error>

#include "app/AppTools.h"
#include "app/Ui.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "convert/RunCleanup.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

// The longest name a folder entry may have on the file systems we write to.
constexpr size_t kLongestName = 255;

// The n-th name to set the result aside under, in its own folder so the move is a rename:
// "NAME.earlier", "NAME.earlier2", ...; when that name would be too long for the folder,
// a short hidden one that keeps the extension (".quillet-earlier-1.mp4").
std::string AsideName(const std::string& result, int n) {
  const fs::path path(result);
  const std::string number = n > 1 ? std::to_string(n) : "";
  if (path.filename().string().size() + 8 + number.size() <= kLongestName)
    return result + ".earlier" + number;
  const std::string shortName = ".quillet-earlier-" + std::to_string(n) + path.extension().string();
  return (path.parent_path() / shortName).string();
}

// A result that stays in the way would pass for this run's: the run is refused.
void RefuseRun(App& app, const std::string& result, const std::string& why) {
  AppendDebugLog(app, "The earlier result " + result + " could not be set aside: " + why);
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox("Error: the earlier result " + result + " could not be set aside (" + why +
                          "). Move or rename it, then convert again.",
                      MsgStyle::kCritical, "info");
  });
  SetProgress(app, kConversionError);
}

}  // namespace

EarlierResult::EarlierResult(App& app, const ConvertRun& run)
    : EarlierResult(app, run.folder + run.strBaseName + ".mp4") {}

EarlierResult::EarlierResult(App& app, std::string path) : app_(app), result_(std::move(path)) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(result_, ec))) SetAside();
  // A stop deletes what this run wrote under the result's name.
  if (!refused_) RegisterPartialResult(app_, result_);
}

void EarlierResult::SetAside() {
  std::error_code ec;
  for (int n = 1; n < 100; ++n) {
    const std::string aside = AsideName(result_, n);
    if (fs::exists(fs::symlink_status(aside, ec))) continue;
    fs::rename(result_, aside, ec);
    if (ec) break;
    aside_ = aside;
    RegisterSetAside(app_, aside_, result_);
    return;
  }
  refused_ = true;
  RefuseRun(app_, result_, ec ? ec.message() : "no free name beside it");
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

bool AnyRefused(const std::vector<EarlierResult>& earlier) {
  for (const EarlierResult& result : earlier)
    if (result.Refused()) return true;
  return false;
}

}  // namespace quillet
