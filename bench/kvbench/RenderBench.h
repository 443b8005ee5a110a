// kvbench <scene> <frames> [--warmup N] [--size WxH] [--png FILE] [--peer-png FILE] [--no-peer]
//         [--header] [--only RENDERER]; kvbench --header
#pragma once

namespace kvbench {
// argv holds the arguments after the program name. Returns the exit status.
int RunRenderBench(int argc, char** argv);
}  // namespace kvbench
