// The step that acts on a module's controls as a person does, on its own form or on a dialog
// form it shows.
#include "hostapp/script_engine_internal.h"

namespace korvane::hostapp {

using script::Json;

Json ScriptHost::Impl::Act(const Json& step) { return driver.Act(step); }

}  // namespace korvane::hostapp
