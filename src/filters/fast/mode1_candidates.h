// The fast neighbourhood pass, filter mode 1's candidates: which visits of a
// chunk may replace their value, found for the whole chunk at once, and the
// walk that goes to those alone. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cstdint>

#include "../../image/image_store.h"
#include "lane_window.h"
#include "row_buffers.h"
#include "row_order.h"
#include "scalar_walk.h"
#include "settled.h"

namespace {

// Mode 1 keeps most values as they are. A visit whose two left values are
// still what they were when its chunk was prepared decides as it would have
// then; so the decisions are made for the whole chunk at once in lanes, the
// row taken as it stands (final left of the chunk, as read within it), and
// where few visits replace, the walk goes only to those and to the visits
// whose left values it changes on the way.

// Whether the visit at j replaces its value, the row taken as it stands.
FAST_LANES_INLINE bool replacesAsItStands(RowBuffers& b, const std::uint8_t* row, int j, int first_replacing) {
    return Visit{b, j, row[j - REACH], row[j - NEAR], row[j]}.squaredDeviationSum() >= first_replacing;
}

#if defined(FAST_LANES_SSE2)
// Five columns' sums at j, the first two without the row's own values.
template <class Sum>
FAST_LANES_INLINE __m128i settledAt(const Sum* without_centre, const Sum* with_centre, int j) {
    auto at = [](const Sum* values) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(values)); };
    const __m128i left = sizeof(Sum) == 2 ? _mm_add_epi16(at(without_centre + j - REACH), at(without_centre + j - NEAR))
                                          : _mm_add_epi32(at(without_centre + j - REACH), at(without_centre + j - NEAR));
    const __m128i right = sizeof(Sum) == 2
                              ? _mm_add_epi16(_mm_add_epi16(at(with_centre + j), at(with_centre + j + NEAR)),
                                              at(with_centre + j + REACH))
                              : _mm_add_epi32(_mm_add_epi32(at(with_centre + j), at(with_centre + j + NEAR)),
                                              at(with_centre + j + REACH));
    return sizeof(Sum) == 2 ? _mm_add_epi16(left, right) : _mm_add_epi32(left, right);
}

// The settled sums of the sixteen visits from j on, stored, and whether each
// replaces its value, the row taken as it stands, as bits; the figures as in
// PixelWindow, eight and four at a time.
FAST_LANES_INLINE unsigned settleAndTest16(RowBuffers& b, const std::uint8_t* row, int j, __m128i last_keeping) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i far_bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + j - REACH));
    const __m128i near_bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + j - NEAR));
    __m128i words[2];
    for (int half = 0; half < 2; ++half) {
        const __m128i far = half == 0 ? _mm_unpacklo_epi8(far_bytes, zero) : _mm_unpackhi_epi8(far_bytes, zero);
        const __m128i near = half == 0 ? _mm_unpacklo_epi8(near_bytes, zero) : _mm_unpackhi_epi8(near_bytes, zero);
        const int q = j + 8 * half;
        const __m128i settled_sum = settledAt(b.column_sum, b.column_sum_with_centre, q);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b.settled_sum + q), settled_sum);
        const __m128i sum = _mm_add_epi16(_mm_add_epi16(settled_sum, far), near);
        const __m128i mean = _mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(MEAN_MULTIPLIER)), 1);
        const __m128i spread = _mm_sub_epi16(_mm_add_epi16(sum, sum), _mm_mullo_epi16(mean, _mm_set1_epi16(25)));
        __m128i replaces[2];
        for (int quarter = 0; quarter < 2; ++quarter) {
            auto interleave = [&](__m128i x, __m128i y) {
                return quarter == 0 ? _mm_unpacklo_epi16(x, y) : _mm_unpackhi_epi16(x, y);
            };
            const int r = q + 4 * quarter;
            const __m128i settled_squares = settledAt(b.column_squares, b.column_squares_with_centre, r);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(b.settled_squares + r), settled_squares);
            const __m128i two_values = interleave(far, near);
            const __m128i squares = _mm_add_epi32(settled_squares, _mm_madd_epi16(two_values, two_values));
            const __m128i deviation =
                _mm_sub_epi32(squares, _mm_madd_epi16(interleave(mean, zero), interleave(spread, zero)));
            replaces[quarter] = _mm_cmpgt_epi32(deviation, last_keeping);
        }
        words[half] = _mm_packs_epi32(replaces[0], replaces[1]);
    }
    return unsigned(_mm_movemask_epi8(_mm_packs_epi16(words[0], words[1])));
}
#endif

