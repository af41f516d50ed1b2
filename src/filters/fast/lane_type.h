// The lane type the wavefront is built with, picked by the instructions
// the file is compiled for: 32 byte lanes for AVX2 (and AVX-512), 16 for
// SSE2, one byte anywhere else. DENOISE_SCALAR_LANES builds the one-byte
// form alone, to check it on x86 too.
// wave_pass.cpp is compiled once per lane path, each time with its own
// flags.
//
// Whatever the pass defines goes in a namespace of the path's own
// (FAST_LANES_PATH), so that the linker can never let an AVX2 or AVX-512
// copy of an inline function stand in for the SSE2 one.
#pragma once

#if defined(__GNUC__)
#define FAST_LANES_INLINE inline __attribute__((always_inline))
#else
#define FAST_LANES_INLINE inline
#endif

#if defined(__AVX2__) && !defined(DENOISE_SCALAR_LANES)
#if defined(__AVX512BW__) && defined(__AVX512VL__)
#define FAST_LANES_PATH avx512
#else
#define FAST_LANES_PATH avx2
#endif
#include "lanes_avx2.h"
#elif defined(__SSE2__) && !defined(DENOISE_SCALAR_LANES)
#define FAST_LANES_PATH sse2
#include "lanes_sse2.h"
#else
#define FAST_LANES_PATH one_byte
#include "lanes_one_byte.h"
#endif
