// The neighbourhood pass built again for AVX2: CMake gives this file
// -mavx2 where the compiler targets x86-64, and the same source then takes
// 32-byte lanes for the preparation and AVX's three-operand forms for the
// walk's 128-bit code. Run only where the processor has AVX2 (lane_path.cpp).
#if defined(DENOISE_AVX2_PATH)
#if !defined(__AVX2__)
#error "the AVX2 path must be built with -mavx2"
#endif
#include "neighbourhood.cpp"
#endif
