// The fast neighbourhood pass, the lane walk's visit: a pixel's three
// channels side by side in 16-bit lanes, with each figure of the window
// worked out where the mode's lane step asks for it. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cstdint>
#include <cstring>

#include "../../image/image_store.h"
#include "../neighbourhood.h"
#include "lanes.h"
#include "row_buffers.h"
#include "row_order.h"
#include "truncated_mean.h"

namespace {

// Every mode walks a pixel's three channels side by side where SSE2 gives
// the lanes, and one channel at a time elsewhere.
#if defined(FAST_LANES_SSE2)
constexpr bool WALK_IN_PIXEL_LANES = true;
#else
constexpr bool WALK_IN_PIXEL_LANES = false;
#endif

#if defined(FAST_LANES_SSE2)
// A pixel at a time (mode 1's walk): its three channels' visits side by
// side in the lanes, which takes a third of the instructions. Whole numbers sit
// in 16-bit lanes 0 to 2 (lane 3 carries something along unused, never
// stored), the squared deviation sums in 32-bit lanes.
struct PixelChains {
    __m128i far;   // 16-bit lanes
    __m128i near;
};

FAST_LANES_INLINE __m128i fourBytesWide(const std::uint8_t* source) {
    std::int32_t bytes;
    std::memcpy(&bytes, source, sizeof bytes);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), _mm_setzero_si128());
}

FAST_LANES_INLINE PixelChains pixelChainsBefore(const std::uint8_t* row, int k) {
    return PixelChains{fourBytesWide(row + k - REACH), fourBytesWide(row + k - NEAR)};
}

// As medianWith, in 16-bit lanes.
FAST_LANES_INLINE __m128i medianInLanes(__m128i far, __m128i near, __m128i low, __m128i mid, __m128i high) {
    const __m128i lowest = _mm_max_epi16(low, _mm_min_epi16(far, mid));
    const __m128i highest = _mm_min_epi16(high, _mm_max_epi16(far, mid));
    return _mm_max_epi16(lowest, _mm_min_epi16(near, highest));
}

// A pixel's three visits once the two values left of each are in. Each
// figure is worked out where a mode asks for it, so that a walk that runs
// its rows stage by stage holds only what the next stage needs.
struct PixelWindow {
    const RowBuffers& b;
    const std::uint8_t* row;
    int k;
    const PixelChains& c;

    FAST_LANES_INLINE __m128i centre() const { return fourBytesWide(row + k); }
    FAST_LANES_INLINE __m128i median() const {
        return medianInLanes(c.far, c.near, fourBytesWide(b.rank_low + k), fourBytesWide(b.rank_mid + k),
                             fourBytesWide(b.rank_high + k));
    }
    FAST_LANES_INLINE __m128i sum() const {
        const __m128i settled_sum = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b.settled_sum + k));
        return _mm_add_epi16(_mm_add_epi16(settled_sum, c.far), c.near);
    }
    FAST_LANES_INLINE __m128i mean(__m128i sum) const {
        return _mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(MEAN_MULTIPLIER)), 1);
    }
    // squares - mean * (2 * sum - 25 * mean), as squaredDeviationSumOf;
    // every factor fits 16 bits. In 32-bit lanes.
    FAST_LANES_INLINE __m128i deviationSum(__m128i sum, __m128i mean) const {
        const __m128i zero = _mm_setzero_si128();
        const __m128i settled_squares = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.settled_squares + k));
        const __m128i two_values = _mm_unpacklo_epi16(c.far, c.near);
        const __m128i squares = _mm_add_epi32(settled_squares, _mm_madd_epi16(two_values, two_values));
        const __m128i spread = _mm_sub_epi16(_mm_add_epi16(sum, sum), _mm_mullo_epi16(mean, _mm_set1_epi16(25)));
        return _mm_sub_epi32(squares,
                             _mm_madd_epi16(_mm_unpacklo_epi16(mean, zero), _mm_unpacklo_epi16(spread, zero)));
    }
    FAST_LANES_INLINE __m128i deviationSum() const {
        const __m128i s = sum();
        return deviationSum(s, mean(s));
    }
};

// Three bytes only: the fourth is the next visit's, read again by it.
FAST_LANES_INLINE void storeThreeBytes(std::uint8_t* target, std::uint32_t bytes) {
    const std::uint16_t first_two = std::uint16_t(bytes);
    std::memcpy(target, &first_two, sizeof first_two);
    target[2] = std::uint8_t(bytes >> 16);
}

// Writes the pixel's three new values and moves its chains on.
FAST_LANES_INLINE void storePixel(std::uint8_t* row, int k, __m128i result, PixelChains& c) {
    storeThreeBytes(row + k, std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(result, result))));
    c.far = c.near;
    c.near = result;
}

#endif

}  // namespace
