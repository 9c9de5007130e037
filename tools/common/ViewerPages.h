// The pages the form viewer writes into the viewer's folder of the world, which the console
// shows: <file name>.html for a form, and one page for a form not yet saved.
#pragma once

namespace qv {

// The page of no form, in the viewer's folder of the world.
inline constexpr char kNoFormPage[] = "no-form.html";

}  // namespace qv
