// The fast neighbourhood pass, filter mode 1 (median replacement): the
// spread decides whether the median replaces the value, and the ranks the
// median needs are found only where it does. Its scalar step, then its
// lane step. Included by neighbourhood.cpp alone.
#pragma once

#if !defined(FAST_NEIGHBOURHOOD_PASS)
#error "a part of the fast neighbourhood pass: included by fast/neighbourhood.cpp alone"
#endif

#include <cstdint>

#include "../../image/image_store.h"
#include "lane_window.h"
#include "row_buffers.h"
#include "scalar_walk.h"
#include "mode1_candidates.h"
#include "settled.h"

namespace {

// Mode 1 is a branch: in most pictures it goes the same way for long
// stretches, and a predicted branch lets the next visit start before this
// one is decided.
struct MedianReplacement {
    // Long chunks: most visits are settled a chunk at once, and the cost of
    // moving on to the next chunk (columns carried over, the last lane step
    // redone) is then a share of the chunk's own (chunks of 384 bytes instead
    // of 96: 0.82 of the time at 1000 squared, 0.78 at 2000).
    static constexpr int CHUNK_BYTES = fast_rows::WIDEST_CHUNK_BYTES;
    static constexpr bool IN_PIXEL_LANES = WALK_IN_PIXEL_LANES;
    static constexpr bool WALKS_CANDIDATES = true;
    int first_replacing;
    // Where many visits replace, every visit is walked and finding the
    // candidates first would only add to it. The row's chunk before tells:
    // by its candidates where it found them, else by what its walk replaced.
    // A chunk to be walked whole is prepared as such, its columns sorted in
    // the same pass as summed.
    Preparation preparationFor(RowBuffers& b) const {
        const int replacing = b.walks_all ? b.replaced_in_walk : b.candidate_count;
        b.walks_all = !fewCandidatesIn(replacing, b.visits_prepared);
        b.replaced_in_walk = 0;
        return {false, true, b.walks_all, b.walks_all};
    }
    void prepare(RowBuffers& b, const std::uint8_t* row, int, int first, int end) const {
        b.visits_prepared = end - first;
        if (b.walks_all)
            b.candidate_count = end - first;
        else
            settleAndFindCandidates(b, row, first, end, first_replacing);
    }
    int operator()(const Visit& v) const {
        if (v.squaredDeviationSum() < first_replacing) return v.centre;
        ++v.buffers.replaced_in_walk;
        if (v.buffers.ranked[v.k] == 0) rankAround(v.buffers, v.k);
        return v.median();
    }
};

#if defined(FAST_LANES_SSE2)
// ---- mode 1 in lanes: the spread decides; the ranks are found only where
// some channel's median replaces its value, and the median is worked out
// again from them then.
constexpr int CHANNELS_IN_MASK[8] = {0, 1, 1, 2, 1, 2, 2, 3};

struct MedianReplacementLanes {
    __m128i last_keeping;  // 32-bit lanes: the largest sum that keeps the value

    FAST_LANES_INLINE __m128i operator()(const PixelWindow& w) const {
        const __m128i replaces = _mm_cmpgt_epi32(w.deviationSum(), last_keeping);
        const __m128i centre = w.centre();
        if (__builtin_expect((_mm_movemask_ps(_mm_castsi128_ps(replaces)) & 7) == 0, 1)) return centre;
        RowBuffers& b = const_cast<RowBuffers&>(w.b);
        b.replaced_in_walk += CHANNELS_IN_MASK[_mm_movemask_ps(_mm_castsi128_ps(replaces)) & 7];
        for (int channel = 0; channel < CHANNELS_PER_PIXEL; ++channel)
            if (b.ranked[w.k + channel] == 0) rankAround(b, w.k + channel);
        const __m128i replaces16 = _mm_packs_epi32(replaces, replaces);
        return _mm_or_si128(_mm_and_si128(replaces16, w.median()), _mm_andnot_si128(replaces16, centre));
    }

    // Row by row: a visit is short, and where a median is asked for the
    // ranks may have to be found first.
    template <int ROWS>
    FAST_LANES_INLINE void walkStep(const PixelWindow* w, __m128i* out) const {
#pragma GCC unroll 6
        for (int a = 0; a < ROWS; ++a) out[a] = (*this)(w[a]);
    }
};

// first_replacing is 0 at the least, so one below it fits.
MedianReplacementLanes lanesFor(const MedianReplacement& replacement) {
    return {_mm_set1_epi32(replacement.first_replacing - 1)};
}
#endif

}  // namespace
