// Baseline x86-64 build of the pixel stage.
#define KV_KERNEL_NAMESPACE kernels_generic
#define KV_KERNEL_NAME "generic"
#define KV_VERTEX_KERNEL nullptr
#include "korvane3d/rm/raster/KernelsImpl.inc"
