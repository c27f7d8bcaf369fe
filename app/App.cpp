#include "app/App.h"

namespace quillet {

App::App(Context& context) : ctx(context), form(context.ui, context.media) {}

}  // namespace quillet
