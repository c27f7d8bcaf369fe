// The "Convert" button: settles the target platform, saves the settings and hands the
// source to the road for its type.

#include "app/AppTools.h"
#include "app/Settings.h"
#include "base/Files.h"
#include "convert/ConversionGuard.h"
#include "convert/Convert.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"
#include "sources/Sources.h"
#include "tools/Paths.h"

namespace quillet {
namespace {

// Before the road is chosen: the window leaves the always-on-top band, the output
// folder text gets its separator, the last source folder is kept, and the settings are
// written before and after the Xbox 360 flag is settled.
void PrepareConversion(App& app) {
  Form1& form = app.form;
  IgnoringErrors([&] { form.SetTopMost(false); });
  if (form.txtTMP.Text.empty() || form.txtTMP.Text.back() != kSep) form.txtTMP.Text += kSep;
  IgnoringErrors([&] {
    form.strMKVPath = ReplaceAll(form.strFullname, FileNameFromPath(form.strFullname), "");
  });
  IgnoringErrors([&] { SaveSettings(app); });
  const int platform = form.cmbPlatform.ListIndex;
  form.b360 = !(platform == 0 || platform == 2);
  IgnoringErrors([&] { SaveSettings(app); });
}

void DispatchOnSourceType(App& app) {
  const std::string& type = app.form.strType;
  if (type == "wmv")
    WmvToAvchd(app);
  else if (type != "avi")
    Convert(app);
  else
    ConvertAvi(app);
}

}  // namespace

void Command2_Click(App& app) {
  // The parts of a split source and the subtitle-remuxed copy run inside the
  // conversion that asked for them, under its guard; only the outer run counts for the
  // exit status.
  const bool outerRun = !app.form.bSplit && !app.form.bSRT;
  auto conversion = [&] {
    PrepareConversion(app);
    IgnoringErrors([&] { DispatchOnSourceType(app); });
  };
  if (!outerRun) {
    conversion();
    return;
  }
  ++app.conversionsStarted;
  ConversionGuard guard(app);
  guard.Run(conversion);
  // The WMV and AVI roads end their success text with a full stop.
  const std::string& ended = app.form.txtProgress.Text;
  if (ended == kConversionDone || ended == kConversionDoneStop) ++app.conversionsSucceeded;
}

}  // namespace quillet
