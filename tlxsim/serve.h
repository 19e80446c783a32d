// `tlxsim serve`: simulated printers on pseudo-terminals and the control channel that steers them.
#pragma once

#include "tlxsim/options.h"

namespace tlxsim {

// Runs until SIGTERM/SIGINT, a `quit` command, the owner going away (--owned) or --max-seconds.
// Returns the process exit code.
int serve(const ServeOptions& options);

} // namespace tlxsim
