#include "kvbench/XLoad.h"

#include <cstdio>

namespace kvbench {
int RunXLoad(int, char**) {
  std::fputs("kvbench --xload: not built yet\n", stderr);
  return 2;
}
}  // namespace kvbench
