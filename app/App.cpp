#include "app/App.h"

#include "inspect/ReadInfo.h"
#include "tools/ToolRunner.h"

namespace quillet {

App::App(Context& context) : ctx(context), form(context.ui, context.media) {
  form.cmbAudio.OnClick = [this] { cmbAudio_Click(*this); };
  ctx.runner.SetProgressCallback([this](double share) { form.progress.share = share; });
}

App::~App() {
  ctx.runner.SetProgressCallback(nullptr);
}

}  // namespace quillet
