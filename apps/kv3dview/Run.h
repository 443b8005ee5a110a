// The viewer's run: read the form, show it, draw, write what was asked for.
#pragma once

#include "Options.h"

namespace kv::viewer {

// The process's exit status: 0 on success, 1 for a form or file error, 2 for
// a display mode the display does not offer.
int Run(const Options& options);

}  // namespace kv::viewer
