// Byte lanes for the row walk: sixteen bytes at a time where SSE2 is
// there, one byte at a time otherwise (and for the ends of a row). The AVX
// paths run the wavefront instead, over lane_type.h's lanes. All give the same bytes:
// everything done in lanes is exact integer work. Defining
// DENOISE_SCALAR_LANES builds the one-byte form alone, to check it on x86.
#pragma once

#if defined(__SSE2__) && !defined(DENOISE_SCALAR_LANES)
#define FAST_LANES_SSE2 1
#endif

#include <array>
#include <cstddef>
#include <cstdint>

#if defined(FAST_LANES_SSE2)
#include <emmintrin.h>
#endif

// The pass is built once for each lane path, each in a file with its own
// instruction set. Whatever such a file defines with outside linkage goes
// in a namespace of the path's own, so that the linker can never let an
// AVX2 or AVX-512 copy of a shared inline function stand in for the SSE2 one.
#if defined(FAST_LANES_SSE2)
#define FAST_LANES_PATH sse2
#else
#define FAST_LANES_PATH one_byte
#endif

// The networks below must be written out whole for the compiler to drop the
// parts nobody reads.
#if defined(__GNUC__)
#define FAST_LANES_INLINE inline __attribute__((always_inline))
#else
#define FAST_LANES_INLINE inline
#endif

namespace fast_lanes {
inline namespace FAST_LANES_PATH {

// One byte: the portable form, and the tail of every row.
struct Lane1 {
    static constexpr int COUNT = 1;
    std::uint8_t value;
};

FAST_LANES_INLINE Lane1 loadLanes(const std::uint8_t* source, Lane1) { return Lane1{*source}; }
FAST_LANES_INLINE void storeLanes(std::uint8_t* target, Lane1 lanes) { *target = lanes.value; }
FAST_LANES_INLINE Lane1 lower(Lane1 a, Lane1 b) { return Lane1{a.value < b.value ? a.value : b.value}; }
FAST_LANES_INLINE Lane1 upper(Lane1 a, Lane1 b) { return Lane1{a.value < b.value ? b.value : a.value}; }
// a - b, or 0 where b is the larger.
FAST_LANES_INLINE Lane1 lessOrZero(Lane1 a, Lane1 b) {
    return Lane1{std::uint8_t(a.value < b.value ? 0 : a.value - b.value)};
}

#if defined(FAST_LANES_SSE2)
struct Lane16 {
    static constexpr int COUNT = 16;
    __m128i value;
};

FAST_LANES_INLINE Lane16 loadLanes(const std::uint8_t* source, Lane16) {
    return Lane16{_mm_loadu_si128(reinterpret_cast<const __m128i*>(source))};
}
FAST_LANES_INLINE void storeLanes(std::uint8_t* target, Lane16 lanes) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target), lanes.value);
}
FAST_LANES_INLINE Lane16 lower(Lane16 a, Lane16 b) { return Lane16{_mm_min_epu8(a.value, b.value)}; }
FAST_LANES_INLINE Lane16 upper(Lane16 a, Lane16 b) { return Lane16{_mm_max_epu8(a.value, b.value)}; }
FAST_LANES_INLINE Lane16 lessOrZero(Lane16 a, Lane16 b) { return Lane16{_mm_subs_epu8(a.value, b.value)}; }
#endif

// The widest lanes the row walk prepares a row in.
#if defined(FAST_LANES_SSE2)
using WideLanes = Lane16;
#else
using WideLanes = Lane1;
#endif

template <class V>
FAST_LANES_INLINE V load(const std::uint8_t* source) {
    return loadLanes(source, V{});
}

template <class V>
FAST_LANES_INLINE void exchange(V& a, V& b) {
    const V low = lower(a, b);
    b = upper(a, b);
    a = low;
}

// Odd-even merge of two ascending lists of any lengths. Written out by the
// compiler into straight min/max code, and whatever the caller never reads
// is dropped again, so merging only to pick a few ranks costs only those.
// The temporaries are left uninitialised (each element is written before
// it is read): GCC did not always drop their zero fill.
template <class V, std::size_t M, std::size_t N>
FAST_LANES_INLINE std::array<V, M + N> mergeSorted(const std::array<V, M>& a, const std::array<V, N>& b) {
    std::array<V, M + N> merged;
    if constexpr (M == 0) {
        for (std::size_t i = 0; i < N; ++i) merged[i] = b[i];
    } else if constexpr (N == 0) {
        for (std::size_t i = 0; i < M; ++i) merged[i] = a[i];
    } else if constexpr (M == 1 && N == 1) {
        merged[0] = lower(a[0], b[0]);
        merged[1] = upper(a[0], b[0]);
    } else {
        std::array<V, (M + 1) / 2> a_even;
        std::array<V, M / 2> a_odd;
        std::array<V, (N + 1) / 2> b_even;
        std::array<V, N / 2> b_odd;
        for (std::size_t i = 0; i < M; ++i) (i % 2 == 0 ? a_even[i / 2] : a_odd[i / 2]) = a[i];
        for (std::size_t i = 0; i < N; ++i) (i % 2 == 0 ? b_even[i / 2] : b_odd[i / 2]) = b[i];
        const auto evens = mergeSorted<V>(a_even, b_even);
        const auto odds = mergeSorted<V>(a_odd, b_odd);
        constexpr std::size_t E = evens.size();
        constexpr std::size_t O = odds.size();
        // The first even leads; then each odd is exchanged with the next even.
        merged[0] = evens[0];
        std::size_t out = 1;
        std::size_t k = 0;
        for (; k < O && k + 1 < E; ++k) {
            merged[out++] = lower(odds[k], evens[k + 1]);
            merged[out++] = upper(odds[k], evens[k + 1]);
        }
        for (std::size_t i = k; i < O; ++i) merged[out++] = odds[i];
        for (std::size_t i = k + 1; i < E; ++i) merged[out++] = evens[i];
    }
    return merged;
}

}  // namespace FAST_LANES_PATH
}  // namespace fast_lanes
