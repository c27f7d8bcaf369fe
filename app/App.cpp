#include "app/App.h"

#include "inspect/ReadInfo.h"

namespace quillet {

App::App(Context& context) : ctx(context), form(context.ui, context.media) {
  form.cmbAudio.OnClick = [this] { cmbAudio_Click(*this); };
}

}  // namespace quillet
