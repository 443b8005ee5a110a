// AVX2/FMA build of the pixel stage (compiled with -mavx2 -mfma; only called
// after the processor check in SelectKernels).
#define KV_KERNEL_NAMESPACE kernels_avx2
#define KV_KERNEL_NAME "avx2"
#define KV_VERTEX_KERNEL TransformVertices  // VertexKernelsAvx2.cpp
#include "korvane3d/rm/raster/KernelsImpl.inc"
