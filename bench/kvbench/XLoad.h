// kvbench --xload: mesh-file loading times.
#pragma once

namespace kvbench {
// argv holds what follows "--xload". Prints one line per file; returns the
// exit status.
int RunXLoad(int argc, char** argv);
}  // namespace kvbench
