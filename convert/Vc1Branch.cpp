// A Matroska film with VC-1 video, neither re-encoded nor authored as AVCHD. The players'
// MP4 and transport-stream files take no VC-1 here, and the old branch only extracted
// pieces that nothing muxed: the user is told what makes a film of it instead.

#include "app/AppTools.h"
#include "app/Ui.h"
#include "convert/ConvertSteps.h"
#include "convert/PathNames.h"

namespace quillet {

void TellVc1NeedsAvchdOrRecode(App& app) {
  AppendDebugLog(app, "VC-1 video without AVCHD or a re-encode: nothing converted");
  IgnoringErrors([&] {
    app.ctx.ui.MsgBox(
        "This film's video is VC-1: tick \"AVCHD (BR/PS3)\" to author it as it is, or "
        "\"MPEG2 Recode\" to re-encode it.",
        MsgStyle::kExclamation, "VC-1 video");
  });
  SetProgress(app, kConversionError);
}

}  // namespace quillet
