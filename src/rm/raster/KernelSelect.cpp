#include "korvane3d/rm/raster/Kernels.h"

namespace kv::raster {

const KernelTable& SelectKernels(bool allowWide) {
  static const bool hasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  }();
  return allowWide && hasAvx2 ? kernels_avx2::kTable : kernels_generic::kTable;
}

}  // namespace kv::raster
