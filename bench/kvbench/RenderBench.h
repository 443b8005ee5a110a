// kvbench <scene> <frames> [--warmup N] [--png FILE] [--peer-png FILE] [--no-peer]
#pragma once

namespace kvbench {
// argv holds the arguments after the program name. Returns the exit status.
int RunRenderBench(int argc, char** argv);
}  // namespace kvbench