constexpr bool fewCandidatesIn(int candidates, int visits) { return 8 * candidates <= visits; }

// Counted by halves, quarters and so on: without POPCNT the builtin is a
// library call.
constexpr int bitsSetIn(std::uint64_t word) {
    word = word - ((word >> 1) & 0x5555555555555555u);
    word = (word & 0x3333333333333333u) + ((word >> 2) & 0x3333333333333333u);
    word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return int((word * 0x0101010101010101u) >> 56);
}
static_assert(bitsSetIn(0) == 0 && bitsSetIn(~std::uint64_t(0)) == 64 && bitsSetIn(0x8000000000000011u) == 3,
              "the bit count counts");


FAST_LANES_INLINE void markCandidate(RowBuffers& b, int i) { b.candidates[i / 64] |= std::uint64_t(1) << (i % 64); }

// The settled sums of the chunk [first, end) (first being CHUNK_MARGIN), and
// its b.candidates and b.candidate_count.
void settleAndFindCandidates(RowBuffers& b, const std::uint8_t* row, int first, int end, int first_replacing) {
    for (std::uint64_t& word : b.candidates) word = 0;
    int j = first;
#if defined(FAST_LANES_SSE2)
    const __m128i last_keeping = _mm_set1_epi32(first_replacing - 1);
    for (; j + 16 <= end; j += 16) {
        const unsigned bits = settleAndTest16(b, row, j, last_keeping);
        b.candidates[(j - first) / 64] |= std::uint64_t(bits) << ((j - first) % 64);
    }
#endif
    sumSettled(b, j, end);
    for (; j < end; ++j)
        if (replacesAsItStands(b, row, j, first_replacing)) markCandidate(b, j - first);
    int count = 0;
    for (const std::uint64_t word : b.candidates) count += bitsSetIn(word);
    b.candidate_count = count;
}

// The chunk [first, end) (first being CHUNK_MARGIN) walked to its candidates
// alone, in order. A visit that changes its value makes candidates of the
// two visits of its channel right of it, whose left values it is.
template <class Step>
void walkCandidates(RowBuffers& b, std::uint8_t* row, int first, int end, const Step& step) {
    std::uint64_t words[CANDIDATE_WORDS];
    for (int w = 0; w < CANDIDATE_WORDS; ++w) words[w] = b.candidates[w];
    const int count = end - first;
    for (int w = 0; w < CANDIDATE_WORDS; ++w) {
        while (words[w] != 0) {
            const int i = 64 * w + __builtin_ctzll(words[w]);
            words[w] &= words[w] - 1;
            const int j = first + i;
            const int value = visitValue(b, row, j, row[j - REACH], row[j - NEAR], step);
            if (value == row[j]) continue;
            row[j] = std::uint8_t(value);
            for (const int next : {i + NEAR, i + REACH})
                if (next < count) words[next / 64] |= std::uint64_t(1) << (next % 64);
        }
    }
}

// Whether the chunks just prepared have few enough candidates that walking
// to them alone beats walking every visit.
inline bool fewCandidates(const fast_rows::Segment* segments, int count) {
    int visits = 0;
    int candidates = 0;
    for (int a = 0; a < count; ++a) {
        visits += segments[a].end - segments[a].first;
        candidates += row_buffers[segments[a].slot].candidate_count;
    }
    return fewCandidatesIn(candidates, visits);
}

}  // namespace
