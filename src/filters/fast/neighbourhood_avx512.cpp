// The neighbourhood pass built again for AVX-512 (F, BW, VL): CMake gives
// this file those flags where the compiler targets x86-64. The lanes stay
// 32 bytes wide (lanes.h says why); the gain is the walk's, whose 128-bit
// code then has 32 registers instead of 16. Run only where the processor
// has all three (lane_path.cpp).
#if defined(DENOISE_AVX512_PATH)
#if !defined(__AVX512BW__) || !defined(__AVX512VL__)
#error "the AVX-512 path must be built with -mavx512f -mavx512bw -mavx512vl"
#endif
#include "neighbourhood.cpp"
#endif
