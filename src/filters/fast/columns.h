// The fast neighbourhood pass, per-row preparation, first half: every byte
// column of a row's five-row window sorted (with and without the row's own
// value) and, where a mode asks, summed. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cstdint>

#include "../../image/image_store.h"
#include "lanes.h"
#include "row_buffers.h"

namespace {

template <class V>
void sortColumnAt(RowBuffers& b, const std::uint8_t* centre_row, int p) {
    using fast_lanes::exchange;
    using fast_lanes::load;
    V v0 = load<V>(centre_row - 2 * ROW_STRIDE + p);
    V v1 = load<V>(centre_row - ROW_STRIDE + p);
    V v3 = load<V>(centre_row + ROW_STRIDE + p);
    V v4 = load<V>(centre_row + 2 * ROW_STRIDE + p);
    exchange(v0, v1);
    exchange(v3, v4);
    exchange(v0, v3);
    exchange(v1, v4);
    exchange(v1, v3);
    const V sorted[4] = {v0, v1, v3, v4};
    // The row's own value goes in by insertion.
    V carried = load<V>(centre_row + p);
    for (int i = 0; i < 4; ++i) {
        storeLanes(b.column_four[i] + p, sorted[i]);
        storeLanes(b.column_five[i] + p, lower(sorted[i], carried));
        carried = upper(sorted[i], carried);
    }
    storeLanes(b.column_five[4] + p, carried);
}

void sumColumnAt(RowBuffers& b, const std::uint8_t* centre_row, int p, Lane1) {
    const std::uint32_t v0 = centre_row[p - 2 * ROW_STRIDE], v1 = centre_row[p - ROW_STRIDE], v2 = centre_row[p],
                        v3 = centre_row[p + ROW_STRIDE], v4 = centre_row[p + 2 * ROW_STRIDE];
    const std::uint32_t sum = v0 + v1 + v3 + v4;
    const std::uint32_t squares = v0 * v0 + v1 * v1 + v3 * v3 + v4 * v4;
    b.column_sum[p] = std::uint16_t(sum);
    b.column_squares[p] = squares;
    b.column_sum_with_centre[p] = std::uint16_t(sum + v2);
    b.column_squares_with_centre[p] = squares + v2 * v2;
}

#if defined(FAST_LANES_SSE2)
// Sums in 16-bit lanes; squares (each fits 16 bits) added in pairs into
// 32-bit lanes.
void sumColumnAt(RowBuffers& b, const std::uint8_t* centre_row, int p, fast_lanes::Lane16) {
    const __m128i zero = _mm_setzero_si128();
    __m128i bytes[5];
    for (int i = 0; i < 5; ++i)
        bytes[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centre_row + (i - 2) * ROW_STRIDE + p));
    for (int half = 0; half < 2; ++half) {
        __m128i v[5];
        for (int i = 0; i < 5; ++i)
            v[i] = half == 0 ? _mm_unpacklo_epi8(bytes[i], zero) : _mm_unpackhi_epi8(bytes[i], zero);
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(v[0], v[1]), _mm_add_epi16(v[3], v[4]));
        const int q = p + 8 * half;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.column_sum + q), sum);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.column_sum_with_centre + q), _mm_add_epi16(sum, v[2]));
        for (int quarter = 0; quarter < 2; ++quarter) {
            auto interleave = [&](__m128i x, __m128i y) {
                return quarter == 0 ? _mm_unpacklo_epi16(x, y) : _mm_unpackhi_epi16(x, y);
            };
            const __m128i above = interleave(v[0], v[1]);
            const __m128i below = interleave(v[3], v[4]);
            const __m128i centre = interleave(v[2], zero);
            const __m128i squares = _mm_add_epi32(_mm_madd_epi16(above, above), _mm_madd_epi16(below, below));
            const int r = q + 4 * quarter;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b.column_squares + r), squares);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b.column_squares_with_centre + r),
                             _mm_add_epi32(squares, _mm_madd_epi16(centre, centre)));
        }
    }
}
#endif


// Sorted, and summed too if `sum_now`: both in one pass where a mode needs
// both everywhere.
void makeColumns(RowBuffers& b, const std::uint8_t* centre_row, int end, bool sum_now) {
    const int first = b.columns_end;
    if (end <= first) return;
    if (sum_now) {
        inLanes(b.row_start(), first, end, [&](auto lanes, int p) {
            sortColumnAt<decltype(lanes)>(b, centre_row, p);
            sumColumnAt(b, centre_row, p, lanes);
        });
        b.sums_end = end;
    } else {
        inLanes(b.row_start(), first, end, [&](auto lanes, int p) { sortColumnAt<decltype(lanes)>(b, centre_row, p); });
    }
    b.columns_end = end;
}

// Summed alone, over [first, end).
void sumColumns(RowBuffers& b, const std::uint8_t* centre_row, int first, int end) {
    if (first < end) inLanes(b.row_start(), first, end, [&](auto lanes, int p) { sumColumnAt(b, centre_row, p, lanes); });
}

// Sorted on demand, for a mode that seldom needs ranks: [from, to) of the
// row prepared last, joined to what was sorted there before where they
// meet. Done during the walk, the row's own values left of the visit asking
// may have been rewritten, but only the centred columns take them in, and
// those are read only by visits at or right of their own byte.
void sortColumnsBetween(RowBuffers& b, int from, int to) {
    if (from >= b.sorted_from && from <= b.sorted_to)
        from = b.sorted_to;
    else
        b.sorted_from = from;
    if (to <= from) return;
    inLanes(b.row_start(), from, to, [&](auto lanes, int p) { sortColumnAt<decltype(lanes)>(b, b.centre_row, p); });
    b.sorted_to = to;
}

}  // namespace
